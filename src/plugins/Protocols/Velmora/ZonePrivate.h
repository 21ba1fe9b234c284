#pragma once

#include <QDateTime>
#include <QDebug>
#include <QMap>
#include <QObject>
#include <QPainterPath>
#include <QPointer>

#include "semtra/Connection.h"
#include "Logging.h"
#include "Objects.h"
#include "Zone.h"
#include "graphics/MapZone.h"

class Notification;
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
    // Time stamp, result code, reply code.
    static constexpr int ReplyHeadSize = 16;

    explicit Private(Zone* zone);
    ~Private() override;

    // The link state of a zone, for the zone's own files and for tests.
    static Private* get(Zone* zone) { return zone->d; }

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

    // Link up: state query on the way up; nothing when already there.
    void setConnected();
    // Link down: every reported value back to -1; open responses stay open.
    void setDisconnected();
    // GET_CONFIG_HASH, SET_EVENT with the mask, GET_STATE, in this order.
    void linkUpQuery();
    // Next message number: never 0 or negative, never one still open.
    int nextMessageNumber();
    // Applies an event's values to the properties its id names.
    bool applyEvent(const Notification& notification);
    // Applies a kind-1 reply's parameters. False for a reply too short for its
    // head or with fewer parameters than its reply needs.
    bool applyReply(int number, const QByteArray& data);
    // Redraws the zone's map item and tells the host.
    void zoneStateChanged();
    // Deletes the objects of an earlier load, with their map items.
    void clearModel();
    // The zone's id and name as the root element gives them.
    void setIdentity(int id, const QString& name);
    // Makes the map items again after a destroyed scene took them.
    void restoreItems();

    Zone* zone;
    // Owns the area items as its child items. Guarded: a scene destroyed
    // before the zone deletes the items it holds.
    QPointer<Rare::Graphics::Zone> item;
    // The zone outline as read, kept for restoreItems().
    QPainterPath outline;
    int eventMask = 255;
    int messageCounter = 0;
    bool connected = false;
    bool hashInvalid = false;
    QDateTime connectionTime;
    QDateTime lastConnectionEventTime;
    // Owned by the zone until finished; a host may still delete one early.
    QMap<int, QPointer<Response>> responses;
    QPointer<QObject> connection;
    Objects<Controller>* controllers;
    Objects<Area>* areas;
    Objects<Strategy>* strategies;
    QString fileName;
    // Whether the last load parsed a document (the document path, or a file
    // the streaming pass could not settle).
    bool documentParsed = false;

public slots:
    void connectionStateChanged(Semtra::Connection::State state);

private:
    // All three of the area's values back to -1; signals when any was set.
    void clearAreaState(Area* area);
    // Sets a property of the reply's or event's list, by position.
    void applyValues(const QList<QByteArray>& properties, const QVariantList& values);

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
