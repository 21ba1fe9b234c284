#include "MapView.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtMath>

MapView::MapView(QGraphicsScene* scene, QWidget* parent)
    : QGraphicsView(scene, parent)
{
    setObjectName(QStringLiteral("MapView"));
    setRenderHint(QPainter::Antialiasing);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setMouseTracking(true);
    setTransform(QTransform::fromScale(1, -1));
    // A fitted map refits on every viewport resize. Scroll bars shown as
    // needed would make the viewport size depend on the zoom, and the zoom on
    // the viewport size: near the limit a bar appears, the refit zooms out,
    // the bar goes, the refit zooms in, for ever. Panning is by dragging.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

qreal MapView::aspectFor(const QRectF& sceneRect)
{
    const bool geographic = sceneRect.isValid() && sceneRect.left() >= -180 && sceneRect.right() <= 180
        && sceneRect.top() >= -90 && sceneRect.bottom() <= 90 && sceneRect.width() < 10 && sceneRect.height() < 10;
    if (!geographic)
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
    const qreal usable = 1.0 - 2 * FitMargin;
    const qreal byWidth = rect.width() > 0 ? size.width() * usable / (rect.width() * m_aspect) : qInf();
    const qreal byHeight = rect.height() > 0 ? size.height() * usable / rect.height() : qInf();
    applyZoom(qMin(byWidth, byHeight));
    centerOn(rect.center());
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

void MapView::applyZoom(qreal zoom)
{
    const QRectF scene = sceneRect();
    const qreal extent = qMax(scene.width(), scene.height());
    if (extent > 0)
        zoom = qBound(MinScenePixels / extent, zoom, MaxScenePixels / extent);
    setTransform(QTransform::fromScale(zoom * m_aspect, -zoom));
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
    QGraphicsView::mouseMoveEvent(event);
}

void MapView::mousePressEvent(QMouseEvent* event)
{
    m_fitted = QRectF();
    QGraphicsView::mousePressEvent(event);
}

void MapView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    if (!m_fitted.isNull())
        fitRect(m_fitted);
}
