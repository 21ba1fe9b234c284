#include "SchedulePreview.h"

#include "Schedule.h"
#include "Vocabulary.h"

#include <QStringList>

#include <algorithm>

namespace Velmora {

namespace {

// The calendar's spans with every target the file lacks turned into "no plan".
template<typename Exists>
PlanTimeline planOf(const Schedule& schedule, const QDate& first, const QDate& last, Exists exists)
{
    const QVector<Schedule::Span> spans = schedule.spans(first, last);
    PlanTimeline plan;
    plan.reserve(spans.size());
    for (const Schedule::Span& span : spans) {
        PlanInterval interval;
        interval.start = span.start;
        interval.end = span.end;
        if (span.target != Config::NoId) {
            if (exists(span.target))
                interval.id = span.target;
            else
                interval.missing = span.target;
        }
        // Spans differ from their neighbours in target, so intervals do too.
        plan.append(interval);
    }
    return plan;
}

// Columns padded to their widest cell, two blanks apart, indented by two.
QString tableText(const QVector<QStringList>& rows)
{
    QVector<int> widths;
    for (const QStringList& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (int i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row.at(i).size());
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line = QStringLiteral("  ");
        for (int i = 0; i < row.size(); ++i) {
            line += i + 1 < row.size() ? row.at(i).leftJustified(widths.at(i)) + QStringLiteral("  ")
                                       : row.at(i);
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

} // namespace

SchedulePreview::SchedulePreview(const QDomElement& zone, const QDate& first, const QDate& last)
{
    if (zone.isNull()) {
        m_error = tr("There is no zone element.");
        return;
    }
    if (!first.isValid() || !last.isValid() || last < first) {
        m_error = tr("The range of days is not valid.");
        return;
    }
    if (first.daysTo(last) >= MaxDays) {
        m_error = tr("A preview covers at most %1 days.").arg(MaxDays);
        return;
    }
    m_first = first;
    m_last = last;
    Config::readId(zone, Xml::id, &m_zoneId);
    m_zoneName = zone.attribute(Xml::name);
    readStrategies(zone);
    readAreas(zone);

    const Schedule calendar(zone.firstChildElement(Xml::Calendar), Xml::strategy_id);
    m_strategyPlan = planOf(calendar, first, last,
                            [this](int id) { return m_strategies.contains(id); });
}

void SchedulePreview::readStrategies(const QDomElement& zone)
{
    const QDomElement list = zone.firstChildElement(Xml::Strategies);
    for (QDomElement e = list.firstChildElement(Xml::Strategy); !e.isNull();
         e = e.nextSiblingElement(Xml::Strategy)) {
        Strategy strategy;
        if (!Config::readId(e, Xml::id, &strategy.id))
            continue;
        strategy.name = e.attribute(Xml::name);
        strategy.line = e.lineNumber();
        strategy.isDefault = Config::isDefault(e);
        for (QDomElement a = e.firstChildElement(Xml::Area); !a.isNull();
             a = a.nextSiblingElement(Xml::Area)) {
            int area = Config::NoId;
            int source = -1;
            if (Config::readId(a, Xml::id, &area) && Config::readId(a, Xml::control_source, &source))
                Config::keepLater(&strategy.areaSources, area, source);
        }
        m_strategies.add(strategy.id, strategy);
    }
}

void SchedulePreview::readAreas(const QDomElement& zone)
{
    const QDomElement list = zone.firstChildElement(Xml::Areas);
    for (QDomElement e = list.firstChildElement(Xml::Area); !e.isNull();
         e = e.nextSiblingElement(Xml::Area)) {
        Area area;
        if (!Config::readId(e, Xml::id, &area.id))
            continue;
        area.name = e.attribute(Xml::name);
        area.line = e.lineNumber();
        const QDomElement list = e.firstChildElement(Xml::States);
        Config::IdList<State> states;
        for (QDomElement s = list.firstChildElement(Xml::State); !s.isNull();
             s = s.nextSiblingElement(Xml::State)) {
            State state;
            if (Config::readId(s, Xml::id, &state.id)) {
                state.name = s.attribute(Xml::name);
                states.add(state.id, state);
            }
        }
        area.states = states.items();
        const Schedule calendar(e.firstChildElement(Xml::Calendar), Xml::state_id);
        area.plan = planOf(calendar, m_first, m_last, [&states](int id) { return states.contains(id); });
        m_areas.add(area.id, area);
    }
}

int SchedulePreview::minutes() const
{
    return isNull() ? 0 : int(m_first.daysTo(m_last) + 1) * MinutesPerDay;
}

const SchedulePreview::Strategy* SchedulePreview::strategy(int id) const
{
    return m_strategies.find(id);
}

const SchedulePreview::Area* SchedulePreview::area(int id) const
{
    return m_areas.find(id);
}

int SchedulePreview::defaultStrategy() const
{
    return Config::defaultStrategy(m_strategies);
}

int SchedulePreview::controlSource(int strategyId, int areaId) const
{
    const Strategy* s = strategy(strategyId);
    // 0: the protocol's "not controlled" for an area a strategy leaves out.
    return s ? s->areaSources.value(areaId, 0) : -1;
}

PlanTimeline SchedulePreview::controlSources(int areaId) const
{
    PlanTimeline sources;
    for (const PlanInterval& interval : m_strategyPlan) {
        const int source = interval.hasPlan() ? controlSource(interval.id, areaId) : -1;
        // Strategies that give the area the same source make one interval.
        if (!sources.isEmpty() && sources.last().id == source)
            sources.last().end = interval.end;
        else
            sources.append(PlanInterval{interval.start, interval.end, source, Config::NoId});
    }
    return sources;
}

QDateTime SchedulePreview::momentAt(int minute, Qt::TimeSpec spec) const
{
    if (isNull() || minute < 0 || minute > minutes())
        return {};
    const QDate date = m_first.addDays(minute / MinutesPerDay);
    const int inDay = minute % MinutesPerDay;
    return QDateTime(date, QTime(inDay / 60, inDay % 60), spec);
}

int SchedulePreview::minuteOf(const QDateTime& when) const
{
    if (isNull() || !when.isValid())
        return -1;
    const QDate date = when.date();
    if (date < m_first || date > m_last)
        return -1;
    const QTime time = when.time();
    return int(m_first.daysTo(date)) * MinutesPerDay + time.hour() * 60 + time.minute();
}

const PlanInterval* SchedulePreview::intervalAt(const PlanTimeline& timeline, int minute)
{
    // The first interval that ends after the minute, if it has begun.
    const auto it = std::upper_bound(timeline.cbegin(), timeline.cend(), minute,
                                     [](int m, const PlanInterval& i) { return m < i.end; });
    return it != timeline.cend() && it->start <= minute ? &*it : nullptr;
}

bool SchedulePreview::parseRange(const QString& text, QDate* first, QDate* last)
{
    const QStringList parts = text.trimmed().split(QStringLiteral(".."));
    if (parts.size() > 2)
        return false;
    const QString format = QStringLiteral("yyyy-MM-dd");
    const QDate from = QDate::fromString(parts.first().trimmed(), format);
    const QDate to = parts.size() == 2 ? QDate::fromString(parts.last().trimmed(), format) : from;
    if (!from.isValid() || !to.isValid() || to < from)
        return false;
    *first = from;
    *last = to;
    return true;
}

QString SchedulePreview::timeText(int minute) const
{
    const bool oneDay = m_first == m_last;
    if (oneDay && minute == MinutesPerDay)
        return QStringLiteral("24:00");
    // UTC only for formatting: a local moment that a clock change skips
    // would print as another time.
    const QDateTime moment = momentAt(minute, Qt::UTC);
    return moment.toString(oneDay ? QStringLiteral("hh:mm") : QStringLiteral("yyyy-MM-dd hh:mm"));
}

QString SchedulePreview::strategyText(const PlanInterval& interval) const
{
    if (interval.hasPlan()) {
        const Strategy* s = strategy(interval.id);
        return s && !s->name.isEmpty() ? QStringLiteral("%1 %2").arg(Config::idText(interval.id), s->name)
                                       : Config::idText(interval.id);
    }
    if (interval.missing != Config::NoId)
        return tr("no plan (strategy %1 missing)").arg(Config::idText(interval.missing));
    return tr("no plan");
}

QString SchedulePreview::stateText(const Area& area, const PlanInterval& interval) const
{
    if (interval.hasPlan()) {
        for (const State& state : area.states) {
            if (state.id == interval.id && !state.name.isEmpty())
                return QStringLiteral("%1 %2").arg(Config::idText(state.id), state.name);
        }
        return Config::idText(interval.id);
    }
    if (interval.missing != Config::NoId)
        return tr("no plan (state %1 missing)").arg(Config::idText(interval.missing));
    return tr("no plan");
}

namespace {

QString sourceText(int source)
{
    switch (source) {
    case -1: return SchedulePreview::tr("no plan");
    case 0: return SchedulePreview::tr("0 not controlled");
    case 1: return SchedulePreview::tr("1 calendar");
    case 2: return SchedulePreview::tr("2 adaptive");
    case 3: return SchedulePreview::tr("3 local");
    default: return QString::number(source);
    }
}

} // namespace

QString SchedulePreview::renderTable(const QVector<int>& areaIds) const
{
    if (isNull())
        return m_error + QLatin1Char('\n');
    const QString dayFormat = QStringLiteral("yyyy-MM-dd");
    QString range = m_first.toString(dayFormat);
    if (m_last != m_first)
        range += QStringLiteral("..") + m_last.toString(dayFormat);
    QString text = m_zoneName.isEmpty() ? tr("Zone %1, %2\n").arg(Config::idText(m_zoneId)).arg(range)
                                        : tr("Zone %1 %2, %3\n").arg(Config::idText(m_zoneId)).arg(m_zoneName, range);

    QVector<QStringList> rows{{tr("from"), tr("to"), tr("strategy")}};
    for (const PlanInterval& interval : m_strategyPlan)
        rows.append({timeText(interval.start), timeText(interval.end), strategyText(interval)});
    text += QLatin1Char('\n') + tr("Strategies") + QLatin1Char('\n') + tableText(rows);

    for (const Area& area : m_areas) {
        if (!areaIds.isEmpty() && !areaIds.contains(area.id))
            continue;
        const PlanTimeline sources = controlSources(area.id);
        rows = {{tr("from"), tr("to"), tr("state"), tr("control source")}};
        // Both timelines cover the range, so walking them side by side gives
        // a row wherever either changes.
        int s = 0;
        int c = 0;
        int start = 0;
        while (s < area.plan.size() && c < sources.size()) {
            const PlanInterval& state = area.plan.at(s);
            const PlanInterval& source = sources.at(c);
            const int end = std::min(state.end, source.end);
            rows.append({timeText(start), timeText(end), stateText(area, state), sourceText(source.id)});
            start = end;
            if (state.end == end)
                ++s;
            if (source.end == end)
                ++c;
        }
        const QString title = area.name.isEmpty() ? tr("Area %1").arg(Config::idText(area.id))
                                                  : tr("Area %1 %2").arg(Config::idText(area.id)).arg(area.name);
        text += QLatin1Char('\n') + title + QLatin1Char('\n') + tableText(rows);
    }
    return text;
}

} // namespace Velmora
