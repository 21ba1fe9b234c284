#include "Objects.h"

#include "Area.h"
#include "Controller.h"
#include "Strategy.h"

template<typename T>
void Objects<T>::insert(T* object)
{
    m_objects.insert(object->id(), object);
    object->setParent(this);
}

template<typename T>
bool Objects<T>::loadElements(const QDomElement& first, QString* error, QObject* owner)
{
    setParent(owner);
    const QString tag = first.tagName();
    for (QDomElement element = first; !element.isNull(); element = element.nextSiblingElement(tag)) {
        // An area made with its zone as parent hangs its map item below the zone's.
        T* object = new T(owner);
        if (!object->loadFromElement(element, error)) {
            delete object;
            return false;
        }
        insert(object);
    }
    return true;
}

template<typename T>
void Objects<T>::clear()
{
    m_objects.clear();
    qDeleteAll(children());
}

template class Objects<Velmora::Controller>;
template class Objects<Velmora::Area>;
template class Objects<Velmora::Strategy>;
template class Objects<Velmora::BaseObject>;
