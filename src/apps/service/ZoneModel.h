#pragma once

#include "ZoneConfig.h"

#include "Velmora/format/Protocol.h"

#include <QDateTime>
#include <QHash>
#include <QVariantList>
#include <QVector>

namespace Service {

// An event to send to the zone's clients: id 0..3 and its uint values.
struct ZoneEvent
{
    quint32 id = 0;
    QVariantList values;
};
using ZoneEvents = QVector<ZoneEvent>;

// The live state of one zone and the rules that change it (docs/service.md).
// Operations return a result code and append the events their changes cause.
class ZoneModel
{
public:
    ZoneModel(const ZoneConfig* config, bool runCalendar);

    // Initial state at `now`, without events.
    void start(const QDateTime& now);
    // Serves `config` from now on, as a service restarted on it would: from
    // the initial state, except that operator commands with a timeout on a
    // strategy or an area (and state) that `config` still has keep running
    // until their time is up. No events: the clients are to read it anew.
    void reconfigure(const ZoneConfig* config, const QDateTime& now);

    const ZoneConfig& config() const { return *m_config; }
    int id() const { return m_config->id(); }
    int controlSource() const { return m_controlSource; }
    int strategy() const { return m_strategy; }
    // "id cs state special" per area in file order, groups separated by blanks.
    QString areasState() const;

    quint32 setStrategy(int strategy, int timeout, const QDateTime& now, ZoneEvents* events);
    quint32 setLocal(int timeout, const QDateTime& now, ZoneEvents* events);
    quint32 setDefault(const QDateTime& now, ZoneEvents* events);
    quint32 setAreaState(int area, int state, int timeout, const QDateTime& now, ZoneEvents* events);
    quint32 setAreaSpecialState(int area, int special, int timeout, const QDateTime& now,
                                ZoneEvents* events);
    quint32 setAreaDefault(int area, const QDateTime& now, ZoneEvents* events);
    quint32 setProgram(int controller, const QByteArray& content);
    // False for a controller the zone does not have.
    bool program(int controller, QByteArray* content) const;

    // Ends expired timeouts, then lets the calendars drive (when enabled).
    void tick(const QDateTime& now, ZoneEvents* events);

private:
    enum class Regime { Automatic, Operator, Local };

    struct AreaLive
    {
        int controlSource = Velmora::Protocol::NotControlled;
        int state = 0;
        int special = 0;
        bool held = false;   // an operator command is in force
        QDateTime heldUntil; // invalid: until changed
    };

    void resumeRegime(Regime regime, const QDateTime& until, int strategy, const QDateTime& now);
    void resumeArea(int area, const AreaLive& previous);
    void setZoneSource(int source, ZoneEvents* events);
    void setRegime(Regime regime, int timeout, const QDateTime& now);
    void applyStrategy(int strategy, const QDateTime& now, ZoneEvents* events);
    void updateArea(const AreaConfig& area, const AreaLive& next, ZoneEvents* events);
    void holdArea(const AreaConfig& area, int state, int special, int timeout,
                  const QDateTime& now, ZoneEvents* events);
    int automaticStrategy(const QDateTime& now) const;
    int strategySource(int area) const;
    // The area's calendar state when the calendar drives it, else -1.
    int calendarState(const AreaConfig& area, int source, const QDateTime& now) const;
    void expireTimeouts(const QDateTime& now, ZoneEvents* events);
    void driveCalendars(const QDateTime& now, ZoneEvents* events);

    const ZoneConfig* m_config;
    bool m_runCalendar;
    Regime m_regime = Regime::Automatic;
    QDateTime m_regimeUntil;
    int m_controlSource = Velmora::Protocol::Calendar;
    int m_strategy = -1;
    QHash<int, AreaLive> m_areas;
    QHash<int, QByteArray> m_programs;
};

} // namespace Service
