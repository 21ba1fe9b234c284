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
    // An area read by the streaming loader: it belongs to the zone, but joins
    // the zone's objects and map item only once the whole file has loaded.
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

    // The numeric ids of an Area element's Controllers text, in order.
    static QList<int> controllerIds(const QDomElement& area);
    // The same of the text itself: the parts between commas that convert to
    // decimal numbers.
    static QList<int> controllerIds(const QStringRef& text);
    // The warning for a State element without a valid id, which ends the
    // area's states.
    static void warnInvalidStates(int areaId);

signals:
    void stateChanged(const QObject* area);

public:
    class Private;

private:
    friend class Private;
    QScopedPointer<Private> d;
};

} // namespace Velmora
