#pragma once

#include <QGraphicsObject>
#include <QPolygonF>
#include <QScopedPointer>

class EditMarker;
class QGraphicsScene;
class QGraphicsSceneMouseEvent;

// An outline on the map as a translucent overlay, and its editing there:
// while editing, every vertex has an EditMarker handle that drags it, a right
// click on a handle or Delete removes vertices, a left click elsewhere inserts
// a vertex after the current one, and Shift drags the whole outline. The
// overlay's editor owns it; deleting it takes it, handles included, off the map.
class GraphicsArea : public QGraphicsObject
{
    Q_OBJECT
public:
    explicit GraphicsArea(QGraphicsItem* parent = nullptr);
    // An editor's overlay: above the map items (z 100), loaded from stored
    // outline text, and put on the scene when there is one.
    GraphicsArea(QGraphicsScene* scene, const QString& outlineText);
    ~GraphicsArea() override;

    // Replaces the vertices; a last point repeating the first is dropped.
    // Handles are not rebuilt.
    void setPolygon(const QPolygonF& polygon);
    // The vertices in overlay coordinates, open.
    QPolygonF polygon() const;
    // The vertices where they are shown on the map, in scene coordinates.
    QPolygonF scenePolygon() const;

    // Loads stored outline text leniently (see Velmora::Geometry::parsePointsLenient).
    void setOutlineText(const QString& text);
    // The outline as it is shown, written as Geometry text in scene coordinates.
    QString outlineText() const;

    // Starts or ends editing on the map; ending deletes every handle.
    void setEditMode(bool editing);
    bool isEditing() const;
    // While Shift is held during editing: the whole outline is dragged.
    bool isShiftMode() const;
    // The vertex a new one is inserted after; -1 when there is none.
    int currentIndex() const;
    // The live handles, in child order.
    QList<EditMarker*> markers() const;

    // Moves the first vertex at `from` to `to` and makes it current.
    void movePoint(const QPointF& from, const QPointF& to);
    // Removes a handle of this overlay with its vertex; the previous vertex
    // (cyclically) becomes current, and is selected with selectNext.
    void removeMarker(EditMarker* marker, bool selectNext);
    // Selects the handle of the current vertex.
    void selectCurrentMarker();

    // The editing interaction, installed on the scene while editing; it
    // never consumes an event.
    bool eventFilter(QObject* watched, QEvent* event) override;

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

signals:
    // The outline as outlineText() writes it changed: a vertex moved, came or
    // went, the polygon was replaced, or the whole overlay moved.
    void outlineChanged();

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    int vertexIndex(const QPointF& position) const;
    void leftPress(QGraphicsSceneMouseEvent* event);
    void insertVertex(const QPointF& scenePos);
    void removeSelectedMarkers();
    void removeVertexOf(EditMarker* marker);
    void discardMarker(EditMarker* marker);
    void freeDiscardedMarkers();
    void deleteMarkers();
    void attachToScene(QGraphicsScene* scene);
    void detachFromScene();
    void setShiftMode(bool on);

    class Private;
    QScopedPointer<Private> d;
};
