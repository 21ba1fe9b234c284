#pragma once

#include <QDateTime>
#include <QDomElement>
#include <QHash>
#include <QString>
#include <QVector>

#include "ConfigReader.h"

namespace Velmora {

// Evaluates a zone or area Calendar element (docs/schedule.md): which strategy
// or state is active at a given moment. The element is read once; later edits
// of the document are not seen.
class Schedule
{
public:
    // Start of an entry in minutes after midnight, and the id it selects.
    struct Entry
    {
        int minute = 0;
        int target = Config::NoId;
    };
    using Day = QVector<Entry>; // sorted by minute; equal times keep file order

    // A run of one active id over whole minutes, counted from midnight of the
    // first day asked for: [start, end).
    struct Span
    {
        int start = 0;
        int end = 0;
        int target = Config::NoId; // NoId: nothing active
    };

    Schedule() = default;
    // targetAttribute: "strategy_id" for the zone calendar, "state_id" for areas.
    Schedule(const QDomElement& calendar, const QString& targetAttribute);

    // The active id, or Config::NoId when no entry applies.
    int activeAt(const QDateTime& when) const;

    // The entries that apply on a date: a matching special day, else the day
    // card of the week distribution; empty when neither gives one.
    Day entriesOn(const QDate& date) const;

    // What activeAt gives at every minute of the days first..last (both
    // included, wall-clock days of 1440 minutes), as spans that cover them
    // without gap; neighbouring spans have different targets. Empty when a
    // date is invalid or last is before first.
    QVector<Span> spans(const QDate& first, const QDate& last) const;

private:
    struct SpecialDay
    {
        Config::SpecialDate date;
        Day entries;
    };

    Day readEntries(const QDomElement& parent) const;
    void readDayCards(const QDomElement& calendar);
    void readSpecialDays(const QDomElement& calendar);
    const SpecialDay* specialDayOn(const QDate& date) const;

    QString m_attribute;
    QHash<int, Day> m_cards;
    QVector<int> m_week = QVector<int>(Config::DaysPerWeek, Config::NoId);
    QVector<SpecialDay> m_specialDays;
};

} // namespace Velmora
