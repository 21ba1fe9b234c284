#include "Light.h"

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QPen>

namespace Semtra {

namespace {

// Above the zone and area outlines, which sit at z 0.
constexpr qreal LightZ = 10.0;

} // namespace

Light::Light(int id, const QPointF& basePoint, QObject* parent)
    : QObject(parent)
    , m_id(id)
    , m_basePoint(basePoint)
    , m_item(new QGraphicsEllipseItem(-MarkerSize / 2, -MarkerSize / 2, MarkerSize, MarkerSize))
{
    m_item->setPos(basePoint);
    // Map scales are tiny (degrees); the marker keeps its pixel size instead.
    m_item->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    m_item->setFlag(QGraphicsItem::ItemIsSelectable);
    m_item->setZValue(LightZ);
    // Dark housing with a light rim: unsaturated, so it never reads as a state colour.
    m_item->setBrush(QColor(40, 40, 40));
    m_item->setPen(QPen(QColor(245, 245, 245), 1.5));
    m_item->setToolTip(tr("Traffic light %1").arg(id));
    m_item->setData(0, QVariant::fromValue<QObject*>(this));
}

Light::~Light()
{
    delete m_item;
}

int Light::id() const
{
    return m_id;
}

QPointF Light::basePoint() const
{
    return m_basePoint;
}

QGraphicsEllipseItem* Light::item() const
{
    return m_item;
}

void Light::addToScene(QGraphicsScene* scene)
{
    if (scene && m_item->scene() != scene)
        scene->addItem(m_item);
}

} // namespace Semtra
