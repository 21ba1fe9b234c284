#include "CalendarDiff.h"

#include "ConfigDiff.h"
#include "DiffWords.h"
#include "KeyedChildren.h"
#include "Vocabulary.h"
#include "XmlText.h"

namespace Velmora {
namespace Diff {

namespace {

// How one list of entries became another: times and targets changed in place
// where the count stayed, else entries added and removed.
QStringList entryChanges(const QVector<Entry>& before, const QVector<Entry>& after, const QString& targetWord)
{
    const auto text = [&targetWord](const Entry& e) { return e.time + QLatin1Char(' ') + targetWord + QLatin1Char(' ') + e.target; };
    QStringList changes;
    if (before.size() == after.size()) {
        for (int i = 0; i < before.size(); ++i) {
            const Entry& b = before.at(i);
            const Entry& a = after.at(i);
            if (b == a)
                continue;
            if (b.target == a.target)
                changes << change(b.time, a.time);
            else if (b.time == a.time)
                changes << b.time + QLatin1Char(' ') + change(targetWord + QLatin1Char(' ') + b.target, a.target);
            else
                changes << change(text(b), text(a));
        }
        return changes;
    }
    for (const Entry& e : before)
        if (!after.contains(e))
            changes << ConfigDiff::tr("%1 removed").arg(text(e));
    for (const Entry& e : after)
        if (!before.contains(e))
            changes << ConfigDiff::tr("%1 added").arg(text(e));
    return changes;
}

void compareDayCards(const QDomElement& before, const QDomElement& after, const CalendarLevel& level,
                     QStringList* changes)
{
    const KeyedChildren old(before.firstChildElement(Xml::DayCards), Xml::DayCard);
    const KeyedChildren now(after.firstChildElement(Xml::DayCards), Xml::DayCard);
    for (const QString& id : unionOfKeys(old, now)) {
        if (!now.contains(id)) {
            *changes << ConfigDiff::tr("day card %1 deleted").arg(id);
        } else if (!old.contains(id)) {
            *changes << ConfigDiff::tr("day card %1 added").arg(id);
        } else {
            const QStringList entries = entryChanges(entriesOf(old.find(id), level.attribute),
                                                     entriesOf(now.find(id), level.attribute), level.targetWord);
            if (!entries.isEmpty())
                *changes << ConfigDiff::tr("day card %1: %2").arg(id, entries.join(QStringLiteral(", ")));
        }
    }
}

void compareWeek(const QDomElement& before, const QDomElement& after, QStringList* changes)
{
    const QString oldText = Xml::firstText(before.firstChildElement(Xml::WeekDistribution)).trimmed();
    const QString newText = Xml::firstText(after.firstChildElement(Xml::WeekDistribution)).trimmed();
    if (oldText == newText)
        return;
    const QStringList oldDays = oldText.split(QLatin1Char(','));
    const QStringList newDays = newText.split(QLatin1Char(','));
    if (oldDays.size() != 7 || newDays.size() != 7) {
        *changes << ConfigDiff::tr("week %1").arg(change(quoted(oldText), quoted(newText)));
        return;
    }
    for (int day = 0; day < 7; ++day) {
        const QString from = oldDays.at(day).trimmed();
        const QString to = newDays.at(day).trimmed();
        if (from == to)
            continue;
        // "day card 1 → 2", "none → day card 2", "day card 1 → none"
        const QString none = ConfigDiff::tr("none");
        const QString card = ConfigDiff::tr("day card %1");
        const QString text = from.isEmpty() ? change(none, card.arg(to))
            : to.isEmpty()                  ? change(card.arg(from), none)
                                            : card.arg(change(from, to));
        *changes << weekdayName(day) + QStringLiteral(": ") + text;
    }
}

void compareSpecialDays(const QDomElement& before, const QDomElement& after, QStringList* changes)
{
    const KeyedChildren old(before.firstChildElement(Xml::SpecialDays), Xml::SpecialDay, Xml::day);
    const KeyedChildren now(after.firstChildElement(Xml::SpecialDays), Xml::SpecialDay, Xml::day);
    for (const QString& day : unionOfKeys(old, now)) {
        if (!now.contains(day)) {
            *changes << ConfigDiff::tr("special day %1 deleted").arg(day);
        } else if (!old.contains(day)) {
            *changes << ConfigDiff::tr("special day %1 added").arg(day);
        } else {
            const QStringList entries = entryChanges(entriesOf(old.find(day), Xml::state_id),
                                                     entriesOf(now.find(day), Xml::state_id), ConfigDiff::tr("state"));
            if (!entries.isEmpty())
                *changes << ConfigDiff::tr("special day %1: %2").arg(day, entries.join(QStringLiteral(", ")));
        }
    }
}

} // namespace

QVector<Entry> entriesOf(const QDomElement& parent, const QString& attribute)
{
    QVector<Entry> entries;
    for (QDomElement e = parent.firstChildElement(Xml::Time); !e.isNull(); e = e.nextSiblingElement(Xml::Time))
        entries.append(Entry{Xml::firstText(e).trimmed(), e.attribute(attribute)});
    return entries;
}

void compareCalendar(const QDomElement& before, const QDomElement& after, const CalendarLevel& level,
                     QStringList* changes)
{
    const QDomElement oldCalendar = before.firstChildElement(Xml::Calendar);
    const QDomElement newCalendar = after.firstChildElement(Xml::Calendar);
    compareDayCards(oldCalendar, newCalendar, level, changes);
    compareWeek(oldCalendar, newCalendar, changes);
    compareSpecialDays(oldCalendar, newCalendar, changes);
}

QString entriesRemoved(const QDomElement& oldOwner, const QDomElement& newOwner, const CalendarLevel& level,
                       const QString& target)
{
    const auto selects = [&](const QDomElement& parent) {
        for (const Entry& e : entriesOf(parent, level.attribute))
            if (e.target == target)
                return true;
        return false;
    };
    QStringList cards;
    const KeyedChildren oldCards(oldOwner.firstChildElement(Xml::Calendar).firstChildElement(Xml::DayCards), Xml::DayCard);
    const KeyedChildren newCards(newOwner.firstChildElement(Xml::Calendar).firstChildElement(Xml::DayCards), Xml::DayCard);
    for (const QString& id : oldCards.keys())
        if (selects(oldCards.find(id)) && !selects(newCards.find(id)))
            cards << id;
    QStringList days;
    const KeyedChildren oldDays(oldOwner.firstChildElement(Xml::Calendar).firstChildElement(Xml::SpecialDays), Xml::SpecialDay, Xml::day);
    const KeyedChildren newDays(newOwner.firstChildElement(Xml::Calendar).firstChildElement(Xml::SpecialDays), Xml::SpecialDay, Xml::day);
    for (const QString& day : oldDays.keys())
        if (selects(oldDays.find(day)) && !selects(newDays.find(day)))
            days << day;
    QStringList parts;
    if (!cards.isEmpty())
        parts << counted(ConfigDiff::tr("day card %1"), ConfigDiff::tr("day cards %1"), cards);
    if (!days.isEmpty())
        parts << counted(ConfigDiff::tr("special day %1"), ConfigDiff::tr("special days %1"), days);
    return parts.isEmpty() ? QString() : ConfigDiff::tr("its entries removed from %1").arg(parts.join(QStringLiteral(", ")));
}

} // namespace Diff
} // namespace Velmora
