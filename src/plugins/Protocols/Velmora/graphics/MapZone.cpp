#include "MapZone.h"

#include <QPainter>

#include "../Zone.h"
#include "format/Protocol.h"
#include "format/StateColours.h"

namespace Rare {
namespace Graphics {

using namespace Velmora::Protocol;
namespace StateColours = Velmora::StateColours;

namespace {

// The icon's triangle, one for all items.
const QPainterPath& iconShape()
{
    static const QPainterPath shape = AbstractItem::polygonShape(32, 32, 3);
    return shape;
}

} // namespace

class Zone::Private
{
public:
    Velmora::Zone* zone = nullptr;
};

Zone::Zone(QObject* zone, QGraphicsItem* parent)
    : AbstractItem(zone, parent)
    , d(new Private)
{
    d->zone = qobject_cast<Velmora::Zone*>(zone);
}

Zone::~Zone() = default;

void Zone::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const bool connected = d->zone && d->zone->isConnected();
    const int controlSource = d->zone ? d->zone->controlSource() : NoControlSource;
    paintState(painter, shape(), isSelected(), connected, controlSource);
}

QIcon Zone::icon()
{
    const bool connected = d->zone && d->zone->isConnected();
    const int controlSource = d->zone ? d->zone->controlSource() : NoControlSource;
    return renderIcon([&](QPainter* painter) {
        paintState(painter, iconShape(), false, connected, controlSource);
    });
}

QColor Zone::fillColor(bool connected, int controlSource)
{
    return StateColours::zoneFill(connected, controlSource);
}

void Zone::paintState(QPainter* painter, const QPainterPath& path, bool selected, bool connected,
                      int controlSource)
{
    QPen pen;
    pen.setWidth(0);
    pen.setColor(selected ? Qt::yellow : Qt::black);
    painter->setOpacity(selected ? StateColours::SelectedOpacity : StateColours::ZoneOpacity);
    painter->setBrush(deviceBrush(painter, fillColor(connected, controlSource),
                                  selected ? Qt::Dense5Pattern : Qt::SolidPattern));
    painter->setPen(pen);
    painter->drawPath(path);
}

} // namespace Graphics
} // namespace Rare
