#include "CalendarCheck.h"

#include "CheckContext.h"
#include "ConfigReader.h"
#include "Vocabulary.h"
#include "XmlText.h"

#include <QHash>
#include <QStringList>

namespace Velmora {

void CalendarCheck::check(const QDomElement& owner, const Level& level)
{
    const QDomElement calendar = owner.firstChildElement(Xml::Calendar);
    if (calendar.isNull()) {
        m_context->warning(owner, CheckKind::NoCalendar,
                           tr("There is no calendar for %1, so nothing is ever planned for it.").arg(level.owner));
        return;
    }
    QSet<int> cards;
    QHash<int, int> seen;
    const QDomElement list = calendar.firstChildElement(Xml::DayCards);
    for (QDomElement e = list.firstChildElement(Xml::DayCard); !e.isNull(); e = e.nextSiblingElement(Xml::DayCard)) {
        int id = Config::NoId;
        const bool hasId = m_context->requireId(e, &id);
        const QString card = hasId ? tr("Day card %1 of %2").arg(Config::idText(id), level.owner)
                                   : tr("A day card of %1").arg(level.owner);
        if (hasId) {
            m_context->unique(&seen, id, e, [&card] { return card; });
            cards.insert(id);
        }
        entries(e, card, level);
    }
    week(calendar, cards, level);
    specialDays(calendar, level);
}

void CalendarCheck::entries(const QDomElement& parent, const QString& what, const Level& level)
{
    for (QDomElement e = parent.firstChildElement(Xml::Time); !e.isNull(); e = e.nextSiblingElement(Xml::Time)) {
        const QString time = Xml::firstText(e);
        if (Config::readTime(time) < 0)
            m_context->error(e, CheckKind::BadTime,
                             tr("%1 has an entry starting at \"%2\", which is no time from 00:00 to 23:59 (hh:mm); "
                                "the entry is ignored.")
                                 .arg(what, time));
        int target = Config::NoId;
        if (!Config::readId(e, level.attribute, &target)) {
            m_context->error(e, CheckKind::BadTarget,
                             tr("%1 has an entry without a valid %2; the entry is ignored.").arg(what, level.attribute));
        } else if (!level.targets->contains(target)) {
            if (level.isZone)
                m_context->error(e, level.unknownKind,
                                 tr("%1 names strategy %2, which the zone does not have.")
                                     .arg(what, Config::idText(target)));
            else
                m_context->error(e, level.unknownKind,
                                 tr("%1 names state %2, which %3 does not have.")
                                     .arg(what, Config::idText(target), level.owner));
        }
    }
}

void CalendarCheck::week(const QDomElement& calendar, const QSet<int>& cards, const Level& level)
{
    const QDomElement week = calendar.firstChildElement(Xml::WeekDistribution);
    if (week.isNull()) {
        m_context->warning(calendar, CheckKind::NoWeek,
                           tr("The calendar of %1 has no week distribution, so no day gets a day card.")
                               .arg(level.owner));
        return;
    }
    const QString text = Xml::firstText(week);
    // What the editors write for a new calendar: incomplete, not broken.
    if (text.trimmed().isEmpty()) {
        m_context->warning(week, CheckKind::WeekEmptyDay,
                           tr("The week distribution of %1 is empty, so no day gets a day card.").arg(level.owner));
        return;
    }
    const QStringList fields = Config::weekFields(text);
    if (fields.size() != Config::DaysPerWeek) {
        m_context->error(week, CheckKind::WeekFields,
                         tr("The week distribution of %1 needs seven fields, Monday first, separated by commas; "
                            "it has %2.")
                             .arg(level.owner)
                             .arg(fields.size()));
        return;
    }
    weekFields(week, fields, cards, level);
}

void CalendarCheck::weekFields(const QDomElement& week, const QStringList& fields, const QSet<int>& cards,
                               const Level& level)
{
    QStringList empty;
    for (int day = 0; day < Config::DaysPerWeek; ++day) {
        const QString field = fields.at(day).trimmed();
        int card = Config::NoId;
        if (field.isEmpty())
            empty << weekdayName(day);
        else if (!Config::readId(field, &card))
            m_context->error(week, CheckKind::WeekBadField,
                             tr("The week distribution of %1 gives \"%2\" for %3, which is not a day card id.")
                                 .arg(level.owner, field, weekdayName(day)));
        else if (!cards.contains(card))
            m_context->error(
                week, CheckKind::UnknownDayCard,
                tr("The week distribution of %1 names day card %2 for %3, which the calendar does not have.")
                    .arg(level.owner, Config::idText(card), weekdayName(day)));
    }
    if (!empty.isEmpty())
        m_context->warning(week, CheckKind::WeekEmptyDay,
                           tr("The week distribution of %1 leaves %2 without a day card.")
                               .arg(level.owner, empty.join(QStringLiteral(", "))));
}

void CalendarCheck::specialDays(const QDomElement& calendar, const Level& level)
{
    const QDomElement list = calendar.firstChildElement(Xml::SpecialDays);
    QHash<int, int> ids;
    QHash<QString, int> dates; // normalised date -> line of its first special day
    for (QDomElement e = list.firstChildElement(Xml::SpecialDay); !e.isNull();
         e = e.nextSiblingElement(Xml::SpecialDay)) {
        // The id is optional; when present it must be one.
        int id = Config::NoId;
        if (!e.attribute(Xml::id).isEmpty() && m_context->requireId(e, &id))
            m_context->unique(&ids, id, e, [&] { return tr("Special day %1 of %2").arg(Config::idText(id), level.owner); });
        const QString text = e.attribute(Xml::day);
        const QString what = tr("Special day %1 of %2").arg(text.trimmed(), level.owner);
        Config::SpecialDate date;
        if (!Config::readSpecialDay(text, &date)) {
            m_context->error(e, CheckKind::BadDate,
                             tr("Special day \"%1\" of %2 is no valid date (dd.MM or dd.MM.yyyy); it never applies.")
                                 .arg(text, level.owner));
        } else {
            const QString key = QStringLiteral("%1.%2.%3").arg(date.day).arg(date.month).arg(date.year);
            const auto it = dates.constFind(key);
            if (it != dates.cend())
                m_context->warning(e, CheckKind::DuplicateDay,
                                   tr("%1 repeats the one on line %2; only the first applies.").arg(what).arg(*it));
            else
                dates.insert(key, e.lineNumber());
        }
        entries(e, what, level);
    }
}

QString CalendarCheck::weekdayName(int index)
{
    switch (index) {
    case 0: return tr("Monday");
    case 1: return tr("Tuesday");
    case 2: return tr("Wednesday");
    case 3: return tr("Thursday");
    case 4: return tr("Friday");
    case 5: return tr("Saturday");
    default: return tr("Sunday");
    }
}

} // namespace Velmora
