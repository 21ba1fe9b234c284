#include "DailyReport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <algorithm>

namespace Velmora {

namespace {

constexpr qint64 MinuteMs = 60 * 1000;

QString tr(const char* text)
{
    return QCoreApplication::translate("DailyReport", text);
}

DailyReport::Tally* tally(QVector<DailyReport::Tally>* tallies, int id)
{
    auto it = std::lower_bound(tallies->begin(), tallies->end(), id,
                               [](const DailyReport::Tally& t, int value) { return t.id < value; });
    if (it == tallies->end() || it->id != id)
        it = tallies->insert(it, DailyReport::Tally{id, 0, 0});
    return &*it;
}

int plannedAt(const QVector<int>& plan, int minute)
{
    return minute < plan.size() ? plan.at(minute) : HistoryRecord::NoValue;
}

QString named(int id, const QString& name)
{
    if (id == HistoryRecord::NoValue)
        return tr("none");
    return name.isEmpty() ? QString::number(id) : QStringLiteral("%1 \"%2\"").arg(id).arg(name);
}

QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString timeOf(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

QString commandText(const HistoryRecord& command, const DailyReport::ResultWords& resultWords)
{
    // The first versions kept the result in words, in the detail.
    if (command.code == HistoryRecord::NoValue)
        return command.detail;
    if (command.code == HistoryRecord::NoReply)
        return tr("%1 → no result").arg(command.detail);
    return tr("%1 → %2").arg(command.detail, resultWords ? resultWords(command.code) : tr("result %1").arg(command.code));
}

} // namespace

DailyReport DailyReport::compute(const ZoneMoment& start, const QVector<HistoryRecord>& changes,
                                 const QVector<HistoryRecord>& commands, const DailyPlan& plan)
{
    DailyReport report;
    report.m_plan = plan;
    for (auto it = plan.areaStates.cbegin(); it != plan.areaStates.cend(); ++it)
        report.m_areas.append(Area{it.key(), {}, {}, 0});
    for (const AreaMoment& area : start.areas) {
        if (!plan.areaStates.contains(area.id))
            report.m_areas.append(Area{area.id, {}, {}, 0});
    }
    std::sort(report.m_areas.begin(), report.m_areas.end(), [](const Area& a, const Area& b) { return a.id < b.id; });

    ZoneMoment moment = start;
    int next = 0;
    int nextCommand = 0;
    const HistoryRecord* lastCommand = nullptr;
    for (int minute = 0; minute < plan.minutes; ++minute) {
        const qint64 at = plan.dayStartMs + minute * MinuteMs;
        while (next < changes.size() && changes.at(next).serviceMs <= at)
            moment.apply(changes.at(next++));
        while (nextCommand < commands.size() && commands.at(nextCommand).serviceMs <= at)
            lastCommand = &commands.at(nextCommand++);
        bool departs = false;
        report.countMinute(moment, plan, minute, &departs);
        if (departs && lastCommand
            && (report.m_causes.isEmpty() || report.m_causes.constLast().serviceMs != lastCommand->serviceMs))
            report.m_causes.append(*lastCommand);
    }
    return report;
}

void DailyReport::countMinute(const ZoneMoment& moment, const DailyPlan& plan, int minute, bool* departs)
{
    const int plannedStrategy = plannedAt(plan.strategy, minute);
    if (moment.known)
        ++tally(&m_strategies, moment.strategy)->actual;
    if (plannedStrategy != HistoryRecord::NoValue)
        ++tally(&m_strategies, plannedStrategy)->planned;
    const bool strategyDiffers = moment.known && plannedStrategy != HistoryRecord::NoValue
        && moment.strategy != plannedStrategy;
    m_strategyDifferent += strategyDiffers ? 1 : 0;
    *departs = strategyDiffers && !m_wasDifferent.value(HistoryRecord::ZoneItself);
    m_wasDifferent[HistoryRecord::ZoneItself] = strategyDiffers;

    for (Area& area : m_areas) {
        const AreaMoment* actual = moment.area(area.id);
        const int planned = plannedAt(plan.areaStates.value(area.id), minute);
        if (actual)
            ++area.sourceMinutes[actual->controlSource];
        if (actual)
            ++tally(&area.states, actual->state)->actual;
        if (planned != HistoryRecord::NoValue)
            ++tally(&area.states, planned)->planned;
        const bool differs = actual && planned != HistoryRecord::NoValue && actual->state != planned;
        area.differentMinutes += differs ? 1 : 0;
        if (differs && !m_wasDifferent.value(area.id))
            *departs = true;
        m_wasDifferent[area.id] = differs;
    }
}

QString DailyReport::text(const QString& title, const ResultWords& resultWords) const
{
    QStringList lines{title, tr("Strategies (minutes actual / planned):")};
    for (const Tally& t : m_strategies)
        lines << QStringLiteral("  %1: %2 / %3").arg(named(t.id, m_plan.strategyNames.value(t.id))).arg(t.actual).arg(t.planned);
    lines << tr("  off plan: %1 minutes").arg(m_strategyDifferent);
    for (const Area& area : m_areas) {
        lines << tr("Area %1:").arg(named(area.id, m_plan.areaNames.value(area.id)));
        QStringList sources;
        for (auto it = area.sourceMinutes.cbegin(); it != area.sourceMinutes.cend(); ++it)
            sources << tr("%1: %2").arg(it.key()).arg(it.value());
        lines << tr("  minutes under each control source: %1").arg(sources.isEmpty() ? tr("none") : sources.join(QLatin1String(", ")));
        for (const Tally& t : area.states) {
            lines << tr("  state %1: %2 / %3")
                         .arg(named(t.id, m_plan.stateNames.value(area.id).value(t.id)))
                         .arg(t.actual)
                         .arg(t.planned);
        }
        lines << tr("  off plan: %1 minutes").arg(area.differentMinutes);
    }
    lines << tr("Commands after which the zone left its plan:");
    if (m_causes.isEmpty())
        lines << tr("  none");
    for (const HistoryRecord& command : m_causes)
        lines << tr("  %1 %2@%3: %4").arg(timeOf(command.serviceMs), command.user, command.host, commandText(command, resultWords));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString DailyReport::csv() const
{
    QStringList lines{QStringLiteral("section,area,id,actual_minutes,planned_minutes,time,user,host,detail")};
    for (const Tally& t : m_strategies)
        lines << QStringLiteral("strategy,,%1,%2,%3,,,,").arg(t.id).arg(t.actual).arg(t.planned);
    lines << QStringLiteral("strategy_off_plan,,,%1,,,,,").arg(m_strategyDifferent);
    for (const Area& area : m_areas) {
        for (auto it = area.sourceMinutes.cbegin(); it != area.sourceMinutes.cend(); ++it)
            lines << QStringLiteral("control_source,%1,%2,%3,,,,,").arg(area.id).arg(it.key()).arg(it.value());
        for (const Tally& t : area.states)
            lines << QStringLiteral("state,%1,%2,%3,%4,,,,").arg(area.id).arg(t.id).arg(t.actual).arg(t.planned);
        lines << QStringLiteral("state_off_plan,%1,,%2,,,,,").arg(area.id).arg(area.differentMinutes);
    }
    for (const HistoryRecord& command : m_causes) {
        const QString code = command.code == HistoryRecord::NoValue ? QString() : QString::number(command.code);
        lines << QStringLiteral("command,,%1,,,%2,%3,%4,%5")
                     .arg(code, QDateTime::fromMSecsSinceEpoch(command.serviceMs).toString(Qt::ISODate),
                          csvField(command.user), csvField(command.host), csvField(command.detail));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace Velmora
