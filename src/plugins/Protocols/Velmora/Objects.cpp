#include "Objects.h"

#include "Area.h"
#include "Controller.h"
#include "Strategy.h"
#include "Zone.h"
#include "format/ConfigReader.h"

// An area takes its zone from the owner at birth: its map item hangs below the zone's.
template<typename T>
T* Objects<T>::create(QObject* owner)
{
    return new T(owner);
}

template<typename T>
void Objects<T>::insert(T* object)
{
    m_objects.insert(object->id(), object);
    object->setParent(this);
}

template<typename T>
void Objects<T>::adopt(const QVector<T*>& objects, const QHash<int, T*>& index)
{
    Q_ASSERT(m_objects.isEmpty());
    for (T* object : objects)
        object->setParent(this);
    m_objects = index;
}

template<typename T>
void Objects<T>::clear()
{
    m_objects.clear();
    qDeleteAll(children());
}

template<typename T>
bool Objects<T>::loadElements(const QDomElement& first, QString* error, QObject* owner)
{
    setParent(owner);
    // Siblings are matched by tag so that comments or foreign elements between
    // list members neither end the list nor join it.
    const QString tag = first.tagName();
    for (QDomElement element = first; !element.isNull(); element = element.nextSiblingElement(tag)) {
        T* object = create(owner);
        if (!object->loadFromElement(element, error)) {
            delete object;
            return false;
        }
        if (Velmora::Config::keepLater(&m_objects, object->id(), object))
            warnDuplicate(sourceName(), element.lineNumber(), element.tagName(), object->id());
        object->setParent(this);
    }
    return true;
}

template class Objects<Velmora::Controller>;
template class Objects<Velmora::Area>;
template class Objects<Velmora::Strategy>;
template class Objects<Velmora::BaseObject>;
