#include "Area.h"

#include <QDomElement>
#include <QLoggingCategory>

#include "Logging.h"
#include "AreaPrivate.h"
#include "Zone.h"
#include "ZoneBuilder.h"
#include "ZoneReading.h"
#include "graphics/MapArea.h"

namespace Velmora {

Area::Private::Private(Area* area, Zone* owner, QGraphicsItem* zoneItem)
    : q(area)
    , item(new Rare::Graphics::Area(area, zoneItem))
    , states(new Objects<BaseObject>(Area::tr("States"), area))
    , zone(owner)
{
}

namespace {

QGraphicsItem* zoneItem(const Zone* zone)
{
    return zone ? zone->graphicsItem() : nullptr;
}

} // namespace

Area::Area(QObject* parent)
    : GraphicsObject(parent)
    , d(new Private(this, qobject_cast<Zone*>(parent), zoneItem(qobject_cast<Zone*>(parent))))
{
}

Area::Area(Zone* zone, int id, const QString& name)
    : GraphicsObject(nullptr)
    , d(new Private(this, zone, zoneItem(zone)))
{
    setId(id);
    setName(name);
}

Area::~Area()
{
    // The zone's map item owns ours and may have deleted it already; an area
    // that dies first (one whose element failed to load) takes its item along,
    // so no item is left pointing at it.
    delete d->item.data();
}

bool Area::loadFromElement(const QDomElement& element, QString* error)
{
    AreaDescription description;
    QStringList warnings;
    QString reason;
    if (!ZoneReading::describeArea(element, d->zone ? d->zone->fileName() : QString(), &description, &warnings,
                                   &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    for (const QString& warning : qAsConst(warnings))
        qCWarning(lcLoad, "%s", qUtf8Printable(warning));
    setId(description.id);
    setName(description.name);
    ZoneBuilder::fillArea(this, description);
    return true;
}

void Area::restoreItem(QGraphicsItem* zoneItem)
{
    if (d->item)
        return;
    d->item = new Rare::Graphics::Area(this, zoneItem);
    d->item->setPath(d->outline);
}

QGraphicsItem* Area::graphicsItem() const
{
    return d->item.data();
}

QObject* Area::graphicsObject() const
{
    return d->item.data();
}

QVariant Area::modelData(int column, int role)
{
    return graphicsData(column, role);
}

BaseObject* Area::state(int id)
{
    return d->states->value(id);
}

QList<BaseObject*> Area::states()
{
    return d->states->values();
}

QList<int> Area::objects()
{
    return d->objects;
}

Zone* Area::zone() const
{
    return d->zone;
}

int Area::controlSource() const
{
    return d->controlSource;
}

int Area::currentState() const
{
    return d->currentState;
}

int Area::specialState() const
{
    return d->specialState;
}

bool Area::setControlSource(int value)
{
    if (d->controlSource == value)
        return false;
    d->controlSource = value;
    return true;
}

bool Area::setCurrentState(int value)
{
    if (d->currentState == value)
        return false;
    d->currentState = value;
    return true;
}

bool Area::setSpecialState(int value)
{
    if (d->specialState == value)
        return false;
    d->specialState = value;
    return true;
}

void Area::redraw()
{
    if (d->item)
        d->item->update();
}

} // namespace Velmora
