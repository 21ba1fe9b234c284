#include "AreaGraphicsItem.h"

#include <QBrush>
#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>
#include <QPointer>

#include <cmath>

#include "Logging.h"
#include "format/GeometryText.h"

namespace {

// The host's traffic lights, known by class name only.
const char* const LightClass = "Semtra::Light";

// Below this length (in the corridor's scaled units, where the corridor is
// 250 wide) a polyline counts as one point: the stroker draws nothing for it.
constexpr qreal PointLength = 1e-6;

bool isFinite(const QPointF& point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// QPainterPath silently drops points it cannot hold (beyond about 1e128).
bool pathHolds(const QPointF& point)
{
    QPainterPath probe;
    probe.moveTo(point);
    return probe.elementCount() == 1;
}

double coordinate(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

// "basePoint" is "x y" in scene coordinates; a point value is taken as it is.
bool basePoint(const QObject* light, QPointF* point)
{
    const QVariant value = light->property("basePoint");
    if (value.userType() == QMetaType::QPointF || value.userType() == QMetaType::QPoint) {
        *point = value.toPointF();
    } else {
        const QStringList parts = value.toString().split(QLatin1Char(' '));
        if (parts.size() != 2)
            return false;
        *point = QPointF(coordinate(parts.at(0)), coordinate(parts.at(1)));
    }
    return isFinite(*point);
}

} // namespace

class AreaGraphicsItem::Private
{
public:
    QPointer<QGraphicsScene> scene;
    QStringList lightIds;
    // The polyline as built: QGraphicsPathItem::setPath ignores a lone point at
    // the origin, which compares equal to an empty path.
    QPainterPath polyline;
    QPainterPath outline;
    QRectF outlineRect;
    QTransform matrix;
    // Nothing in the pick sets these: blue (drawn at 70 %), gold when selected.
    QColor normalColour = QColor(30, 110, 220);
    QColor selectedColour = QColor(255, 200, 0);
    qreal corridorWidth = 50.0;
    bool shown = true;
};

AreaGraphicsItem::AreaGraphicsItem(QObject* parent, QGraphicsScene* scene, bool interactive)
    : QObject(parent)
    , QGraphicsPathItem(nullptr)
    , d(new Private)
{
    if (scene)
        scene->addItem(this);
    if (interactive) {
        if (d->polyline.elementCount() > 0) {
            qCDebug(Velmora::lcEdit, "Element is not empty");
        } else if (!this->scene()) {
            qCDebug(Velmora::lcEdit, "Scene is not set");
        } else {
            d->scene = this->scene();
            connect(d->scene, &QGraphicsScene::selectionChanged, this, &AreaGraphicsItem::on_scene_selectionChanged);
        }
    }
    setData(0, QVariant::fromValue<QObject*>(this));

    const qreal s = d->corridorWidth * 1000;
    d->matrix = QTransform::fromScale(s, s * -2.0);
    if (this->scene()) {
        const QList<QGraphicsView*> views = this->scene()->views();
        for (const QGraphicsView* view : views) {
            const QTransform transform = view->transform();
            if (transform.m11() == 0)
                continue;
            const qreal ratio = transform.m22() / transform.m11();
            // A view squashed flat has no corridor to be round in.
            if (ratio != 0 && std::isfinite(ratio))
                d->matrix = QTransform(s, 0, 0, s * ratio, 0, 0);
            break;
        }
    }
}

AreaGraphicsItem::~AreaGraphicsItem()
{
    // The QObject part outlives this one: no pick may reach a half-destroyed
    // item, and leaving the scene (which may change its selection) is done
    // while the item is still whole.
    if (d->scene)
        disconnect(d->scene, nullptr, this, nullptr);
    if (QGraphicsScene* current = scene())
        current->removeItem(this);
}

void AreaGraphicsItem::on_scene_selectionChanged()
{
    if (!d->scene)
        return;
    const QList<QGraphicsItem*> selected = d->scene->selectedItems();
    if (selected.size() != 1)
        return;
    QObject* object = selected.first()->data(0).value<QObject*>();
    if (object && object->inherits(LightClass))
        addLight(object);
    else
        qCDebug(Velmora::lcEdit, "Invalid selection");
}

void AreaGraphicsItem::addLight(QObject* light)
{
    if (!light)
        return;
    // A blank id names no controller: the area would list an empty number.
    const QString id = light->property("id").toString();
    if (id.trimmed().isEmpty()) {
        qCDebug(Velmora::lcEdit, "Light without an id");
        return;
    }
    if (d->lightIds.contains(id))
        return;
    QPointF point;
    // A light that cannot be placed would drag the corridor across the map.
    if (!basePoint(light, &point) || !pathHolds(point) || !pathHolds(d->matrix.map(point))) {
        qCDebug(Velmora::lcEdit, "Light %s has no usable base point", qPrintable(id));
        return;
    }
    d->lightIds.append(id);
    // isEmpty() would also hold for the lone first point.
    if (d->polyline.elementCount() == 0)
        d->polyline.moveTo(point);
    else
        d->polyline.lineTo(point);
    setPath(d->polyline);
    buildOutline();
    if (scene())
        scene()->update();
    emit outlineChanged();
}

void AreaGraphicsItem::buildOutline()
{
    const qreal width = d->corridorWidth / 10000.0 * d->matrix.m11();
    const QPainterPath scaled = d->matrix.map(d->polyline);
    QPainterPath stroke;
    if (scaled.length() < PointLength) {
        // What a round cap around a lone point stands for.
        const QPointF centre = scaled.elementAt(0);
        stroke.addEllipse(centre, width / 2, width / 2);
    } else {
        QPainterPathStroker stroker;
        stroker.setWidth(width);
        stroker.setCapStyle(Qt::RoundCap);
        stroker.setJoinStyle(Qt::RoundJoin);
        stroke = stroker.createStroke(scaled);
    }
    prepareGeometryChange();
    d->outline = d->matrix.inverted().map(stroke).simplified();
    d->outlineRect = d->outline.boundingRect();
}

QPainterPath AreaGraphicsItem::polyline() const
{
    return d->polyline;
}

QStringList AreaGraphicsItem::lightIds() const
{
    return d->lightIds;
}

QPainterPath AreaGraphicsItem::outline() const
{
    return d->outline;
}

QPolygonF AreaGraphicsItem::outlinePolygon() const
{
    return d->outline.toFillPolygon(QTransform());
}

QString AreaGraphicsItem::outlineText() const
{
    return Velmora::Geometry::formatPoints(outlinePolygon());
}

QTransform AreaGraphicsItem::corridorMatrix() const
{
    return d->matrix;
}

qreal AreaGraphicsItem::corridorWidth() const
{
    return d->corridorWidth;
}

bool AreaGraphicsItem::isShown() const
{
    return d->shown;
}

void AreaGraphicsItem::setShown(bool shown)
{
    if (shown == d->shown)
        return;
    prepareGeometryChange();
    d->shown = shown;
    update();
}

QColor AreaGraphicsItem::normalColour() const
{
    return d->normalColour;
}

void AreaGraphicsItem::setNormalColour(const QColor& colour)
{
    d->normalColour = colour;
    update();
}

QColor AreaGraphicsItem::selectedColour() const
{
    return d->selectedColour;
}

void AreaGraphicsItem::setSelectedColour(const QColor& colour)
{
    d->selectedColour = colour;
    update();
}

QRectF AreaGraphicsItem::boundingRect() const
{
    return d->shown ? d->outlineRect : QRectF();
}

QPainterPath AreaGraphicsItem::shape() const
{
    return d->shown ? d->outline : QPainterPath();
}

void AreaGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    if (!d->shown)
        return;
    const bool selected = isSelected();
    painter->setOpacity(selected ? 1.0 : 0.7);
    painter->setBrush(QBrush(selected ? d->selectedColour : d->normalColour));
    QPen pen = painter->pen();
    pen.setCosmetic(true);
    painter->setPen(pen);
    // The polyline itself is not drawn.
    painter->drawPath(d->outline);
}

void AreaGraphicsItem::stopInteractiveCreation()
{
    if (d->scene)
        disconnect(d->scene, &QGraphicsScene::selectionChanged, this, &AreaGraphicsItem::on_scene_selectionChanged);
    d->scene = nullptr;
    if (d->polyline.elementCount() < 2) {
        deleteLater();
        return;
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        setCursor(Qt::PointingHandCursor);
    setFlags(ItemIsSelectable | ItemIsFocusable);
}
