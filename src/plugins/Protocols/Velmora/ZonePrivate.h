#pragma once

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QPointer>

#include "semtra/Connection.h"
#include "Objects.h"
#include "Zone.h"
#include "graphics/Zone.h"

class Response;

namespace Velmora {

class Area;
class Controller;
class Strategy;

// The zone's link state. Reply and event parameters are written into its
// properties by name; the setters carry them into the model.
class Zone::Private : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int controlSource READ controlSource WRITE setControlSource)
    Q_PROPERTY(int strategy READ strategy WRITE setStrategy)
    Q_PROPERTY(QString areasState READ areasState WRITE setAreasState)
    Q_PROPERTY(int areaId READ areaId WRITE setAreaId)
    Q_PROPERTY(int areaControlSource READ areaControlSource WRITE setAreaControlSource)
    Q_PROPERTY(int areaState READ areaState WRITE setAreaState)
    Q_PROPERTY(int areaSpecialState READ areaSpecialState WRITE setAreaSpecialState)
public:
    explicit Private(Zone* zone);
    ~Private() override;

    int controlSource() const { return m_controlSource; }
    void setControlSource(int value);
    int strategy() const { return m_strategy; }
    void setStrategy(int value);
    QString areasState() const { return m_areasState; }
    void setAreasState(const QString& text);
    int areaId() const { return m_areaId; }
    void setAreaId(int value);
    int areaControlSource() const { return m_areaControlSource; }
    void setAreaControlSource(int value);
    int areaState() const { return m_areaState; }
    void setAreaState(int value);
    int areaSpecialState() const { return m_areaSpecialState; }
    void setAreaSpecialState(int value);

    Zone* zone;
    // Owns the area items as its child items.
    Rare::Graphics::Zone* item;
    int eventMask = 255;
    int messageCounter = 0;
    bool connected = false;
    bool hashInvalid = false;
    QDateTime connectionTime;
    QDateTime lastConnectionEventTime;
    QMap<int, Response*> responses;
    QPointer<QObject> connection;
    Objects<Controller>* controllers;
    Objects<Area>* areas;
    Objects<Strategy>* strategies;
    QString fileName;

public slots:
    void connectionStateChanged(Semtra::Connection::State state);

private:
    int m_controlSource = -1;
    int m_strategy = -1;
    QString m_areasState;
    int m_areaId = -1;
    int m_areaControlSource = -1;
    int m_areaState = -1;
    int m_areaSpecialState = -1;
    bool m_changed = false;
};

} // namespace Velmora
