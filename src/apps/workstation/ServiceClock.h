#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace Velmora {

// The service's time as its time stamps tell it (replies, events, the link's
// announcement): the latest stamp, moved on at the pace the stamps have kept
// since the first one, since a simulator may run its clock faster than real
// time. Unknown until a stamp comes.
class ServiceClock
{
public:
    // Stamps older than the time already known add nothing.
    void observe(const QDateTime& stamp);
    // The link is gone: the next stamps may come from another clock.
    void reset();
    bool isKnown() const;
    // Invalid while unknown.
    QDateTime now() const;
    // Service seconds per real second.
    double rate() const;

private:
    // Below this much real time between the first stamp and the last, the pace is taken as real time.
    static constexpr qint64 MinimumSpanMs = 1000;

    QDateTime m_first;
    QDateTime m_last;
    QElapsedTimer m_sinceFirst;
    qint64 m_lastAt = 0; // m_sinceFirst's reading when m_last came
};

} // namespace Velmora
