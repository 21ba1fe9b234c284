#include "ZoneBuilder.h"

#include <QPainterPath>
#include <QPolygonF>

#include "Area.h"
#include "AreaPrivate.h"
#include "Controller.h"
#include "Strategy.h"
#include "ZoneDescription.h"
#include "ZonePrivate.h"

namespace Velmora {

namespace {

// The outline drawn from a point list: one closed polygon.
QPainterPath outlinePath(const QVector<QPointF>& points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    return path;
}

// A map item takes an outline that was read; one that was not leaves the
// item as it was. The outline shown is kept to make the item again after a
// scene took it.
template<typename Item>
void setOutline(Item* item, const QVector<QPointF>& points, QPainterPath* kept)
{
    if (!item)
        return;
    if (!points.isEmpty())
        item->setPath(outlinePath(points));
    *kept = item->path();
}

} // namespace

bool ZoneBuilder::build(Zone* zone, const ZoneDescription& description, QString* error)
{
    if (!description.hasId) {
        *error = description.error;
        return false;
    }
    Zone::Private* d = Zone::Private::get(zone);
    d->setIdentity(description.id, description.name);
    setOutline(d->item.data(), description.outline, &d->outline);
    for (const ObjectDescription& controller : description.controllers)
        d->controllers->insert(new Controller(controller.id, controller.name));
    for (const AreaDescription& read : description.areas) {
        auto* area = new Area(zone, read.id, read.name);
        fillArea(area, read);
        d->areas->insert(area);
    }
    // Only the area a lookup finds relays; one shadowed by a later duplicate does not.
    const QList<Area*> areas = d->areas->values();
    for (Area* area : areas)
        QObject::connect(area, &Area::stateChanged, zone, &Zone::areaStateChanged);
    for (const ObjectDescription& strategy : description.strategies)
        d->strategies->insert(new Strategy(strategy.id, strategy.name));
    *error = description.error;
    return error->isEmpty();
}

void ZoneBuilder::fillArea(Area* area, const AreaDescription& description)
{
    Area::Private* d = Area::Private::get(area);
    setOutline(d->item.data(), description.outline, &d->outline);
    Objects<BaseObject>* states = d->states;
    for (const ObjectDescription& state : description.states)
        states->insert(new BaseObject(state.id, state.name, states));
    d->objects = description.controllers;
}

} // namespace Velmora
