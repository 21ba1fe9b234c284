#pragma once

#include <QObject>
#include <QPointF>

class QGraphicsEllipseItem;
class QGraphicsScene;

namespace Semtra {

// A traffic light on the map. The module recognises host lights by this class
// name and reads "id" and "basePoint" by name, so both are part of the contract.
// Its marker belongs to the scene it is put on, like every item there; the
// light only keeps track of it, and takes it off the map when it goes itself.
class Light : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int id READ id CONSTANT)
    Q_PROPERTY(QPointF basePoint READ basePoint CONSTANT)
public:
    // Diameter of the marker in device pixels, whatever the zoom.
    static constexpr qreal MarkerSize = 9.0;
    // A selected marker (its controller chosen anywhere) gets a ring this wide.
    static constexpr qreal HighlightSize = 17.0;

    Light(int id, const QPointF& basePoint, QObject* parent = nullptr);
    ~Light() override;

    int id() const;
    QPointF basePoint() const;

    // The controller that runs the light, as the tool tip names it.
    void setController(const QString& name);
    QString toolTip() const;

    // The marker on the map; null before addToScene() and after the scene went.
    QGraphicsEllipseItem* item() const;
    // Puts the marker on the scene (moving it from another one), which owns it from then on.
    void addToScene(QGraphicsScene* scene);

private:
    class Marker;

    int m_id;
    QPointF m_basePoint;
    QString m_controller;
    Marker* m_marker = nullptr;
};

} // namespace Semtra
