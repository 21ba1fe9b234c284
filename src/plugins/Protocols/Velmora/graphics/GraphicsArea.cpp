#include "GraphicsArea.h"

#include <QBrush>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPen>
#include <QPointer>

#include <cmath>

#include "EditMarker.h"
#include "format/GeometryText.h"

namespace {

// Above the zone and area items of the map.
constexpr qreal OverlayZ = 100.0;
constexpr qreal OverlayOpacity = 0.4;

bool isFinite(const QPointF& point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

} // namespace

class GraphicsArea::Private
{
public:
    QPolygonF polygon;
    QRectF rect;
    bool editing = false;
    int currentIndex = -1;
    bool shiftMode = false;
    // The scene the editing filter sits on, and the override cursors pushed for it.
    QPointer<QGraphicsScene> filtered;
    int cursors = 0;
    // Handles taken off the outline, freed once the event that removed them
    // is over (a right click deletes the very handle it is delivered to).
    QList<EditMarker*> discarded;
    bool freeScheduled = false;

    void updateRect()
    {
        // Points that are no number would poison the scene's index.
        QPolygonF finite;
        for (const QPointF& point : qAsConst(polygon)) {
            if (isFinite(point))
                finite.append(point);
        }
        rect = finite.boundingRect();
    }
};

GraphicsArea::GraphicsArea(QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , d(new Private)
{
    setFlag(ItemSendsScenePositionChanges);
    setOpacity(OverlayOpacity);
}

GraphicsArea::GraphicsArea(QGraphicsScene* scene, const QString& outlineText)
    : GraphicsArea(nullptr)
{
    setZValue(OverlayZ);
    setOutlineText(outlineText);
    setVisible(true);
    if (scene)
        scene->addItem(this);
}

GraphicsArea::~GraphicsArea()
{
    // Leaves the scene without the filter and the cursors of an edit.
    d->editing = false;
    detachFromScene();
    deleteMarkers();
}

void GraphicsArea::setPolygon(const QPolygonF& polygon)
{
    prepareGeometryChange();
    d->polygon = polygon;
    if (d->polygon.size() > 1 && d->polygon.last() == d->polygon.first())
        d->polygon.removeLast();
    d->updateRect();
    if (d->currentIndex >= d->polygon.size())
        d->currentIndex = d->polygon.size() - 1;
    update();
    emit outlineChanged();
}

QPolygonF GraphicsArea::polygon() const
{
    return d->polygon;
}

QPolygonF GraphicsArea::scenePolygon() const
{
    return mapToScene(d->polygon);
}

void GraphicsArea::setOutlineText(const QString& text)
{
    setPolygon(QPolygonF(Velmora::Geometry::parsePointsLenient(text)));
}

QString GraphicsArea::outlineText() const
{
    return Velmora::Geometry::formatPoints(scenePolygon());
}

void GraphicsArea::setEditMode(bool editing)
{
    if (editing == d->editing)
        return;
    d->editing = editing;
    if (editing) {
        // From the last vertex down: the last one starts as the current vertex,
        // so the first click appends.
        for (int i = d->polygon.size() - 1; i >= 0; --i) {
            auto* marker = new EditMarker(d->polygon.at(i), this);
            if (i == d->polygon.size() - 1) {
                d->currentIndex = i;
                marker->setSelected(true);
            }
        }
        attachToScene(scene());
    } else {
        detachFromScene();
        deleteMarkers();
        d->currentIndex = -1;
    }
}

bool GraphicsArea::isEditing() const
{
    return d->editing;
}

bool GraphicsArea::isShiftMode() const
{
    return d->shiftMode;
}

int GraphicsArea::currentIndex() const
{
    return d->currentIndex;
}

QList<EditMarker*> GraphicsArea::markers() const
{
    QList<EditMarker*> markers;
    const QList<QGraphicsItem*> children = childItems();
    for (QGraphicsItem* child : children) {
        auto* marker = qgraphicsitem_cast<EditMarker*>(child);
        if (marker && !marker->isDiscarded())
            markers.append(marker);
    }
    return markers;
}

int GraphicsArea::vertexIndex(const QPointF& position) const
{
    return d->polygon.indexOf(position);
}

void GraphicsArea::movePoint(const QPointF& from, const QPointF& to)
{
    const int index = vertexIndex(from);
    if (index < 0)
        return;
    d->currentIndex = index;
    prepareGeometryChange();
    d->polygon[index] = to;
    d->updateRect();
    update();
    emit outlineChanged();
}

void GraphicsArea::removeMarker(EditMarker* marker, bool selectNext)
{
    if (!marker || marker->parentItem() != this || marker->isDiscarded())
        return;
    removeVertexOf(marker);
    if (selectNext && d->currentIndex >= 0)
        selectCurrentMarker();
    update();
}

void GraphicsArea::removeVertexOf(EditMarker* marker)
{
    const int index = vertexIndex(marker->pos());
    update();
    discardMarker(marker);
    if (index < 0)
        return;
    prepareGeometryChange();
    d->polygon.remove(index);
    d->updateRect();
    d->currentIndex = index - 1;
    if (d->currentIndex < 0)
        d->currentIndex = d->polygon.size() - 1;
    emit outlineChanged();
}

void GraphicsArea::selectCurrentMarker()
{
    if (d->currentIndex < 0 || d->currentIndex >= d->polygon.size())
        return;
    const QPointF vertex = d->polygon.at(d->currentIndex);
    const QList<EditMarker*> handles = markers();
    for (EditMarker* marker : handles) {
        if (marker->pos() == vertex) {
            marker->setSelected(true);
            return;
        }
    }
}

void GraphicsArea::discardMarker(EditMarker* marker)
{
    // Hidden at once: no longer drawn, hit, selected or grabbing the mouse.
    marker->m_discarded = true;
    marker->setSelected(false);
    marker->hide();
    d->discarded.append(marker);
    if (!d->freeScheduled) {
        d->freeScheduled = true;
        QMetaObject::invokeMethod(this, [this] { freeDiscardedMarkers(); }, Qt::QueuedConnection);
    }
}

void GraphicsArea::freeDiscardedMarkers()
{
    d->freeScheduled = false;
    const QList<EditMarker*> discarded = d->discarded;
    d->discarded.clear();
    qDeleteAll(discarded);
}

void GraphicsArea::deleteMarkers()
{
    // Discarded handles are children too.
    d->discarded.clear();
    const QList<QGraphicsItem*> children = childItems();
    for (QGraphicsItem* child : children) {
        if (qgraphicsitem_cast<EditMarker*>(child))
            delete child;
    }
}

void GraphicsArea::attachToScene(QGraphicsScene* scene)
{
    if (!scene || d->filtered)
        return;
    d->filtered = scene;
    scene->installEventFilter(this);
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    d->cursors = 1;
}

void GraphicsArea::detachFromScene()
{
    if (d->shiftMode)
        setShiftMode(false);
    if (d->filtered)
        d->filtered->removeEventFilter(this);
    d->filtered = nullptr;
    for (; d->cursors > 0; --d->cursors)
        QGuiApplication::restoreOverrideCursor();
}

void GraphicsArea::setShiftMode(bool on)
{
    d->shiftMode = on;
    setFlag(ItemIsSelectable, on);
    setFlag(ItemIsMovable, on);
    if (on) {
        setSelected(true);
        if (d->filtered) {
            QGuiApplication::setOverrideCursor(Qt::SizeAllCursor);
            ++d->cursors;
        }
    } else if (d->cursors > 1) {
        QGuiApplication::restoreOverrideCursor();
        --d->cursors;
    }
}

bool GraphicsArea::eventFilter(QObject* watched, QEvent* event)
{
    if (d->editing && watched == d->filtered) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Shift && !d->shiftMode)
                setShiftMode(true);
            else if (key->key() == Qt::Key_Delete)
                removeSelectedMarkers();
            break;
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Shift && !key->isAutoRepeat() && d->shiftMode)
                setShiftMode(false);
            break;
        }
        case QEvent::GraphicsSceneMousePress: {
            auto* mouse = static_cast<QGraphicsSceneMouseEvent*>(event);
            // With Shift the scene drags the whole overlay.
            if (mouse->button() == Qt::LeftButton && !(mouse->modifiers() & Qt::ShiftModifier))
                leftPress(mouse);
            break;
        }
        default:
            break;
        }
    }
    return QGraphicsObject::eventFilter(watched, event);
}

void GraphicsArea::removeSelectedMarkers()
{
    const QList<EditMarker*> handles = markers();
    for (EditMarker* marker : handles) {
        if (marker->isSelected())
            removeVertexOf(marker);
    }
    selectCurrentMarker();
    update();
}

namespace {

// The view the press happened in; else, as a host without the event's widget
// would, the first view that is the active window.
QGraphicsView* pressView(const QGraphicsScene* scene, const QGraphicsSceneMouseEvent* event)
{
    if (QWidget* viewport = event->widget()) {
        auto* view = qobject_cast<QGraphicsView*>(viewport->parentWidget());
        if (view && view->scene() == scene)
            return view;
    }
    const QList<QGraphicsView*> views = scene->views();
    for (QGraphicsView* view : views) {
        if (view->isActiveWindow())
            return view;
    }
    return nullptr;
}

} // namespace

void GraphicsArea::leftPress(QGraphicsSceneMouseEvent* event)
{
    QGraphicsScene* scene = d->filtered;
    if (!(event->modifiers() & Qt::ControlModifier))
        scene->clearSelection();
    if (QGraphicsView* view = pressView(scene, event)) {
        // Handles keep their pixel size, so they are hit in view pixels.
        const QTransform toView = view->viewportTransform();
        const QPointF press = toView.map(event->scenePos());
        const QList<EditMarker*> handles = markers();
        for (EditMarker* marker : handles) {
            const QSizeF size = marker->boundingRect().size().toSize();
            const QPointF centre = toView.map(marker->scenePos());
            const QRectF square(centre - QPointF(size.width(), size.height()) / 2, size);
            if (square.contains(press)) {
                // The scene hands the press on to the handle under the cursor.
                d->currentIndex = vertexIndex(marker->pos());
                return;
            }
        }
    }
    insertVertex(event->scenePos());
}

void GraphicsArea::insertVertex(const QPointF& scenePos)
{
    const QPointF point = mapFromScene(scenePos);
    auto* marker = new EditMarker(point, this);
    if (scene())
        scene()->clearSelection();
    marker->setSelected(true);
    prepareGeometryChange();
    d->polygon.insert(++d->currentIndex, point);
    d->updateRect();
    update();
    emit outlineChanged();
}

QRectF GraphicsArea::boundingRect() const
{
    return d->rect;
}

QPainterPath GraphicsArea::shape() const
{
    QPainterPath path;
    path.addRect(d->rect);
    return path;
}

void GraphicsArea::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    // The handles, as children, inherit the overlay's opacity.
    setOpacity(OverlayOpacity);
    QPen pen = painter->pen();
    if (!pen.isCosmetic()) {
        pen.setCosmetic(true);
        painter->setPen(pen);
    }
    painter->setBrush(QBrush(Qt::lightGray));
    painter->drawPolygon(d->polygon, Qt::OddEvenFill);
}

QVariant GraphicsArea::itemChange(GraphicsItemChange change, const QVariant& value)
{
    switch (change) {
    case ItemSceneHasChanged:
        // An overlay moved to another scene while editing takes the edit along.
        if (d->editing) {
            detachFromScene();
            attachToScene(value.value<QGraphicsScene*>());
        }
        break;
    case ItemScenePositionHasChanged:
        emit outlineChanged();
        break;
    default:
        break;
    }
    return QGraphicsObject::itemChange(change, value);
}
