#pragma once

#include <QColor>
#include <QGraphicsPathItem>
#include <QObject>
#include <QScopedPointer>
#include <QStringList>
#include <QTransform>

class QGraphicsScene;

// A control area built from the map: the user picks traffic lights one at a
// time (host items of class "Semtra::Light", reached by name only), and the
// item keeps their ids in pick order and draws a rounded corridor through
// their base points. Path and corridor are in scene coordinates.
class AreaGraphicsItem : public QObject, public QGraphicsPathItem
{
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)
public:
    // With `interactive`, every single selection of a light on `scene` adds it.
    AreaGraphicsItem(QObject* parent, QGraphicsScene* scene, bool interactive);
    ~AreaGraphicsItem() override;

    // Adds a light once (by id); a null light, one with a blank id or one
    // without a usable base point adds nothing.
    void addLight(QObject* light);

    // The picked lights' ids, in pick order, without duplicates: the area's controllers.
    QStringList lightIds() const;
    // The polyline through their base points, in pick order (also the item's path).
    QPainterPath polyline() const;
    // The corridor around the polyline through the picked lights.
    QPainterPath outline() const;
    // The corridor as a closed polygon (its first point repeated last), and
    // as the Geometry text an area takes from it.
    QPolygonF outlinePolygon() const;
    QString outlineText() const;

    // The anisotropic scale the corridor is built in: round there, so round
    // on screen in the view the item was made for.
    QTransform corridorMatrix() const;
    qreal corridorWidth() const;

    bool isShown() const;
    void setShown(bool shown);
    QColor normalColour() const;
    void setNormalColour(const QColor& colour);
    QColor selectedColour() const;
    void setSelectedColour(const QColor& colour);

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

public slots:
    // Stops taking picks. An item with fewer than two path elements (no
    // light picked) deletes itself later; otherwise it becomes selectable.
    void stopInteractiveCreation();

signals:
    // A light was added: ids, path and corridor changed.
    void outlineChanged();

private slots:
    void on_scene_selectionChanged();

private:
    void buildOutline();

    class Private;
    QScopedPointer<Private> d;
};
