#pragma once

#include <QObject>
#include <QPointF>

class QGraphicsEllipseItem;
class QGraphicsScene;

namespace Semtra {

// A traffic light on the map. The module recognises host lights by this class
// name and reads "id" and "basePoint" by name, so both are part of the contract.
class Light : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int id READ id CONSTANT)
    Q_PROPERTY(QPointF basePoint READ basePoint CONSTANT)
public:
    // Diameter of the marker in device pixels, whatever the zoom.
    static constexpr qreal MarkerSize = 9.0;

    Light(int id, const QPointF& basePoint, QObject* parent = nullptr);
    ~Light() override;

    int id() const;
    QPointF basePoint() const;

    // The marker; owned by the light, on no scene until addToScene().
    QGraphicsEllipseItem* item() const;
    void addToScene(QGraphicsScene* scene);

private:
    int m_id;
    QPointF m_basePoint;
    QGraphicsEllipseItem* m_item;
};

} // namespace Semtra
