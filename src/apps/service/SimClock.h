#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace Service {

// The service's notion of now: a start moment advanced `speed` times faster
// than real time, so a day of calendar can pass in minutes.
class SimClock
{
public:
    SimClock(const QDateTime& start, double speed);

    QDateTime now() const;
    // now() as a protocol time stamp.
    double stamp() const;

private:
    QDateTime m_start;
    double m_speed;
    QElapsedTimer m_elapsed;
};

} // namespace Service
