#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

#include "HistoryRecord.h"

namespace Velmora {

// What the calendar planned for each minute of one day: the caller computes
// it (the schedule preview), the history only compares.
struct DailyPlan
{
    qint64 dayStartMs = 0; // local midnight, as a service time stamp
    int minutes = 24 * 60;
    QVector<int> strategy;                   // per minute; NoValue: nothing planned
    QHash<int, QVector<int>> areaStates;     // area id -> planned state per minute
    QHash<int, QString> strategyNames;
    QHash<int, QString> areaNames;
    QHash<int, QHash<int, QString>> stateNames; // area id -> state id -> name
};

// Planned against actual for a zone and a day, minute by minute: each minute
// counts what was in force at its start.
class DailyReport
{
public:
    struct Tally
    {
        int id = HistoryRecord::NoValue;
        int actual = 0;
        int planned = 0;
    };
    struct Area
    {
        int id = 0;
        QMap<int, int> sourceMinutes; // control source -> minutes
        QVector<Tally> states;        // ascending id
        int differentMinutes = 0;     // minutes whose state was not the planned one
    };

    // start: the zone when the day began; changes: its State and FullState
    // records of the day; commands: its Command records of the day; all in time order.
    static DailyReport compute(const ZoneMoment& start, const QVector<HistoryRecord>& changes,
                               const QVector<HistoryRecord>& commands, const DailyPlan& plan);

    const QVector<Tally>& strategies() const { return m_strategies; }
    int strategyDifferentMinutes() const { return m_strategyDifferent; }
    const QVector<Area>& areas() const { return m_areas; }
    // The commands after which the zone left its plan: the last one before each departure.
    const QVector<HistoryRecord>& causes() const { return m_causes; }

    // A command's result code in the reader's words; the code itself without one.
    using ResultWords = std::function<QString(int code)>;
    QString text(const QString& title, const ResultWords& resultWords = {}) const;
    // Codes, not words: a command's result code stands in the id column.
    QString csv() const;

private:
    void countMinute(const ZoneMoment& moment, const DailyPlan& plan, int minute, bool* departs);

    DailyPlan m_plan;
    QVector<Tally> m_strategies;
    int m_strategyDifferent = 0;
    QVector<Area> m_areas;
    QVector<HistoryRecord> m_causes;
    QHash<int, bool> m_wasDifferent; // area (or ZoneItself) -> differed last minute
};

} // namespace Velmora
