#pragma once

#include <QDomElement>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Velmora {
namespace Diff {

// A day card's or special day's entries: start time and what it selects.
struct Entry
{
    QString time;
    QString target;
    bool operator==(const Entry& other) const { return time == other.time && target == other.target; }
};

// Reads the entries below `parent`; `attribute` names their targets.
QVector<Entry> entriesOf(const QDomElement& parent, const QString& attribute);

// Whose calendar: the zone's entries select strategies, an area's states.
struct CalendarLevel
{
    QString attribute;  // strategy_id or state_id
    QString targetWord; // strategy or state
};

// The changes of the calendar below `before` and `after`: day cards, week
// and special days, appended to `changes`.
void compareCalendar(const QDomElement& before, const QDomElement& after, const CalendarLevel& level,
                     QStringList* changes);

// What deleting `target` took with it: the day cards (and special days) of
// `oldOwner`'s calendar that selected it and no longer do in `newOwner`'s,
// as "its entries removed from ..."; empty when none.
QString entriesRemoved(const QDomElement& oldOwner, const QDomElement& newOwner, const CalendarLevel& level,
                       const QString& target);

} // namespace Diff
} // namespace Velmora
