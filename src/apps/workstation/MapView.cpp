#include "MapView.h"

#include "MapLegend.h"
#include "ModuleHost.h"
#include "ToolTips.h"

#include <QDateTime>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QHash>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>

namespace Velmora {

namespace {

// A degree of latitude on the ground.
constexpr qreal MetresPerDegree = 111320.0;

QObject* objectOf(const QGraphicsItem* item)
{
    return item ? item->data(0).value<QObject*>() : nullptr;
}

bool isArea(const QObject* object)
{
    return object && object->inherits("Velmora::Area");
}

bool isMismatched(const QObject* zone)
{
    return ModuleHost::isZone(zone) && zone->property("hashInvalid").toBool();
}

QFont labelFont(const QFont& base)
{
    QFont font = base;
    font.setPixelSize(MapView::LabelPixelSize);
    return font;
}

// Most areas of a large zone seen whole are far too small for any name.
bool tooSmallForAName(const QRectF& onView, const QFontMetrics& metrics)
{
    return onView.width() < 2 * MapView::LabelPixelSize || onView.height() < metrics.height() + 4;
}

} // namespace

MapView::MapView(QGraphicsScene* scene, QWidget* parent)
    : QGraphicsView(scene, parent)
{
    setObjectName(QStringLiteral("MapView"));
    setRenderHint(QPainter::Antialiasing);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    // Redrawing is ours: scene changes ask for a frame, the frame rate decides when.
    setViewportUpdateMode(QGraphicsView::NoViewportUpdate);
    m_frameTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, this, [this] { viewport()->update(); });
    if (scene)
        connect(scene, &QGraphicsScene::changed, this, &MapView::requestFrame);
    setMouseTracking(true);
    setTransform(QTransform::fromScale(1, -1));
    // A fitted map refits on every viewport resize. Scroll bars shown as
    // needed would make the viewport size depend on the zoom, and the zoom on
    // the viewport size: near the limit a bar appears, the refit zooms out,
    // the bar goes, the refit zooms in, for ever. Panning is by dragging.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

bool MapView::isGeographic(const QRectF& sceneRect)
{
    return sceneRect.isValid() && sceneRect.left() >= -180 && sceneRect.right() <= 180 && sceneRect.top() >= -90
        && sceneRect.bottom() <= 90 && sceneRect.width() < 10 && sceneRect.height() < 10;
}

qreal MapView::aspectFor(const QRectF& sceneRect)
{
    if (!isGeographic(sceneRect))
        return 1.0;
    // Clamped so that a polar zone does not collapse to a line.
    return qMax(0.1, qCos(qDegreesToRadians(sceneRect.center().y())));
}

void MapView::fitRect(const QRectF& sceneRect)
{
    const QRectF rect = sceneRect.normalized();
    const QSize size = viewport()->size();
    if (rect.width() <= 0 && rect.height() <= 0) {
        centerOn(rect.center());
        return;
    }
    m_fitted = rect;
    m_aspect = aspectFor(rect);
    m_geographic = isGeographic(rect);
    const qreal usable = 1.0 - 2 * FitMargin;
    const qreal byWidth = rect.width() > 0 ? size.width() * usable / (rect.width() * m_aspect) : qInf();
    const qreal byHeight = rect.height() > 0 ? size.height() * usable / rect.height() : qInf();
    applyZoom(qMin(byWidth, byHeight));
    centerOn(rect.center());
}

void MapView::fitZones(const QList<QObject*>& zones, const QRectF& otherwise)
{
    QRectF rect;
    for (QObject* zone : zones) {
        const QRectF zr = zoneRect(zone);
        if (!zr.isEmpty())
            rect = rect.isEmpty() ? zr : rect.united(zr);
    }
    if (rect.isEmpty())
        rect = otherwise;
    if (rect.isValid())
        fitRect(rect);
}

QRectF MapView::zoneRect(QObject* zone)
{
    const QGraphicsItem* item = ModuleHost::graphicsItem(zone);
    if (!item)
        return QRectF();
    QRectF rect = item->sceneBoundingRect();
    const QRectF children = item->mapRectToScene(item->childrenBoundingRect());
    if (!children.isEmpty())
        rect = rect.isEmpty() ? children : rect.united(children);
    return rect;
}

void MapView::stackZones(const QList<QObject*>& zones)
{
    // Smaller zones above larger ones: a district drawn over the small zone
    // inside it would take every click meant for that zone.
    for (QObject* zone : zones) {
        QGraphicsItem* item = ModuleHost::graphicsItem(zone);
        if (!item)
            continue;
        const QRectF rect = item->boundingRect();
        item->setZValue(-std::log1p(qMax<qreal>(0, rect.width() * rect.height())));
    }
}

bool MapView::isFarFromOthers(QObject* zone, const QList<QObject*>& zones, qreal* distance)
{
    const QRectF own = zoneRect(zone);
    if (own.isEmpty())
        return false;
    qreal nearest = -1;
    qreal extent = qMax(own.width(), own.height());
    for (QObject* other : zones) {
        if (other == zone)
            continue;
        const QRectF rect = zoneRect(other);
        if (rect.isEmpty())
            continue;
        const QPointF gap = own.center() - rect.center();
        const qreal apart = std::hypot(gap.x(), gap.y());
        nearest = nearest < 0 ? apart : qMin(nearest, apart);
        extent = qMax(extent, qMax(rect.width(), rect.height()));
    }
    if (nearest < 0)
        return false;
    *distance = nearest;
    // Seen together, the zones would be specks on a map this many of them wide.
    return nearest > 20 * extent;
}

void MapView::setExtent(const QList<QObject*>& zones, const std::optional<QRectF>& lights)
{
    // Pixel-sized light markers would blow up the scene's own estimate of its
    // extent (each counts as 9 degrees wide), so the map's extent is set here.
    bool any = false;
    qreal left = 0, top = 0, right = 0, bottom = 0;
    auto include = [&](const QRectF& r) {
        if (!any) {
            left = r.left(), top = r.top(), right = r.right(), bottom = r.bottom();
            any = true;
            return;
        }
        left = qMin(left, r.left());
        top = qMin(top, r.top());
        right = qMax(right, r.right());
        bottom = qMax(bottom, r.bottom());
    };
    for (QObject* zone : zones) {
        const QRectF rect = zoneRect(zone);
        if (!rect.isEmpty())
            include(rect);
    }
    if (lights)
        include(*lights);
    if (!any) {
        scene()->setSceneRect(QRectF());
        return;
    }
    const QRectF rect(QPointF(left, top), QPointF(right, bottom));
    // Room to pan around the zones; a single point still gets a neighbourhood.
    const qreal margin = qMax(qMax(rect.width(), rect.height()), 0.01);
    scene()->setSceneRect(rect.adjusted(-margin, -margin, margin, margin));
}

void MapView::zoomBy(qreal factor, const QPoint& viewPos)
{
    m_fitted = QRectF();
    const QPointF anchor = mapToScene(viewPos);
    applyZoom(zoom() * factor);
    // Put the anchor back under the cursor.
    const QPointF moved = mapFromScene(anchor);
    const QPointF delta = moved - QPointF(viewPos);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + qRound(delta.x()));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + qRound(delta.y()));
}

qreal MapView::zoom() const
{
    return qAbs(transform().m22());
}

qreal MapView::aspect() const
{
    return m_aspect;
}

int MapView::frameCount() const
{
    return m_frames;
}

qint64 MapView::lastFrameTime() const
{
    return m_lastFrameTime;
}

void MapView::requestFrame()
{
    if (m_frameTimer.isActive())
        return;
    const qint64 wait = msUntilNextFrame();
    if (wait <= 0)
        viewport()->update();
    else
        m_frameTimer.start(int(wait));
}

qint64 MapView::msUntilNextFrame() const
{
    if (!m_sinceFrame.isValid())
        return 0;
    const qint64 gap = qMax(MinFrameInterval - m_frameCost, FrameCostShare * m_frameCost);
    return gap - m_sinceFrame.elapsed();
}

void MapView::paintEvent(QPaintEvent* event)
{
    m_frameTimer.stop();
    QElapsedTimer cost;
    cost.start();
    QGraphicsView::paintEvent(event);
    m_frameCost = cost.elapsed();
    m_sinceFrame.start();
    ++m_frames;
    m_lastFrameTime = QDateTime::currentMSecsSinceEpoch();
}

void MapView::scrollContentsBy(int dx, int dy)
{
    QGraphicsView::scrollContentsBy(dx, dy);
    // Panning is the user's own move: drawn at once.
    viewport()->update();
}

void MapView::applyZoom(qreal zoom)
{
    const QRectF scene = sceneRect();
    const qreal extent = qMax(scene.width(), scene.height());
    if (extent > 0)
        zoom = qBound(MinScenePixels / extent, zoom, MaxScenePixels / extent);
    setTransform(QTransform::fromScale(zoom * m_aspect, -zoom));
    viewport()->update();
}

void MapView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y();
    if (steps == 0) {
        QGraphicsView::wheelEvent(event);
        return;
    }
    zoomBy(qPow(1.25, steps / 120.0), event->position().toPoint());
    event->accept();
}

void MapView::mouseMoveEvent(QMouseEvent* event)
{
    emit cursorMoved(mapToScene(event->pos()));
    if (m_panning) {
        const QPoint delta = event->pos() - m_panFrom;
        m_panFrom = event->pos();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
        event->accept();
        return;
    }
    QGraphicsView::mouseMoveEvent(event);
}

void MapView::setToolTipText(const TextOf& text)
{
    m_toolTipText = text;
}

QString MapView::toolTipAt(const QPoint& viewPos, QObject** object) const
{
    // The topmost item that shows there: hidden areas have no shape, so they
    // let the tip through to what is drawn.
    const QList<QGraphicsItem*> hits = items(viewPos);
    for (QGraphicsItem* item : hits) {
        QObject* owner = objectOf(item);
        if (!owner)
            continue;
        const QString text = m_toolTipText ? m_toolTipText(owner) : QString();
        if (object)
            *object = owner;
        return text.isEmpty() ? item->toolTip() : text;
    }
    if (object)
        *object = nullptr;
    return QString();
}

bool MapView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip)
        return answerToolTip(event, toolTipAt(static_cast<QHelpEvent*>(event)->pos()), viewport());
    return QGraphicsView::viewportEvent(event);
}

QList<QPair<QString, QRect>> MapView::labels() const
{
    return m_labels;
}

QPointF MapView::labelPoint(const QPolygonF& outline)
{
    // The area-weighted centroid (shoelace); concave outlines may put it outside.
    qreal twiceArea = 0, cx = 0, cy = 0;
    for (int i = 0; i < outline.size(); ++i) {
        const QPointF& a = outline.at(i);
        const QPointF& b = outline.at((i + 1) % outline.size());
        const qreal cross = a.x() * b.y() - b.x() * a.y();
        twiceArea += cross;
        cx += (a.x() + b.x()) * cross;
        cy += (a.y() + b.y()) * cross;
    }
    const QPointF middle = outline.boundingRect().center();
    if (qFuzzyIsNull(twiceArea))
        return middle;
    const QPointF centroid(cx / (3 * twiceArea), cy / (3 * twiceArea));
    return outline.containsPoint(centroid, Qt::OddEvenFill) ? centroid : middle;
}

void MapView::scaleBar(qreal pixelsPerUnit, bool geographic, int pixels, qreal* width, QString* text)
{
    // Ground length per pixel: metres for maps in degrees, the file's units otherwise.
    const qreal perPixel = (geographic ? MetresPerDegree : 1.0) / pixelsPerUnit;
    const qreal wanted = perPixel * pixels;
    // The round length (1, 2 or 5 times a power of ten) nearest to it, by ratio.
    const qreal power = qPow(10.0, qFloor(std::log10(wanted)));
    qreal length = power;
    for (qreal step : {2.0, 5.0, 10.0}) {
        if (qAbs(std::log(power * step / wanted)) < qAbs(std::log(length / wanted)))
            length = power * step;
    }
    *width = length / perPixel;
    if (!geographic)
        *text = tr("%1 units").arg(length);
    else if (length >= 1000)
        *text = tr("%1 km").arg(length / 1000);
    else
        *text = tr("%1 m").arg(length);
}

void MapView::setReplaying(bool replaying)
{
    m_replaying = replaying;
    requestFrame();
}

void MapView::drawForeground(QPainter* painter, const QRectF& rect)
{
    const QList<QGraphicsItem*> shown =
        scene() ? scene()->items(rect, Qt::IntersectsItemBoundingRect) : QList<QGraphicsItem*>();
    if (!m_replaying)
        drawMismatches(painter, shown);
    painter->save();
    painter->resetTransform();
    m_labels.clear();
    if (!m_replaying)
        drawLabels(painter, shown);
    drawScaleBar(painter);
    drawNorthArrow(painter);
    painter->restore();
}

void MapView::drawMismatches(QPainter* painter, const QList<QGraphicsItem*>& shown)
{
    // Areas hang under their zone's item: one look per zone, not per area,
    // keeps a large map's frames free of it while no zone is mismatched.
    QHash<const QGraphicsItem*, bool> mismatchedZoneItems;
    auto underMismatchedZone = [&mismatchedZoneItems](const QGraphicsItem* item) {
        const QGraphicsItem* top = item->topLevelItem();
        auto known = mismatchedZoneItems.constFind(top);
        if (known == mismatchedZoneItems.constEnd())
            known = mismatchedZoneItems.insert(top, isMismatched(objectOf(top)));
        return known.value();
    };
    // The module still applies the service's events to a zone whose
    // configuration the service does not run: those states belong to another
    // file, so its drawn areas are covered as if nothing were reported.
    for (const QGraphicsItem* item : shown) {
        if (!underMismatchedZone(item))
            continue;
        const QObject* object = objectOf(item);
        if (isArea(object) && isMismatched(ModuleHost::zoneOf(const_cast<QObject*>(object))))
            MapLegend::coverUnreported(painter, item->mapToScene(item->shape()));
    }
    for (const QGraphicsItem* item : shown) {
        if (underMismatchedZone(item) && isMismatched(objectOf(item)))
            MapLegend::paintMismatch(painter, item->mapToScene(item->shape()));
    }
}

void MapView::drawLabels(QPainter* painter, const QList<QGraphicsItem*>& shown)
{
    const QFontMetrics metrics(labelFont(font()));
    const QTransform toView = viewportTransform();
    for (const QGraphicsItem* item : shown) {
        // Cheaply out first, before the item's object or outline is asked for.
        if (tooSmallForAName(toView.mapRect(item->sceneBoundingRect()), metrics))
            continue;
        const QObject* area = objectOf(item);
        if (!isArea(area))
            continue;
        const QString name = area->property("name").toString();
        if (name.isEmpty())
            continue;
        // An area the map does not draw gets no name either.
        const QRect box = drawName(painter, font(), item->shape(), item->sceneTransform() * viewportTransform(), name);
        if (!box.isNull())
            m_labels.append({name, box});
    }
}

QRect MapView::drawName(QPainter* painter, const QFont& font, const QPainterPath& outline, const QTransform& toView,
                        const QString& name)
{
    if (outline.isEmpty() || name.isEmpty())
        return QRect();
    const QFont nameFont = labelFont(font);
    const QFontMetrics metrics(nameFont);
    if (tooSmallForAName(toView.mapRect(outline.boundingRect()), metrics))
        return QRect();
    const QPolygonF onView = toView.map(outline.toFillPolygon());
    const QRectF bounds = onView.boundingRect();
    const int textWidth = metrics.horizontalAdvance(name);
    // Too small on screen to hold its name: no name, rather than clutter.
    if (bounds.width() < textWidth + 6 || bounds.height() < metrics.height() + 4)
        return QRect();
    const QPointF centre = labelPoint(onView);
    const QRect box(qRound(centre.x() - textWidth / 2.0), qRound(centre.y() - metrics.height() / 2.0), textWidth,
                    metrics.height());
    // A light halo keeps the name readable over every fill and hatch.
    QPainterPath text;
    text.addText(box.left(), box.top() + metrics.ascent(), nameFont, name);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->strokePath(text, QPen(QColor(255, 255, 255, 220), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->fillPath(text, QColor(25, 25, 25));
    return box;
}

void MapView::drawScaleBar(QPainter* painter)
{
    if (zoom() <= 0)
        return;
    qreal width = 0;
    QString text;
    scaleBar(zoom(), m_geographic, 120, &width, &text);
    const QRect area = viewport()->rect();
    const QPointF left(area.left() + 14, area.bottom() - 14);
    const QPointF right = left + QPointF(width, 0);
    painter->setRenderHint(QPainter::Antialiasing, false);
    for (const auto& pen : {QPen(QColor(255, 255, 255, 220), 5.0), QPen(QColor(30, 30, 30), 2.0)}) {
        painter->setPen(pen);
        painter->drawLine(left, right);
        painter->drawLine(left, left - QPointF(0, 6));
        painter->drawLine(right, right - QPointF(0, 6));
    }
    QFont font = this->font();
    font.setPixelSize(11);
    painter->setFont(font);
    painter->setPen(QColor(30, 30, 30));
    painter->drawText(QPointF(left.x() + 4, left.y() - 6), text);
}

void MapView::drawNorthArrow(QPainter* painter)
{
    // The view keeps north up, so the arrow always points straight up.
    const QRect area = viewport()->rect();
    const QPointF tip(area.right() - 24, area.top() + 12);
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip + QPointF(8, 22));
    arrow.lineTo(tip + QPointF(0, 16));
    arrow.lineTo(tip + QPointF(-8, 22));
    arrow.closeSubpath();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(255, 255, 255, 220), 1.5));
    painter->setBrush(QColor(30, 30, 30));
    painter->drawPath(arrow);
    QFont font = this->font();
    font.setPixelSize(12);
    font.setBold(true);
    painter->setFont(font);
    painter->setPen(QColor(30, 30, 30));
    painter->drawText(QRectF(tip.x() - 10, tip.y() + 22, 20, 16), Qt::AlignCenter, QStringLiteral("N"));
}

void MapView::mousePressEvent(QMouseEvent* event)
{
    m_fitted = QRectF();
    if (event->button() == Qt::MiddleButton) {
        // The middle button pans wherever it is pressed, over items too.
        m_panning = true;
        m_panFrom = event->pos();
        viewport()->setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QGraphicsView::mousePressEvent(event);
}

void MapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_panning && event->button() == Qt::MiddleButton) {
        m_panning = false;
        viewport()->unsetCursor();
        event->accept();
        return;
    }
    QGraphicsView::mouseReleaseEvent(event);
}

void MapView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    if (!m_fitted.isNull())
        fitRect(m_fitted);
}

} // namespace Velmora
