#pragma once

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDomElement>
#include <QHash>
#include <QString>
#include <QVector>

#include "ConfigReader.h"
#include "XmlDocument.h"

namespace Velmora {

// One stretch of a plan: [start, end) in minutes after midnight of the
// preview's first day (wall-clock days of 1440 minutes).
struct PlanInterval
{
    int start = 0;
    int end = 0;
    int id = Config::NoId;      // the strategy, state or control source; NoId: no plan
    int missing = Config::NoId; // without plan: the strategy or state the calendar names but the file lacks

    bool hasPlan() const { return id != Config::NoId; }
    bool operator==(const PlanInterval& other) const
    {
        return start == other.start && end == other.end && id == other.id && missing == other.missing;
    }
};

// Intervals in time order that cover the whole range without gap or overlap;
// neighbours always differ in id or missing.
using PlanTimeline = QVector<PlanInterval>;

// What the calendars of a zone plan over a range of days (docs/schedule.md,
// "Preview"): the zone's strategies, each area's states, and the control source
// each strategy gives each area. Built from the configuration document once;
// later edits are not seen.
//
//     SchedulePreview preview(document.documentElement(), QDate(2027, 5, 3), QDate(2027, 5, 9));
//     for (const PlanInterval& i : preview.strategies())
//         ... preview.momentAt(i.start), i.id ...
//     QTextStream(stdout) << preview.renderTable();
//
// For long ranges ScheduleTable writes the same table without a preview of
// the whole range.
class SchedulePreview
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::SchedulePreview)

public:
    // Longest range a preview covers: ten years.
    static constexpr int MaxDays = 3660;
    static constexpr int MinutesPerDay = 24 * 60;

    struct Strategy
    {
        int id = -1;
        QString name;
        int line = 0;
        bool isDefault = false;          // marked default="1"/"true"
        QHash<int, int> areaSources;     // area id -> control_source, for the areas it lists
    };

    struct State
    {
        int id = -1;
        QString name;
    };

    struct Area
    {
        int id = -1;
        QString name;
        int line = 0;
        QVector<State> states; // file order as strategyList(); the first is the area's base state
        PlanTimeline plan;     // the states its calendar plans
    };

    SchedulePreview() = default;
    // zone: the document's root element. A null element, an invalid date, last
    // before first or more than MaxDays days give a null preview with an error().
    SchedulePreview(const QDomElement& zone, const QDate& first, const QDate& last);
    // The preview of a zone file, read in one streaming pass that keeps only
    // what the calendars need: a large file's outlines, controllers and state
    // settings are never held. A file that cannot be read gives a null
    // preview and the reason, worded and placed as Xml::readDocument gives it.
    static SchedulePreview fromFile(const QString& fileName, const QDate& first, const QDate& last,
                                    Xml::ReadError* error);
    // What the constructor refuses these arguments for; empty when it takes them.
    static QString rangeError(const QDomElement& zone, const QDate& first, const QDate& last);

    bool isNull() const { return m_first.isNull(); }
    // Why the preview is null; empty otherwise.
    QString error() const { return m_error; }

    int zoneId() const { return m_zoneId; }
    QString zoneName() const { return m_zoneName; }
    QDate firstDate() const { return m_first; }
    QDate lastDate() const { return m_last; }
    // Length of the range in minutes: the end of every timeline.
    int minutes() const;

    // The zone calendar's strategies.
    const PlanTimeline& strategies() const { return m_strategyPlan; }
    // The zone's strategies and areas in file order; of two with one id the
    // later counts, in the place of the first.
    const QVector<Strategy>& strategyList() const { return m_strategies.items(); }
    const QVector<Area>& areas() const { return m_areas.items(); }
    const Strategy* strategy(int id) const;
    const Area* area(int id) const;
    // The strategy marked default, else the first, else Config::NoId.
    int defaultStrategy() const;

    // The control source `strategyId` gives `areaId`: its control_source, 0
    // (not controlled) when the strategy does not list the area, -1 when there
    // is no such strategy.
    int controlSource(int strategyId, int areaId) const;
    // The area's control source over the range as the strategy plan gives it;
    // no plan where the zone has none.
    PlanTimeline controlSources(int areaId) const;

    // The moment a minute of the range stands for, as local time, UTC, ...
    // (in local time, a minute that a clock change skips is moved by Qt);
    // invalid outside [0, minutes()].
    QDateTime momentAt(int minute, Qt::TimeSpec spec = Qt::LocalTime) const;
    // The minute of the range that holds `when` (by its date and time of day,
    // seconds dropped); -1 outside the range.
    int minuteOf(const QDateTime& when) const;
    // The interval of `timeline` that holds `minute`, null when none does.
    static const PlanInterval* intervalAt(const PlanTimeline& timeline, int minute);

    // A plain-text table: the strategy plan, then per area its states and
    // control sources, one row per change. Times are "hh:mm" for a one-day
    // range ("24:00" for its end), else "yyyy-MM-dd hh:mm".
    QString renderTable() const;

    // What the table shows for an interval of the strategy plan ("3 Day",
    // "no plan (strategy 9 missing)"), of an area's plan, and for a control source.
    QString strategyText(const PlanInterval& interval) const;
    QString stateText(const Area& area, const PlanInterval& interval) const;
    static QString sourceText(int source);

    // "yyyy-MM-dd" or "yyyy-MM-dd..yyyy-MM-dd" as used by command lines.
    static bool parseRange(const QString& text, QDate* first, QDate* last);

private:
    void readStrategies(const QDomElement& zone);
    void readAreas(const QDomElement& zone);

    QDate m_first;
    QDate m_last;
    QString m_error;
    int m_zoneId = Config::NoId;
    QString m_zoneName;
    Config::IdList<Strategy> m_strategies;
    Config::IdList<Area> m_areas;
    PlanTimeline m_strategyPlan;
};

} // namespace Velmora
