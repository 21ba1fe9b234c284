#include "MapArea.h"

#include <QPainter>

#include "../Area.h"
#include "format/Protocol.h"
#include "format/StateColours.h"

namespace Rare {
namespace Graphics {

using namespace Velmora::Protocol;
namespace StateColours = Velmora::StateColours;

namespace {

// The icon's diamond, one for all items.
const QPainterPath& iconShape()
{
    static const QPainterPath shape = AbstractItem::polygonShape(32, 32, 4);
    return shape;
}

} // namespace

class Area::Private
{
public:
    Velmora::Area* area = nullptr;
};

Area::Area(QObject* area, QGraphicsItem* parent)
    : AbstractItem(area, parent)
    , d(new Private)
{
    d->area = qobject_cast<Velmora::Area*>(area);
}

Area::~Area() = default;

bool Area::isHidden() const
{
    const int controlSource = d->area ? d->area->controlSource() : NoControlSource;
    return !StateColours::isAreaShown(controlSource) && !isSelected();
}

QPainterPath Area::shape() const
{
    return isHidden() ? QPainterPath() : AbstractItem::shape();
}

void Area::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (isHidden() || !d->area)
        return;
    paintState(painter, shape(), isSelected(), d->area->controlSource(), d->area->specialState());
}

QIcon Area::icon()
{
    const int controlSource = d->area ? d->area->controlSource() : NoControlSource;
    const int specialState = d->area ? d->area->specialState() : NoSpecialStateReported;
    return renderIcon([&](QPainter* painter) {
        paintState(painter, iconShape(), false, controlSource, specialState);
    });
}

QColor Area::fillColor(int controlSource)
{
    return StateColours::areaFill(controlSource);
}

QColor Area::overlayColor(int specialState)
{
    Qt::GlobalColor colour;
    return StateColours::areaOverlay(specialState, &colour) ? QColor(colour) : QColor();
}

void Area::paintState(QPainter* painter, const QPainterPath& path, bool selected,
                      int controlSource, int specialState)
{
    QPen pen;
    pen.setWidth(0);
    pen.setColor(selected ? Qt::yellow : Qt::black);

    painter->setOpacity(selected ? StateColours::SelectedOpacity : StateColours::AreaOpacity);
    QBrush brush = deviceBrush(painter, fillColor(controlSource), Qt::SolidPattern);
    painter->setBrush(brush);
    painter->setPen(pen);
    painter->drawPath(path);

    const QColor overlay = overlayColor(specialState);
    if (!overlay.isValid())
        return;
    painter->setOpacity(StateColours::SelectedOpacity);
    brush.setColor(overlay);
    brush.setStyle(Qt::DiagCrossPattern);
    painter->setBrush(brush);
    painter->drawPath(path);
}

} // namespace Graphics
} // namespace Rare
