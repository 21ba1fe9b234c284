#pragma once

#include <QGraphicsRectItem>

class GraphicsArea;

// The handle of one vertex of an outline under edit: a 7 x 7 pixel square at
// every zoom, a child of its overlay and owned by it. Its vertex is the first
// one of the overlay's polygon at the marker's position.
class EditMarker : public QGraphicsRectItem
{
public:
    enum { Type = UserType + 0x4d4b };

    EditMarker(const QPointF& position, GraphicsArea* area);
    ~EditMarker() override;

    int type() const override;
    GraphicsArea* area() const;
    // True once its overlay has taken it off the outline; it stays hidden
    // until the overlay frees it.
    bool isDiscarded() const;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;

private:
    friend class GraphicsArea;

    GraphicsArea* m_area;
    bool m_discarded = false;
};
