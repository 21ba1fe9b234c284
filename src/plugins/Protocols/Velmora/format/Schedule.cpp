#include "Schedule.h"

#include "Vocabulary.h"
#include "XmlText.h"

#include <algorithm>
#include <limits>

namespace Velmora {

namespace {

constexpr int MinutesPerDay = 24 * 60;

} // namespace

Schedule::Schedule(const QDomElement& calendar, const QString& targetAttribute)
    : m_attribute(targetAttribute)
{
    if (calendar.isNull())
        return;
    readDayCards(calendar);
    readSpecialDays(calendar);
    const QDomElement week = calendar.firstChildElement(Xml::WeekDistribution);
    m_week = Config::readWeek(Xml::firstText(week));
}

Schedule::Day Schedule::readEntries(const QDomElement& parent) const
{
    Day day;
    for (QDomElement e = parent.firstChildElement(Xml::Time); !e.isNull();
         e = e.nextSiblingElement(Xml::Time)) {
        Entry entry;
        entry.minute = Config::readTime(Xml::firstText(e));
        if (entry.minute < 0 || !Config::readId(e, m_attribute, &entry.target))
            continue;
        day.append(entry);
    }
    std::stable_sort(day.begin(), day.end(),
                     [](const Entry& a, const Entry& b) { return a.minute < b.minute; });
    return day;
}

void Schedule::readDayCards(const QDomElement& calendar)
{
    const QDomElement cards = calendar.firstChildElement(Xml::DayCards);
    for (QDomElement e = cards.firstChildElement(Xml::DayCard); !e.isNull();
         e = e.nextSiblingElement(Xml::DayCard)) {
        int id = Config::NoId;
        if (Config::readId(e, Xml::id, &id))
            Config::keepLater(&m_cards, id, readEntries(e));
    }
}

void Schedule::readSpecialDays(const QDomElement& calendar)
{
    const QDomElement days = calendar.firstChildElement(Xml::SpecialDays);
    for (QDomElement e = days.firstChildElement(Xml::SpecialDay); !e.isNull();
         e = e.nextSiblingElement(Xml::SpecialDay)) {
        SpecialDay special;
        if (!Config::readSpecialDay(e.attribute(Xml::day), &special.date))
            continue;
        special.entries = readEntries(e);
        m_specialDays.append(special);
    }
}

const Schedule::SpecialDay* Schedule::specialDayOn(const QDate& date) const
{
    const SpecialDay* yearly = nullptr;
    if (m_specialDays.isEmpty())
        return yearly;
    // Split once: each QDate accessor converts the day number again, and a
    // year's preview asks this for every day of every area.
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    for (const SpecialDay& special : m_specialDays) {
        if (special.date.day != day || special.date.month != month)
            continue;
        // A dated entry is more specific than a yearly one for the same day.
        if (special.date.year == year)
            return &special;
        if (special.date.year == 0 && !yearly)
            yearly = &special;
    }
    return yearly;
}

Schedule::Day Schedule::entriesOn(const QDate& date) const
{
    if (!date.isValid())
        return {};
    if (const SpecialDay* special = specialDayOn(date))
        return special->entries;
    const int card = m_week.at(date.dayOfWeek() - 1);
    return card == Config::NoId ? Day() : m_cards.value(card);
}

QVector<Schedule::Span> Schedule::spans(const QDate& first, const QDate& last) const
{
    QVector<Span> result;
    if (!first.isValid() || !last.isValid() || last < first)
        return result;
    const qint64 days = first.daysTo(last) + 1;
    if (days > std::numeric_limits<int>::max() / MinutesPerDay)
        return result; // minutes of the range would not fit an int
    // Appends [start, end) with target, merging with an equal predecessor.
    auto extend = [&result](int start, int end, int target) {
        if (start >= end)
            return;
        if (!result.isEmpty() && result.last().target == target)
            result.last().end = end;
        else
            result.append(Span{start, end, target});
    };
    Day previous = entriesOn(first.addDays(-1));
    int dayStart = 0;
    for (qint64 d = 0; d < days; ++d, dayStart += MinutesPerDay) {
        const Day today = entriesOn(first.addDays(d));
        // docs/schedule.md, rule 6: until today's first entry the previous day's last one runs.
        int target = previous.isEmpty() ? Config::NoId : previous.last().target;
        int from = 0;
        for (const Entry& entry : today) {
            extend(dayStart + from, dayStart + entry.minute, target);
            from = entry.minute;
            target = entry.target; // equal times: the last in file order stays
        }
        extend(dayStart + from, dayStart + MinutesPerDay, target);
        previous = today;
    }
    return result;
}

int Schedule::activeAt(const QDateTime& when) const
{
    if (!when.isValid())
        return Config::NoId;
    const QTime time = when.time();
    const int minute = time.hour() * 60 + time.minute();
    const Day today = entriesOn(when.date());
    if (!today.isEmpty() && today.first().minute <= minute) {
        const auto later = std::find_if(today.cbegin(), today.cend(),
                                        [minute](const Entry& entry) { return entry.minute > minute; });
        return (later - 1)->target;
    }
    // Before today's first entry the previous day's last one still runs.
    const Day yesterday = entriesOn(when.date().addDays(-1));
    return yesterday.isEmpty() ? Config::NoId : yesterday.last().target;
}

} // namespace Velmora
