#include "Area.h"

#include <QDomElement>
#include <QLoggingCategory>

#include "Logging.h"
#include "AreaPrivate.h"
#include "format/ConfigReader.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"
#include "Zone.h"
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
    , d(new Private(this, zone, nullptr))
{
    setId(id);
    setName(name);
    if (zone)
        d->states->setSourceName(zone->fileName());
}

Area::~Area()
{
    // The zone's map item owns ours and may have deleted it already; an area
    // that dies first (one whose element failed to load) takes its item along,
    // so no item is left pointing at it.
    delete d->item.data();
}

QList<int> Area::controllerIds(const QDomElement& area)
{
    const QString text = Xml::firstText(area.firstChildElement(Xml::Controllers));
    return controllerIds(QStringRef(&text));
}

QList<int> Area::controllerIds(const QStringRef& text)
{
    return Config::readIdList(text);
}

void Area::warnInvalidStates(int areaId)
{
    qCWarning(lcLoad, "Object: Velmora::Area: id:%d. Invalid states.", areaId);
}

bool Area::loadFromElement(const QDomElement& element, QString* error)
{
    if (!BaseObject::loadFromElement(element, error))
        return false;
    // A missing or broken outline leaves the area without one; it never fails the load.
    QString geometryError;
    d->item->loadGeometry(element, &geometryError);
    d->outline = d->item->path();

    if (d->zone)
        d->states->setSourceName(d->zone->fileName());
    const QDomElement firstState =
        element.firstChildElement(Xml::States).firstChildElement(Xml::State);
    QString stateError;
    if (!d->states->loadElements(firstState, &stateError, this))
        warnInvalidStates(id());

    d->objects = controllerIds(element);
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
