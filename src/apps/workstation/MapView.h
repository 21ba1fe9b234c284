#pragma once

#include <QGraphicsView>

// The map: scene y is latitude, so the view (never the scene) is flipped to
// put north up. Longitudes are compressed by cos(latitude) so shapes keep
// their ground proportions. Wheel zooms around the cursor, dragging pans;
// there are no scroll bars.
class MapView : public QGraphicsView
{
    Q_OBJECT
public:
    // Share of the view left around a fitted rectangle, on each side.
    static constexpr qreal FitMargin = 0.05;
    // Zoom limits, as the size in pixels that the whole scene may take up:
    // beyond the upper one QGraphicsView's integer scroll range overflows.
    static constexpr qreal MinScenePixels = 40.0;
    static constexpr qreal MaxScenePixels = 2.0e8;

    explicit MapView(QGraphicsScene* scene, QWidget* parent = nullptr);

    // cos(latitude) for geographic rectangles, 1 for anything else.
    static qreal aspectFor(const QRectF& sceneRect);

    // Shows the rectangle whole, centred, north up; it stays fitted through
    // resizes until the user zooms or pans.
    void fitRect(const QRectF& sceneRect);
    // Multiplies the zoom, keeping the scene point under viewPos in place.
    void zoomBy(qreal factor, const QPoint& viewPos);
    // Pixels per scene unit, vertically.
    qreal zoom() const;
    qreal aspect() const;

signals:
    // The scene point under the cursor: longitude, latitude.
    void cursorMoved(const QPointF& scenePos);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyZoom(qreal zoom);

    qreal m_aspect = 1.0;
    QRectF m_fitted;
};
