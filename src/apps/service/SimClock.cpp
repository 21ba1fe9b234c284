#include "SimClock.h"

#include "semtra/Wire.h"

#include <cmath>

namespace Service {

SimClock::SimClock(const QDateTime& start, double speed)
    : m_start(start)
    , m_speed(speed)
{
    m_elapsed.start();
}

QDateTime SimClock::now() const
{
    const double ms = double(m_elapsed.elapsed()) * m_speed;
    return m_start.addMSecs(qint64(std::llround(ms)));
}

double SimClock::stamp() const
{
    return Semtra::Wire::dateTimeToDouble(now());
}

} // namespace Service
