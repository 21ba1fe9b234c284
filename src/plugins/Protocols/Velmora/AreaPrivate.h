#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointer>

#include "Area.h"
#include "Objects.h"

#include "graphics/MapArea.h"

namespace Velmora {

class Area::Private
{
public:
    Private(Area* area, Zone* zone, QGraphicsItem* zoneItem);

    static Private* get(Area* area) { return area->d.data(); }

    Area* q;
    // Owned by the zone's map item, its parent item; guarded because the zone
    // deletes its item before the areas.
    QPointer<Rare::Graphics::Area> item;
    // The outline as read, so that an item lost with its scene can be made again.
    QPainterPath outline;
    Objects<BaseObject>* states = nullptr;
    QList<int> objects;
    Zone* zone = nullptr;
    int controlSource = -1;
    int currentState = -1;
    int specialState = -1;
};

} // namespace Velmora
