#include "CalendarDriver.h"

#include "Server.h"
#include "SimClock.h"
#include "ZoneModel.h"

namespace Service {

CalendarDriver::CalendarDriver(const QList<ZoneModel*>& zones, const SimClock& clock,
                               Server& server, QObject* parent)
    : QObject(parent)
    , m_zones(zones)
    , m_clock(clock)
    , m_server(server)
{
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &CalendarDriver::tick);
}

void CalendarDriver::start()
{
    m_timer.start();
}

void CalendarDriver::tick()
{
    const QDateTime now = m_clock.now();
    for (ZoneModel* zone : qAsConst(m_zones)) {
        ZoneEvents events;
        zone->tick(now, &events);
        m_server.broadcast(zone->id(), events);
    }
}

} // namespace Service
