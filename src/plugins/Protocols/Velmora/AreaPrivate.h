#pragma once

#include <QList>
#include <QPointer>

#include "Area.h"
#include "Objects.h"

#include "graphics/Area.h"

namespace Velmora {

class Area::Private
{
public:
    explicit Private(Area* area);

    Area* q;
    // Owned by the zone's map item, its parent item; guarded because the zone
    // deletes its item before the areas.
    QPointer<Rare::Graphics::Area> item;
    Objects<BaseObject>* states = nullptr;
    QList<int> objects;
    Zone* zone = nullptr;
    int controlSource = -1;
    int currentState = -1;
    int specialState = -1;
};

} // namespace Velmora
