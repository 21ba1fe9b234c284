#include "ActualDay.h"

namespace Velmora {

namespace {

constexpr qint64 MinuteMs = 60 * 1000;

} // namespace

void ActualDay::extend(DayTimeline* timeline, int minute, int id)
{
    if (!timeline->isEmpty() && timeline->last().id == id && timeline->last().end == minute)
        timeline->last().end = minute + 1;
    else
        timeline->append(DayInterval{minute, minute + 1, id});
}

ActualDay ActualDay::compute(const ZoneMoment& start, const QVector<HistoryRecord>& changes, qint64 dayStartMs,
                             int minutes)
{
    ActualDay day;
    day.m_minutes = minutes;
    ZoneMoment moment = start;
    int next = 0;
    for (int minute = 0; minute < minutes; ++minute) {
        const qint64 at = dayStartMs + minute * MinuteMs;
        while (next < changes.size() && changes.at(next).serviceMs <= at)
            moment.apply(changes.at(next++));
        extend(&day.m_strategies, minute, moment.known ? moment.strategy : HistoryRecord::NoValue);
        for (const AreaMoment& area : qAsConst(moment.areas)) {
            DayTimeline& states = day.m_states[area.id];
            // An area first seen during the day had nothing recorded before.
            if (states.isEmpty() && minute > 0)
                states.append(DayInterval{0, minute, HistoryRecord::NoValue});
            extend(&states, minute, area.state);
        }
    }
    return day;
}

DayTimeline ActualDay::states(int area) const
{
    const auto it = m_states.constFind(area);
    if (it != m_states.constEnd())
        return *it;
    return m_minutes > 0 ? DayTimeline{DayInterval{0, m_minutes, HistoryRecord::NoValue}} : DayTimeline();
}

} // namespace Velmora
