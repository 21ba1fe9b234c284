#include "PreviewLayer.h"

#include <QBrush>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPen>

namespace Velmora {
namespace Editors {

namespace {

// Holds the previews; draws nothing and takes no place of its own.
class LayerItem : public QGraphicsItem
{
public:
    LayerItem() { setFlag(QGraphicsItem::ItemHasNoContents); }
    QRectF boundingRect() const override { return QRectF(); }
    void paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*) override {}
};

} // namespace

PreviewLayer::PreviewLayer(QGraphicsScene* scene, qreal z)
    : m_scene(scene)
{
    if (!m_scene)
        return;
    m_layer = new LayerItem;
    m_layer->setZValue(z);
    m_scene->addItem(m_layer);
}

PreviewLayer::~PreviewLayer()
{
    if (m_scene)
        delete m_layer;
}

QGraphicsPathItem* PreviewLayer::add(const QPainterPath& outline)
{
    if (!m_scene)
        return nullptr;
    auto* preview = new QGraphicsPathItem(outline, m_layer);
    // Scene units are degrees: a pen of width 1, cosmetic or not, widens
    // every preview's bounds by a degree for the scene's index. Width 0 is a
    // hairline at any zoom, and the bounds are the outline's own.
    QPen pen(Qt::black);
    pen.setWidth(0);
    preview->setPen(pen);
    preview->setBrush(QBrush(Qt::white, Qt::SolidPattern));
    preview->hide();
    return preview;
}

} // namespace Editors
} // namespace Velmora
