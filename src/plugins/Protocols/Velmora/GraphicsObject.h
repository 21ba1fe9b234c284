#pragma once

#include <QPointF>

#include "BaseObject.h"

class QGraphicsItem;
class QGraphicsScene;

namespace Velmora {

// A model object drawn on the map by one map item.
class GraphicsObject : public BaseObject
{
    Q_OBJECT
    Q_PROPERTY(bool visible READ isVisible WRITE setVisible)
    Q_PROPERTY(bool selected READ isSelected WRITE setSelected)
    Q_PROPERTY(QPointF position READ position)
    Q_PROPERTY(QObject* graphicsScene READ graphicsScene)
    Q_PROPERTY(QObject* graphicsObject READ graphicsObject)
    Q_PROPERTY(QString toolTip READ toolTip WRITE setToolTip)
public:
    explicit GraphicsObject(QObject* parent = nullptr);
    ~GraphicsObject() override;

    Q_INVOKABLE virtual QGraphicsItem* graphicsItem() const = 0;
    virtual QObject* graphicsObject() const = 0;
    Q_INVOKABLE QGraphicsScene* scene() const;

    bool isVisible() const;
    void setVisible(bool visible);
    bool isSelected() const;
    QPointF position() const;
    QObject* graphicsScene() const;
    QString toolTip() const;
    void setToolTip(const QString& toolTip);

public slots:
    void setSelected(bool selected);

protected:
    // Icon and tool tip rows of modelData shared by zones and areas.
    QVariant graphicsData(int column, int role) const;
};

} // namespace Velmora
