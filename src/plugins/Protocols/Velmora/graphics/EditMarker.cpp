#include "EditMarker.h"

#include <QBrush>
#include <QCursor>
#include <QGuiApplication>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPen>

#include "GraphicsArea.h"

EditMarker::EditMarker(const QPointF& position, GraphicsArea* area)
    : QGraphicsRectItem(-3.5, -3.5, 7, 7)
    , m_area(area)
{
    // Placed before it joins the overlay: placing it must not move a vertex.
    setPos(position);
    // A zero-width pen keeps the bounding rectangle at the 7 x 7 square.
    setPen(QPen(Qt::black, 0));
    setFlags(ItemIsMovable | ItemIsSelectable | ItemIgnoresTransformations | ItemSendsScenePositionChanges);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        setCursor(Qt::ArrowCursor);
    setOpacity(1.0);
    setParentItem(area);
}

EditMarker::~EditMarker() = default;

int EditMarker::type() const
{
    return Type;
}

GraphicsArea* EditMarker::area() const
{
    return m_area;
}

bool EditMarker::isDiscarded() const
{
    return m_discarded;
}

void EditMarker::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    QPen pen = painter->pen();
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->setBrush(QBrush(isSelected() ? Qt::darkGreen : Qt::red));
    painter->drawRect(rect());
}

QVariant EditMarker::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemPositionChange && scene() && m_area && !m_discarded)
        m_area->movePoint(pos(), value.toPointF());
    return QGraphicsRectItem::itemChange(change, value);
}

void EditMarker::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    // A left press only marks this as the grabber (the event stays accepted):
    // the base class's move and release handling then drag and select it.
    if (event->button() == Qt::RightButton && m_area)
        m_area->removeMarker(this, true);
}
