#include "SchedulePreview.h"

#include "Schedule.h"
#include "ScheduleTable.h"
#include "Vocabulary.h"

#include <QDomDocument>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <QXmlStreamReader>

#include <algorithm>

namespace Velmora {

namespace {

// Deeper files go to the document reader, which refuses them with its reason.
constexpr int MaxSkeletonDepth = 256;

// Kept elements from the root down, as the skeleton reader has them open.
using OpenPath = QVector<QDomElement>;

// Inside the zone's calendar, its strategies or an area's calendar: all is kept.
bool inWholeSubtree(const OpenPath& open)
{
    if (open.size() >= 2 && (open.at(1).tagName() == Xml::Calendar || open.at(1).tagName() == Xml::Strategies))
        return true;
    return open.size() >= 4 && open.at(1).tagName() == Xml::Areas && open.at(3).tagName() == Xml::Calendar;
}

// Whether an element named `name` under `open` is read by the preview.
bool isKept(const OpenPath& open, const QStringRef& name)
{
    switch (open.size()) {
    case 0: // the zone
        return true;
    case 1:
        return name == Xml::Calendar || name == Xml::Strategies || name == Xml::Areas;
    default:
        break;
    }
    if (inWholeSubtree(open))
        return true;
    if (open.at(1).tagName() != Xml::Areas)
        return false;
    switch (open.size()) {
    case 2: // an area
        return true;
    case 3:
        return name == Xml::States || name == Xml::Calendar;
    case 4: // a state, without its settings
        return true;
    default:
        return false;
    }
}

// The part of a zone file the preview reads, as a small document. False on
// anything the stream reader finds wrong, and on deep nesting.
bool readSkeleton(QIODevice* device, QDomDocument* document)
{
    QXmlStreamReader reader(device);
    reader.setNamespaceProcessing(false);
    OpenPath open;
    int skipped = 0; // levels inside an element that is not kept
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (open.size() + skipped >= MaxSkeletonDepth)
                return false;
            if (skipped > 0 || !isKept(open, reader.qualifiedName())) {
                ++skipped;
                break;
            }
            QDomElement element = document->createElement(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            if (open.isEmpty())
                document->appendChild(element);
            else
                open.last().appendChild(element);
            open.append(element);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (skipped > 0)
                --skipped;
            else if (!open.isEmpty())
                open.removeLast();
            break;
        case QXmlStreamReader::Characters:
            // The document reader drops whitespace between elements too.
            if (skipped == 0 && !reader.isWhitespace() && inWholeSubtree(open))
                open.last().appendChild(document->createTextNode(reader.text().toString()));
            break;
        default:
            break;
        }
    }
    return !reader.hasError() && !document->documentElement().isNull();
}

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

} // namespace

SchedulePreview SchedulePreview::fromFile(const QString& fileName, const QDate& first, const QDate& last,
                                          Xml::ReadError* error)
{
    QFile file(fileName);
    QDomDocument skeleton;
    if (file.open(QIODevice::ReadOnly) && readSkeleton(&file, &skeleton))
        return SchedulePreview(skeleton.documentElement(), first, last);
    // Rare: the document reader says what is wrong, as everywhere else.
    file.close();
    QDomDocument document;
    if (!Xml::readDocument(fileName, &document, error))
        return SchedulePreview();
    return SchedulePreview(document.documentElement(), first, last);
}

SchedulePreview::SchedulePreview(const QDomElement& zone, const QDate& first, const QDate& last)
{
    m_error = rangeError(zone, first, last);
    if (!m_error.isEmpty())
        return;
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

QString SchedulePreview::rangeError(const QDomElement& zone, const QDate& first, const QDate& last)
{
    if (zone.isNull())
        return tr("There is no zone element.");
    if (!first.isValid() || !last.isValid() || last < first)
        return tr("The range of days is not valid.");
    if (first.daysTo(last) >= MaxDays)
        return tr("A preview covers at most %1 days.").arg(MaxDays);
    return QString();
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

QString SchedulePreview::sourceText(int source)
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

QString SchedulePreview::renderTable() const
{
    QString text;
    QTextStream out(&text);
    ScheduleTable::write(out, *this);
    out.flush();
    return text;
}

} // namespace Velmora
