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
void Objects<T>::clear()
{
    m_objects.clear();
    qDeleteAll(children());
}

template class Objects<Velmora::Controller>;
template class Objects<Velmora::Area>;
template class Objects<Velmora::Strategy>;
template class Objects<Velmora::BaseObject>;
