#pragma once

#include <QDomElement>
#include <QHash>
#include <QList>

#include "Container.h"

namespace Velmora {
class Area;
class BaseObject;
class Controller;
class Strategy;
}

// A container of model objects of one class, keyed by id.
template<typename T>
class Objects : public Container
{
public:
    explicit Objects(const QString& title, QObject* parent = nullptr)
        : Container(title, parent)
    {
    }

    // Builds one object per element, from `first` through its later siblings
    // of the same tag, each made with `owner` as parent. Stops at the first
    // element that fails; the objects built before it stay.
    bool loadElements(const QDomElement& first, QString* error, QObject* owner);

    T* value(int id) const { return m_objects.value(id); }
    bool contains(int id) const { return m_objects.contains(id); }
    QList<T*> values() const { return m_objects.values(); }
    int size() const { return m_objects.size(); }
    bool isEmpty() const { return m_objects.isEmpty(); }
    // Takes the object as a child; a later object with an earlier one's id
    // takes its place in the lookup, the earlier one stays a child.
    void insert(T* object);
    // Deletes every object, those left out of the hash by a duplicate id too.
    void clear();

private:
    QHash<int, T*> m_objects;
};

extern template class Objects<Velmora::Controller>;
extern template class Objects<Velmora::Area>;
extern template class Objects<Velmora::Strategy>;
extern template class Objects<Velmora::BaseObject>;
