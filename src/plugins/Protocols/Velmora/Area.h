#pragma once

#include <QList>

#include "GraphicsObject.h"

namespace Velmora {

class Zone;

// A control area: its controllers, its states and its live control state.
class Area : public GraphicsObject
{
    Q_OBJECT
    Q_PROPERTY(int controlSource READ controlSource)
    Q_PROPERTY(int currentState READ currentState)
    Q_PROPERTY(int specialState READ specialState)
public:
    // With a zone as parent the area's map item hangs below the zone's.
    explicit Area(QObject* parent = nullptr);
    // An area read from the zone's file: its id and name are known when it
    // is made; its map item hangs below the zone's.
    Area(Zone* zone, int id, const QString& name);
    ~Area() override;

    bool loadFromElement(const QDomElement& element, QString* error) override;
    QGraphicsItem* graphicsItem() const override;
    QObject* graphicsObject() const override;

    Q_INVOKABLE QVariant modelData(int column, int role);
    Q_INVOKABLE Velmora::BaseObject* state(int id);
    Q_INVOKABLE QList<Velmora::BaseObject*> states();
    Q_INVOKABLE QList<int> objects();

    Zone* zone() const;
    int controlSource() const;
    int currentState() const;
    int specialState() const;

    // Live values from the zone link. Each returns whether the value changed;
    // the caller redraws and signals once for a batch.
    bool setControlSource(int value);
    bool setCurrentState(int value);
    bool setSpecialState(int value);
    // Repaints the map item.
    void redraw();
    // Makes the map item again, below the zone's item, when a destroyed scene
    // took it.
    void restoreItem(QGraphicsItem* zoneItem);

signals:
    void stateChanged(const QObject* area);

public:
    class Private;

private:
    friend class Private;
    QScopedPointer<Private> d;
};

} // namespace Velmora
