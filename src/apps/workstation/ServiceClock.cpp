#include "ServiceClock.h"

namespace Velmora {

void ServiceClock::observe(const QDateTime& stamp)
{
    if (!stamp.isValid())
        return;
    if (!isKnown()) {
        m_first = m_last = stamp;
        m_sinceFirst.start();
        m_lastAt = 0;
        return;
    }
    if (stamp <= m_last)
        return;
    m_last = stamp;
    m_lastAt = m_sinceFirst.elapsed();
}

void ServiceClock::reset()
{
    m_first = m_last = QDateTime();
    m_sinceFirst.invalidate();
    m_lastAt = 0;
}

bool ServiceClock::isKnown() const
{
    return m_last.isValid();
}

double ServiceClock::rate() const
{
    if (m_lastAt < MinimumSpanMs)
        return 1.0;
    return double(m_first.msecsTo(m_last)) / double(m_lastAt);
}

QDateTime ServiceClock::now() const
{
    if (!isKnown())
        return QDateTime();
    const qint64 sinceLast = m_sinceFirst.elapsed() - m_lastAt;
    return m_last.addMSecs(qint64(sinceLast * rate()));
}

} // namespace Velmora
