#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

namespace Service {

class Server;
class SimClock;
class ZoneModel;

// Ticks every zone against the service clock: ends timeouts and, with the
// calendar enabled, follows the zone and area calendars.
class CalendarDriver : public QObject
{
    Q_OBJECT

public:
    static constexpr int TickMs = 200;

    CalendarDriver(const QList<ZoneModel*>& zones, const SimClock& clock, Server& server,
                   QObject* parent = nullptr);
    void start();

private slots:
    void tick();

private:
    QList<ZoneModel*> m_zones;
    const SimClock& m_clock;
    Server& m_server;
    QTimer m_timer;
};

} // namespace Service
