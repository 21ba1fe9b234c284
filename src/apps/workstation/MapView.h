#pragma once

#include <QElapsedTimer>
#include <QGraphicsView>
#include <QTimer>

#include <functional>
#include <optional>

namespace Velmora {

// The map: scene y is latitude, so the view (never the scene) is flipped to
// put north up. Longitudes are compressed by cos(latitude) so shapes keep
// their ground proportions. Wheel zooms around the cursor; dragging with the
// middle button, or with the left one on empty map, pans; there are no scroll
// bars. Over the items the map writes the areas' names, outlines zones whose
// configuration differs from their service's, and shows a scale bar and a
// north arrow. While the history replays, the names and the mismatch follow
// the live state no more: what draws the replayed state draws them.
//
// The map is redrawn at most every MinFrameInterval ms: under a storm of
// state changes it shows the latest state at a steady rate instead of
// spending the thread on frames nobody can see. A map slow to draw waits
// FrameCostShare times its last drawing time between frames, so that the
// state changes it shows keep most of the thread however large it is.
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
    static constexpr int MinFrameInterval = 40;
    static constexpr int FrameCostShare = 2;
    // Names are drawn at this pixel size, and only where they fit into their area.
    static constexpr int LabelPixelSize = 12;

    // What the map knows of the objects behind its items; the window supplies it.
    using TextOf = std::function<QString(QObject*)>;

    explicit MapView(QGraphicsScene* scene, QWidget* parent = nullptr);

    // cos(latitude) for geographic rectangles, 1 for anything else.
    static qreal aspectFor(const QRectF& sceneRect);
    // Longitude and latitude in degrees, rather than plain units.
    static bool isGeographic(const QRectF& sceneRect);
    // The scale bar for a map showing `pixelsPerUnit`: a round length of about
    // `pixels` pixels, its width in pixels, and its text ("500 m", "2 km", "50 units").
    static void scaleBar(qreal pixelsPerUnit, bool geographic, int pixels, qreal* width, QString* text);
    // Where an outline's name goes: its centroid, or the middle of its
    // bounding rectangle when the centroid falls outside it.
    static QPointF labelPoint(const QPolygonF& outline);

    // The tool tip for the object behind an item; an empty text leaves the item's own.
    void setToolTipText(const TextOf& text);
    // The object whose tool tip the map would show at a viewport point, and its text.
    QString toolTipAt(const QPoint& viewPos, QObject** object = nullptr) const;
    // The names drawn in the last frame, with their viewport rectangles.
    QList<QPair<QString, QRect>> labels() const;
    // Writes `name` in the middle of `outline`, mapped to the view by `toView`, with a light halo, where it fits
    // on the view; the painter paints on the view. Its rectangle there, or a null one when it does not fit.
    static QRect drawName(QPainter* painter, const QFont& font, const QPainterPath& outline, const QTransform& toView,
                          const QString& name);
    void setReplaying(bool replaying);

    // The scene rectangle a zone's map item and its children take up; empty
    // for a zone without one.
    static QRectF zoneRect(QObject* zone);
    // Puts smaller zones above larger ones, so that no zone hides another from clicks.
    static void stackZones(const QList<QObject*>& zones);
    // Far from the other zones: too far to be seen together with them.
    static bool isFarFromOthers(QObject* zone, const QList<QObject*>& zones, qreal* distance);
    // The scene's extent: the zones and the lights (none when there are no
    // lights) with room to pan around them.
    void setExtent(const QList<QObject*>& zones, const std::optional<QRectF>& lights);

    // Shows the rectangle whole, centred, north up; it stays fitted through
    // resizes until the user zooms or pans.
    void fitRect(const QRectF& sceneRect);
    // Fits the zones together, or `otherwise` when none has an extent.
    void fitZones(const QList<QObject*>& zones, const QRectF& otherwise);
    // Multiplies the zoom, keeping the scene point under viewPos in place.
    void zoomBy(qreal factor, const QPoint& viewPos);
    // Pixels per scene unit, vertically.
    qreal zoom() const;
    qreal aspect() const;
    // Frames drawn so far, and when the last one was (ms since the epoch; 0 before the first).
    int frameCount() const;
    qint64 lastFrameTime() const;

public slots:
    // Redraws soon, within the frame rate.
    void requestFrame();

signals:
    // The scene point under the cursor: longitude, latitude.
    void cursorMoved(const QPointF& scenePos);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    void applyZoom(qreal zoom);
    void drawLabels(QPainter* painter, const QList<QGraphicsItem*>& shown);
    void drawMismatches(QPainter* painter, const QList<QGraphicsItem*>& shown);
    qint64 msUntilNextFrame() const;
    void drawScaleBar(QPainter* painter);
    void drawNorthArrow(QPainter* painter);

    qreal m_aspect = 1.0;
    bool m_geographic = false;
    bool m_replaying = false;
    QRectF m_fitted;
    TextOf m_toolTipText;
    QList<QPair<QString, QRect>> m_labels;
    bool m_panning = false;
    QPoint m_panFrom;
    QTimer m_frameTimer;
    // Since the end of the last frame, and how long that frame took.
    QElapsedTimer m_sinceFrame;
    qint64 m_frameCost = 0;
    int m_frames = 0;
    qint64 m_lastFrameTime = 0;
};

} // namespace Velmora
