#pragma once

#include <QHash>
#include <QVector>

#include "HistoryRecord.h"

namespace Velmora {

// A stretch of a recorded day: [start, end) in minutes after its midnight.
struct DayInterval
{
    int start = 0;
    int end = 0;
    int id = HistoryRecord::NoValue; // the strategy or state; NoValue: nothing recorded
    bool operator==(const DayInterval& other) const
    {
        return start == other.start && end == other.end && id == other.id;
    }
};
using DayTimeline = QVector<DayInterval>;

// What a zone ran over one day as recorded: its strategies and each area's
// states, minute by minute by the daily report's rule (a minute counts what
// was in force at its start), joined into intervals for drawing beside the plan.
class ActualDay
{
public:
    // start: the zone when the day began; changes: its State and FullState records of the day, in time order.
    static ActualDay compute(const ZoneMoment& start, const QVector<HistoryRecord>& changes, qint64 dayStartMs,
                             int minutes = 24 * 60);

    const DayTimeline& strategies() const { return m_strategies; }
    // Nothing recorded over the whole day for an area the history never saw.
    DayTimeline states(int area) const;

private:
    static void extend(DayTimeline* timeline, int minute, int id);

    int m_minutes = 0;
    DayTimeline m_strategies;
    QHash<int, DayTimeline> m_states;
};

} // namespace Velmora
