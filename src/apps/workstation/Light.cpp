#include "Light.h"

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QPen>
#include <QStyleOptionGraphicsItem>

namespace Semtra {

namespace {

// Above the zone and area outlines, which sit at z 0.
constexpr qreal LightZ = 10.0;

} // namespace

// Tells its light when the scene deletes it, so the light never holds a
// dangling marker whichever of the two goes first.
class Light::Marker : public QGraphicsEllipseItem
{
public:
    explicit Marker(Light* light)
        : QGraphicsEllipseItem(-MarkerSize / 2, -MarkerSize / 2, MarkerSize, MarkerSize)
        , m_light(light)
    {
    }
    ~Marker() override
    {
        if (m_light)
            m_light->m_marker = nullptr;
    }

    QRectF boundingRect() const override
    {
        const qreal half = HighlightSize / 2 + 1;
        return QRectF(-half, -half, 2 * half, 2 * half);
    }

    // A ring instead of Qt's dashed selection box: it must read at a glance
    // which light belongs to the controller chosen in the tree.
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) override
    {
        painter->setRenderHint(QPainter::Antialiasing);
        if (option->state & QStyle::State_Selected) {
            painter->setPen(QPen(QColor(255, 214, 0), 3.0));
            painter->setBrush(Qt::NoBrush);
            painter->drawEllipse(QPointF(0, 0), HighlightSize / 2 - 1.5, HighlightSize / 2 - 1.5);
        }
        painter->setPen(pen());
        painter->setBrush(brush());
        painter->drawEllipse(rect());
    }

    Light* m_light;
};

Light::Light(int id, const QPointF& basePoint, QObject* parent)
    : QObject(parent)
    , m_id(id)
    , m_basePoint(basePoint)
{
}

Light::~Light()
{
    if (m_marker) {
        m_marker->m_light = nullptr;
        // Deleting an item takes it off its scene.
        delete m_marker;
    }
}

int Light::id() const
{
    return m_id;
}

QPointF Light::basePoint() const
{
    return m_basePoint;
}

void Light::setController(const QString& name)
{
    m_controller = name;
    if (m_marker)
        m_marker->setToolTip(toolTip());
}

QString Light::toolTip() const
{
    if (m_controller.isEmpty())
        return tr("Traffic light of controller %1").arg(m_id);
    return tr("Traffic light of controller %1 \"%2\"").arg(m_id).arg(m_controller);
}

QGraphicsEllipseItem* Light::item() const
{
    return m_marker;
}

void Light::addToScene(QGraphicsScene* scene)
{
    if (!scene)
        return;
    if (!m_marker) {
        m_marker = new Marker(this);
        m_marker->setPos(m_basePoint);
        // Map scales are tiny (degrees); the marker keeps its pixel size instead.
        m_marker->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        m_marker->setFlag(QGraphicsItem::ItemIsSelectable);
        m_marker->setZValue(LightZ);
        // Dark housing with a light rim: unsaturated, so it never reads as a state colour.
        m_marker->setBrush(QColor(40, 40, 40));
        m_marker->setPen(QPen(QColor(245, 245, 245), 1.5));
        m_marker->setToolTip(toolTip());
        m_marker->setData(0, QVariant::fromValue<QObject*>(this));
    }
    if (m_marker->scene() != scene)
        scene->addItem(m_marker);
}

} // namespace Semtra
