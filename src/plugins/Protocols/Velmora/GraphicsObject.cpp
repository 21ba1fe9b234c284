#include "GraphicsObject.h"

#include <QGraphicsItem>
#include <QGraphicsScene>

#include "graphics/AbstractItem.h"

namespace Velmora {

GraphicsObject::GraphicsObject(QObject* parent)
    : BaseObject(parent)
{
}

GraphicsObject::~GraphicsObject() = default;

QGraphicsScene* GraphicsObject::scene() const
{
    const QGraphicsItem* item = graphicsItem();
    return item ? item->scene() : nullptr;
}

bool GraphicsObject::isVisible() const
{
    if (auto* item = qobject_cast<Rare::Graphics::AbstractItem*>(graphicsObject()))
        return item->isShown();
    const QGraphicsItem* item = graphicsItem();
    return item && item->isVisible();
}

void GraphicsObject::setVisible(bool visible)
{
    if (auto* item = qobject_cast<Rare::Graphics::AbstractItem*>(graphicsObject())) {
        item->setShown(visible);
        return;
    }
    if (QGraphicsItem* item = graphicsItem())
        item->setVisible(visible);
}

bool GraphicsObject::isSelected() const
{
    const QGraphicsItem* item = graphicsItem();
    return item && item->isSelected();
}

void GraphicsObject::setSelected(bool selected)
{
    if (QGraphicsItem* item = graphicsItem())
        item->setSelected(selected);
}

QPointF GraphicsObject::position() const
{
    const QGraphicsItem* item = graphicsItem();
    return item ? item->boundingRect().center() : QPointF();
}

QObject* GraphicsObject::graphicsScene() const
{
    return scene();
}

QString GraphicsObject::toolTip() const
{
    const QGraphicsItem* item = graphicsItem();
    return item ? item->toolTip() : QString();
}

void GraphicsObject::setToolTip(const QString& toolTip)
{
    if (QGraphicsItem* item = graphicsItem())
        item->setToolTip(toolTip);
}

QVariant GraphicsObject::graphicsData(int column, int role) const
{
    switch (role) {
    case Qt::DecorationRole: {
        auto* item = qobject_cast<Rare::Graphics::AbstractItem*>(graphicsObject());
        return column == 0 && item ? QVariant(item->icon()) : QVariant();
    }
    case Qt::ToolTipRole:
    case Qt::StatusTipRole:
        return toolTip();
    default:
        return idNameData(column, role);
    }
}

} // namespace Velmora
