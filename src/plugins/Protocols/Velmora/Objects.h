#pragma once

#include <QDomElement>
#include <QHash>
#include <QList>
#include <QVector>

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

    // Builds one object per element, from `first` to its last sibling of the
    // same tag. Stops at the first element that fails; the objects built before
    // it stay.
    bool loadElements(const QDomElement& first, QString* error, QObject* owner);

    T* value(int id) const { return m_objects.value(id); }
    bool contains(int id) const { return m_objects.contains(id); }
    QList<T*> values() const { return m_objects.values(); }
    int size() const { return m_objects.size(); }
    bool isEmpty() const { return m_objects.isEmpty(); }
    void insert(T* object);
    // Takes objects built elsewhere, in document order, with the index their
    // ids gave (later elements win); the container must be empty.
    void adopt(const QVector<T*>& objects, const QHash<int, T*>& index);
    // Deletes every object, those left out of the hash by a duplicate id too.
    void clear();

private:
    T* create(QObject* owner);

    QHash<int, T*> m_objects;
};

extern template class Objects<Velmora::Controller>;
extern template class Objects<Velmora::Area>;
extern template class Objects<Velmora::Strategy>;
extern template class Objects<Velmora::BaseObject>;
