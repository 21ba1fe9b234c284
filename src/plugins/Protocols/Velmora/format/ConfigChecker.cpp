#include "ConfigChecker.h"

#include "ConfigReader.h"
#include "ElementPaths.h"
#include "GeometryText.h"
#include "OutlineCrossing.h"
#include "OutlineOverlap.h"
#include "Vocabulary.h"
#include "XmlDocument.h"
#include "XmlText.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointF>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Velmora {

namespace {

using Finding = ConfigFinding;

// ---- Outline geometry ----

struct Vertex
{
    QPointF point;
    int number = 0; // 1-based position in the text
};

// ---- The walk over the document ----

class Walk
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    ConfigFindings findings;

    void zone(const QDomElement& root);

private:
    void report(Finding::Severity severity, const QDomElement& element, QLatin1String kind,
                const QString& message);
    void error(const QDomElement& e, QLatin1String kind, const QString& message)
    {
        report(Finding::Error, e, kind, message);
    }
    void warning(const QDomElement& e, QLatin1String kind, const QString& message)
    {
        report(Finding::Warning, e, kind, message);
    }

    // Reports an element without a valid id.
    bool requireId(const QDomElement& element, int* id);
    // Reports an id seen before in the same list (`seen`: id -> line).
    void unique(QHash<int, int>* seen, int id, const QDomElement& element, const QString& what);

    // The outline as a ring of distinct points; empty when it is missing or unusable.
    QVector<QPointF> outline(const QDomElement& owner, const QString& ownerText);
    void controllers(const QDomElement& root);
    void strategies(const QDomElement& root);
    void collectAreas(const QDomElement& root);
    void area(const QDomElement& element, const QString& owner);
    void claim(int controller, const QDomElement& list, const QString& owner);
    void states(const QDomElement& area, const QString& owner, const QSet<int>& areaControllers);

    struct Cycle
    {
        int length;
        int controller;
    };
    // The program's cycle length in *cycle, 0 when it gives none.
    void program(const QDomElement& program, const QString& what, int* cycle);
    void phases(const QDomElement& program, const QString& what, int cycle);
    void mixedCycles(const QDomElement& state, const QString& what, QVector<Cycle> cycles);
    void controllersWithoutArea();
    void overlaps();
    void outsideZone();

    struct CalendarLevel
    {
        QString owner;         // "the zone", "area 3"
        QLatin1String attribute;
        const QSet<int>* targets;
        QLatin1String unknownKind;
        bool isZone = false;
    };
    void calendar(const QDomElement& owner, const CalendarLevel& level);
    void entries(const QDomElement& parent, const QString& what, const CalendarLevel& level);
    void week(const QDomElement& calendar, const QSet<int>& cards, const CalendarLevel& level);
    void specialDays(const QDomElement& calendar, const CalendarLevel& level);

    static QString weekdayName(int index);

    QSet<int> m_areas;
    QSet<int> m_strategies;
    QSet<int> m_usedAreas;
    ElementPaths m_paths;

    struct ZoneController
    {
        QDomElement element;
        int id;
    };
    QVector<ZoneController> m_zoneControllers;
    struct Membership
    {
        QString owner;
        int line;
    };
    QHash<int, Membership> m_areaOf; // controller -> the first area listing it

    struct AreaOutline
    {
        QString owner;
        QDomElement geometry;
        QVector<QPointF> ring;
        double area;
    };
    QVector<AreaOutline> m_outlines; // the usable ones, in document order
    QVector<QPointF> m_zoneRing;
};

// A decimal integer attribute; false when absent or not one.
bool readNumber(const QDomElement& element, const QString& attribute, int* value)
{
    bool ok = false;
    *value = element.attribute(attribute).trimmed().toInt(&ok);
    return ok;
}

QString percent(double fraction)
{
    return QString::number(100 * fraction, 'f', 1);
}

QString Walk::weekdayName(int index)
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

void Walk::report(Finding::Severity severity, const QDomElement& element, QLatin1String kind,
                  const QString& message)
{
    Finding f;
    f.severity = severity;
    f.line = std::max(0, element.lineNumber());
    f.column = std::max(0, element.columnNumber());
    f.kind = kind;
    f.message = message;
    f.path = m_paths.pathOf(element);
    findings.append(f);
}

bool Walk::requireId(const QDomElement& element, int* id)
{
    if (Config::readId(element, Xml::id, id))
        return true;
    error(element, CheckKind::MissingId,
          tr("%1 element without a valid id (a whole number from 0 to 4294967295).").arg(element.tagName()));
    return false;
}

void Walk::unique(QHash<int, int>* seen, int id, const QDomElement& element, const QString& what)
{
    const int earlier = seen->value(id);
    if (Config::keepLater(seen, id, element.lineNumber()))
        error(element, CheckKind::DuplicateId,
              tr("%1 repeats the one on line %2; this later one counts.").arg(what).arg(earlier));
}

void Walk::zone(const QDomElement& root)
{
    int id = Config::NoId;
    const bool hasId = requireId(root, &id);
    m_zoneRing = outline(root, hasId ? tr("zone %1").arg(Config::idText(id)) : tr("the zone"));
    controllers(root);
    collectAreas(root);
    strategies(root);

    const QDomElement list = root.firstChildElement(Xml::Areas);
    QHash<int, int> seen;
    for (QDomElement e = list.firstChildElement(Xml::Area); !e.isNull(); e = e.nextSiblingElement(Xml::Area)) {
        int areaId = Config::NoId;
        const bool areaHasId = requireId(e, &areaId);
        const QString owner = areaHasId ? tr("area %1").arg(Config::idText(areaId)) : tr("an area without id");
        if (areaHasId)
            unique(&seen, areaId, e, tr("Area %1").arg(Config::idText(areaId)));
        // A repeated area is checked too: its faults are there all the same.
        area(e, owner);
        // Without any strategy the zone's error says it all.
        if (areaHasId && !m_strategies.isEmpty() && !m_usedAreas.contains(areaId))
            warning(e, CheckKind::UnusedArea,
                    tr("No strategy uses %1, so the zone never controls it.").arg(owner));
    }
    controllersWithoutArea();
    overlaps();
    outsideZone();

    const CalendarLevel level{tr("the zone"), Xml::strategy_id, &m_strategies, CheckKind::UnknownStrategy, true};
    calendar(root, level);
}

void Walk::controllers(const QDomElement& root)
{
    const QDomElement list = root.firstChildElement(Xml::Controllers);
    QHash<int, int> seen;
    for (QDomElement e = list.firstChildElement(Xml::Controller); !e.isNull();
         e = e.nextSiblingElement(Xml::Controller)) {
        int id = Config::NoId;
        if (requireId(e, &id)) {
            unique(&seen, id, e, tr("Controller %1").arg(Config::idText(id)));
            m_zoneControllers.append(ZoneController{e, id});
        }
    }
}

void Walk::controllersWithoutArea()
{
    for (const ZoneController& c : qAsConst(m_zoneControllers)) {
        if (!m_areaOf.contains(c.id))
            warning(c.element, CheckKind::ControllerWithoutArea,
                    tr("Controller %1 is in no area, so no area state or strategy ever reaches it.")
                        .arg(Config::idText(c.id)));
    }
}

// Strategies refer to areas, so the area ids are known before strategies are read.
void Walk::collectAreas(const QDomElement& root)
{
    const QDomElement list = root.firstChildElement(Xml::Areas);
    for (QDomElement e = list.firstChildElement(Xml::Area); !e.isNull(); e = e.nextSiblingElement(Xml::Area)) {
        int id = Config::NoId;
        if (Config::readId(e, Xml::id, &id))
            m_areas.insert(id);
    }
}

void Walk::strategies(const QDomElement& root)
{
    struct Mark
    {
        int id;
        bool isDefault;
    };
    const QDomElement list = root.firstChildElement(Xml::Strategies);
    QHash<int, int> seen;
    Config::IdList<Mark> marks;
    for (QDomElement e = list.firstChildElement(Xml::Strategy); !e.isNull();
         e = e.nextSiblingElement(Xml::Strategy)) {
        int id = Config::NoId;
        if (!requireId(e, &id))
            continue;
        const QString strategy = Config::idText(id);
        unique(&seen, id, e, tr("Strategy %1").arg(strategy));
        m_strategies.insert(id);
        marks.add(id, Mark{id, Config::isDefault(e)});

        QHash<int, int> areas;
        for (QDomElement a = e.firstChildElement(Xml::Area); !a.isNull(); a = a.nextSiblingElement(Xml::Area)) {
            int areaId = Config::NoId;
            if (!requireId(a, &areaId))
                continue;
            const QString area = Config::idText(areaId);
            const int earlier = areas.value(areaId);
            if (Config::keepLater(&areas, areaId, a.lineNumber()))
                error(a, CheckKind::RepeatedArea,
                      tr("Strategy %1 names area %2 twice (first on line %3); the later control source counts.")
                          .arg(strategy, area)
                          .arg(earlier));
            m_usedAreas.insert(areaId);
            if (!m_areas.contains(areaId))
                error(a, CheckKind::UnknownArea,
                      tr("Strategy %1 uses area %2, which the zone does not have.").arg(strategy, area));
            const QString source = a.attribute(Xml::control_source);
            const QString trimmed = source.trimmed();
            if (trimmed != QLatin1String("1") && trimmed != QLatin1String("2") && trimmed != QLatin1String("3"))
                error(a, CheckKind::BadControlSource,
                      tr("Strategy %1 gives area %2 the control source \"%3\"; it must be 1 (calendar), "
                         "2 (adaptive) or 3 (local).")
                          .arg(strategy, area, source));
        }
    }
    QVector<int> defaults;
    for (const Mark& mark : marks) {
        if (mark.isDefault)
            defaults.append(mark.id);
    }
    const QDomElement where = list.isNull() ? root : list;
    if (marks.isEmpty())
        error(where, CheckKind::NoStrategy, tr("The zone has no strategy, so nothing controls its areas."));
    else if (defaults.isEmpty())
        error(where, CheckKind::NoDefault,
              tr("No strategy is marked default; strategy %1, the first, stands in, but the zone editor "
                 "accepts no zone without a default.")
                  .arg(Config::idText(Config::defaultStrategy(marks))));
    else if (defaults.size() > 1)
        warning(where, CheckKind::SeveralDefaults,
                tr("Strategies %1 and %2 are both marked default; the first counts.")
                    .arg(Config::idText(defaults.at(0)), Config::idText(defaults.at(1))));
}

void Walk::area(const QDomElement& element, const QString& owner)
{
    const QVector<QPointF> ring = outline(element, owner);
    const double size = Geometry::ringArea(ring);
    // Not a number for an outline with a coordinate that is none.
    if (std::isfinite(size) && size > 0)
        m_outlines.append(AreaOutline{owner, element.firstChildElement(Xml::Geometry), ring, size});

    QSet<int> listed;
    const QDomElement list = element.firstChildElement(Xml::Controllers);
    if (!list.isNull()) {
        const QStringList fields = Xml::firstText(list).split(QLatin1Char(','));
        // An empty text is an area without controllers.
        if (!(fields.size() == 1 && fields.first().trimmed().isEmpty())) {
            for (const QString& field : fields) {
                int controller = Config::NoId;
                if (!Config::readId(field, &controller)) {
                    error(list, CheckKind::BadIdList,
                          tr("The controllers of %1 include \"%2\", which is not a controller id.")
                              .arg(owner, field));
                } else if (listed.contains(controller)) {
                    error(list, CheckKind::DuplicateId,
                          tr("Controller %1 is listed twice in the controllers of %2.")
                              .arg(Config::idText(controller), owner));
                } else {
                    listed.insert(controller);
                    claim(controller, list, owner);
                }
            }
        }
    }
    states(element, owner, listed);

    QSet<int> stateIds;
    const QDomElement statesList = element.firstChildElement(Xml::States);
    for (QDomElement s = statesList.firstChildElement(Xml::State); !s.isNull(); s = s.nextSiblingElement(Xml::State)) {
        int stateId = Config::NoId;
        if (Config::readId(s, Xml::id, &stateId))
            stateIds.insert(stateId);
    }
    const CalendarLevel level{owner, Xml::state_id, &stateIds, CheckKind::UnknownState, false};
    calendar(element, level);
}

void Walk::claim(int controller, const QDomElement& list, const QString& owner)
{
    const auto it = m_areaOf.constFind(controller);
    if (it == m_areaOf.cend())
        m_areaOf.insert(controller, Membership{owner, list.lineNumber()});
    else
        error(list, CheckKind::ControllerInTwoAreas,
              tr("Controller %1 is in %2 and in %3 (line %4); a controller belongs to one area.")
                  .arg(Config::idText(controller), owner, it->owner)
                  .arg(it->line));
}

void Walk::states(const QDomElement& area, const QString& owner, const QSet<int>& areaControllers)
{
    const QDomElement list = area.firstChildElement(Xml::States);
    QHash<int, int> seen;
    for (QDomElement s = list.firstChildElement(Xml::State); !s.isNull(); s = s.nextSiblingElement(Xml::State)) {
        int id = Config::NoId;
        const bool hasId = requireId(s, &id);
        if (hasId)
            unique(&seen, id, s, tr("State %1 of %2").arg(Config::idText(id), owner));
        const QString state = hasId ? tr("State %1 of %2").arg(Config::idText(id), owner) : tr("A state of %1").arg(owner);
        const QString inState = hasId ? tr("state %1 of %2").arg(Config::idText(id), owner) : tr("a state of %1").arg(owner);
        QHash<int, int> controllers;
        QVector<Cycle> cycles;
        for (QDomElement c = s.firstChildElement(Xml::Controller); !c.isNull();
             c = c.nextSiblingElement(Xml::Controller)) {
            int controller = Config::NoId;
            if (!requireId(c, &controller))
                continue;
            const QString inController = tr("controller %1 in %2").arg(Config::idText(controller), inState);
            unique(&controllers, controller, c, tr("Controller %1 in %2").arg(Config::idText(controller), inState));
            if (!areaControllers.contains(controller))
                error(c, CheckKind::UnknownController,
                      tr("%1 sets controller %2, which is not in the area's controller list.")
                          .arg(state, Config::idText(controller)));
            int cycle = 0;
            program(c.firstChildElement(Xml::Program), inController, &cycle);
            if (cycle > 0)
                cycles.append(Cycle{cycle, controller});
        }
        mixedCycles(s, state, cycles);
    }
}

void Walk::program(const QDomElement& program, const QString& what, int* cycle)
{
    *cycle = 0;
    if (program.isNull())
        return;
    if (!readNumber(program, Xml::cycle_length, cycle))
        *cycle = 0;
    phases(program, what, *cycle);
}

// A phase starts within the cycle, and the phases with their intergreens
// follow each other within one cycle.
void Walk::phases(const QDomElement& program, const QString& what, int cycle)
{
    qint64 total = 0;
    int index = 0;
    for (QDomElement p = program.firstChildElement(Xml::Phase); !p.isNull(); p = p.nextSiblingElement(Xml::Phase)) {
        ++index;
        const QString id = Xml::firstText(p).trimmed();
        const QString phase = id.isEmpty() ? tr("phase number %1").arg(index) : tr("phase %1").arg(id);
        int start = 0;
        int length = 0;
        int full = 0;
        const bool hasFull = readNumber(p, Xml::full_length, &full);
        if (hasFull)
            total += full;
        if (cycle > 0 && readNumber(p, Xml::start, &start) && (start < 0 || start >= cycle))
            error(p, CheckKind::PhaseOutsideCycle,
                  tr("The program of %1 starts %2 at %3, outside its cycle of %4 (0 to %5).")
                      .arg(what, phase)
                      .arg(start)
                      .arg(cycle)
                      .arg(cycle - 1));
        if (hasFull && readNumber(p, Xml::length, &length) && full == length)
            warning(p, CheckKind::NoIntergreen,
                    tr("In the program of %1, %2 has no intergreen after it: its full length equals its "
                       "length (%3).")
                        .arg(what, phase)
                        .arg(length));
    }
    if (cycle > 0 && total > cycle)
        error(program, CheckKind::PhasesOverCycle,
              tr("The phases of the program of %1 take %2 with their intergreens, more than its cycle of %3.")
                  .arg(what)
                  .arg(total)
                  .arg(cycle));
}

// Coordinated controllers run one cycle or whole multiples of it. Sorted, the
// distinct lengths all divide each other exactly when each divides the next.
void Walk::mixedCycles(const QDomElement& state, const QString& what, QVector<Cycle> cycles)
{
    std::sort(cycles.begin(), cycles.end(), [](const Cycle& a, const Cycle& b) { return a.length < b.length; });
    for (int i = 1; i < cycles.size(); ++i) {
        const Cycle& shorter = cycles.at(i - 1);
        const Cycle& longer = cycles.at(i);
        if (longer.length % shorter.length != 0) {
            warning(state, CheckKind::MixedCycles,
                    tr("%1 runs controller %2 on a cycle of %3 and controller %4 on one of %5, which are not "
                       "whole multiples of each other, so they cannot stay coordinated.")
                        .arg(what, Config::idText(shorter.controller))
                        .arg(shorter.length)
                        .arg(Config::idText(longer.controller))
                        .arg(longer.length));
            return;
        }
    }
}

// Pairs come from a grid over the outlines' boxes, not from all pairs.
void Walk::overlaps()
{
    QVector<QVector<QPointF>> rings;
    rings.reserve(m_outlines.size());
    for (const AreaOutline& o : qAsConst(m_outlines))
        rings.append(o.ring);
    for (const Geometry::OutlinePair& pair : Geometry::boxesMeeting(rings)) {
        const AreaOutline& first = m_outlines.at(pair.first);
        const AreaOutline& second = m_outlines.at(pair.second);
        const double shared = Geometry::intersectionArea(first.ring, second.ring);
        const double ofFirst = shared / first.area;
        const double ofSecond = shared / second.area;
        if (std::max(ofFirst, ofSecond) > ConfigChecker::OutlineTolerance)
            warning(second.geometry, CheckKind::OutlineOverlap,
                    tr("The outline of %1 overlaps that of %2 by %3 % of its own area and %4 % of %2's.")
                        .arg(second.owner, first.owner, percent(ofSecond), percent(ofFirst)));
    }
}

void Walk::outsideZone()
{
    if (m_zoneRing.isEmpty())
        return;
    for (const AreaOutline& o : qAsConst(m_outlines)) {
        const double outside = 1 - Geometry::intersectionArea(o.ring, m_zoneRing) / o.area;
        if (outside > ConfigChecker::OutlineTolerance)
            warning(o.geometry, CheckKind::OutsideZone,
                    tr("The outline of %1 lies %2 % outside the zone's outline.").arg(o.owner, percent(outside)));
    }
}

void Walk::calendar(const QDomElement& owner, const CalendarLevel& level)
{
    const QDomElement calendar = owner.firstChildElement(Xml::Calendar);
    if (calendar.isNull()) {
        warning(owner, CheckKind::NoCalendar,
                tr("There is no calendar for %1, so nothing is ever planned for it.").arg(level.owner));
        return;
    }
    QSet<int> cards;
    QHash<int, int> seen;
    const QDomElement list = calendar.firstChildElement(Xml::DayCards);
    for (QDomElement e = list.firstChildElement(Xml::DayCard); !e.isNull(); e = e.nextSiblingElement(Xml::DayCard)) {
        int id = Config::NoId;
        const bool hasId = requireId(e, &id);
        const QString card = hasId ? tr("Day card %1 of %2").arg(Config::idText(id), level.owner)
                                   : tr("A day card of %1").arg(level.owner);
        if (hasId) {
            unique(&seen, id, e, card);
            cards.insert(id);
        }
        entries(e, card, level);
    }
    week(calendar, cards, level);
    specialDays(calendar, level);
}

void Walk::entries(const QDomElement& parent, const QString& what, const CalendarLevel& level)
{
    for (QDomElement e = parent.firstChildElement(Xml::Time); !e.isNull(); e = e.nextSiblingElement(Xml::Time)) {
        const QString time = Xml::firstText(e);
        if (Config::readTime(time) < 0)
            error(e, CheckKind::BadTime,
                  tr("%1 has an entry starting at \"%2\", which is no time from 00:00 to 23:59 (hh:mm); "
                     "the entry is ignored.")
                      .arg(what, time));
        int target = Config::NoId;
        if (!Config::readId(e, level.attribute, &target)) {
            error(e, CheckKind::BadTarget,
                  tr("%1 has an entry without a valid %2; the entry is ignored.").arg(what, level.attribute));
        } else if (!level.targets->contains(target)) {
            if (level.isZone)
                error(e, level.unknownKind,
                      tr("%1 names strategy %2, which the zone does not have.").arg(what, Config::idText(target)));
            else
                error(e, level.unknownKind,
                      tr("%1 names state %2, which %3 does not have.").arg(what, Config::idText(target), level.owner));
        }
    }
}

void Walk::week(const QDomElement& calendar, const QSet<int>& cards, const CalendarLevel& level)
{
    const QDomElement week = calendar.firstChildElement(Xml::WeekDistribution);
    if (week.isNull()) {
        warning(calendar, CheckKind::NoWeek,
                tr("The calendar of %1 has no week distribution, so no day gets a day card.").arg(level.owner));
        return;
    }
    const QString text = Xml::firstText(week);
    // What the editors write for a new calendar: incomplete, not broken.
    if (text.trimmed().isEmpty()) {
        warning(week, CheckKind::WeekEmptyDay,
                tr("The week distribution of %1 is empty, so no day gets a day card.").arg(level.owner));
        return;
    }
    const QStringList fields = Config::weekFields(text);
    if (fields.size() != Config::DaysPerWeek) {
        error(week, CheckKind::WeekFields,
              tr("The week distribution of %1 needs seven fields, Monday first, separated by commas; "
                 "it has %2.")
                  .arg(level.owner)
                  .arg(fields.size()));
        return;
    }
    QStringList empty;
    for (int day = 0; day < Config::DaysPerWeek; ++day) {
        const QString field = fields.at(day).trimmed();
        int card = Config::NoId;
        if (field.isEmpty())
            empty << weekdayName(day);
        else if (!Config::readId(field, &card))
            error(week, CheckKind::WeekBadField,
                  tr("The week distribution of %1 gives \"%2\" for %3, which is not a day card id.")
                      .arg(level.owner, field, weekdayName(day)));
        else if (!cards.contains(card))
            error(week, CheckKind::UnknownDayCard,
                  tr("The week distribution of %1 names day card %2 for %3, which the calendar does not have.")
                      .arg(level.owner, Config::idText(card), weekdayName(day)));
    }
    if (!empty.isEmpty())
        warning(week, CheckKind::WeekEmptyDay,
                tr("The week distribution of %1 leaves %2 without a day card.")
                    .arg(level.owner, empty.join(QStringLiteral(", "))));
}

void Walk::specialDays(const QDomElement& calendar, const CalendarLevel& level)
{
    const QDomElement list = calendar.firstChildElement(Xml::SpecialDays);
    QHash<int, int> ids;
    QHash<QString, int> dates; // normalised date -> line of its first special day
    for (QDomElement e = list.firstChildElement(Xml::SpecialDay); !e.isNull();
         e = e.nextSiblingElement(Xml::SpecialDay)) {
        // The id is optional; when present it must be one.
        int id = Config::NoId;
        if (!e.attribute(Xml::id).isEmpty() && requireId(e, &id))
            unique(&ids, id, e, tr("Special day %1 of %2").arg(Config::idText(id), level.owner));
        const QString text = e.attribute(Xml::day);
        const QString what = tr("Special day %1 of %2").arg(text.trimmed(), level.owner);
        Config::SpecialDate date;
        if (!Config::readSpecialDay(text, &date)) {
            error(e, CheckKind::BadDate,
                  tr("Special day \"%1\" of %2 is no valid date (dd.MM or dd.MM.yyyy); it never applies.")
                      .arg(text, level.owner));
        } else {
            const QString key = QStringLiteral("%1.%2.%3").arg(date.day).arg(date.month).arg(date.year);
            const auto it = dates.constFind(key);
            if (it != dates.cend())
                warning(e, CheckKind::DuplicateDay,
                        tr("%1 repeats the one on line %2; only the first applies.").arg(what).arg(*it));
            else
                dates.insert(key, e.lineNumber());
        }
        entries(e, what, level);
    }
}

QVector<QPointF> Walk::outline(const QDomElement& owner, const QString& ownerText)
{
    const QDomElement geometry = owner.firstChildElement(Xml::Geometry);
    if (geometry.isNull()) {
        warning(owner, CheckKind::MissingOutline,
                tr("There is no outline (Geometry) for %1, so the map cannot show it.").arg(ownerText));
        return {};
    }
    const QString text = Xml::firstText(geometry);
    if (text.trimmed().isEmpty()) {
        warning(geometry, CheckKind::MissingOutline,
                tr("The outline of %1 is empty, so the map cannot show it.").arg(ownerText));
        return {};
    }
    QVector<QPointF> points;
    if (!Geometry::parsePoints(text, &points)) {
        error(geometry, CheckKind::BadOutline,
              tr("The outline of %1 is not a list of x,y points separated by ';'.").arg(ownerText));
        return {};
    }
    // Repeated points (and a last point that closes the ring again) add no edge.
    QVector<Vertex> vertices;
    for (int i = 0; i < points.size(); ++i) {
        if (vertices.isEmpty() || vertices.last().point != points.at(i))
            vertices.append(Vertex{points.at(i), i + 1});
    }
    if (vertices.size() > 1 && vertices.last().point == vertices.first().point)
        vertices.removeLast();
    if (vertices.size() < 3) {
        error(geometry, CheckKind::FewPoints,
              tr("The outline of %1 needs at least three distinct points; it has %2.")
                  .arg(ownerText)
                  .arg(vertices.size()));
        return {};
    }
    QVector<QPointF> ring;
    ring.reserve(vertices.size());
    for (const Vertex& vertex : qAsConst(vertices))
        ring.append(vertex.point);
    int first = -1;
    int second = -1;
    if (Geometry::findSelfCrossing(ring, &first, &second)) {
        const int n = vertices.size();
        error(geometry, CheckKind::SelfCrossing,
              tr("The outline of %1 crosses itself: the edge from point %2 to %3 meets the edge from "
                 "point %4 to %5.")
                  .arg(ownerText)
                  .arg(vertices.at(first).number)
                  .arg(vertices.at((first + 1) % n).number)
                  .arg(vertices.at(second).number)
                  .arg(vertices.at((second + 1) % n).number));
        return {};
    }
    return ring;
}

} // namespace

ConfigFindings ConfigChecker::check(const QDomDocument& document)
{
    Walk walk;
    const QDomElement root = document.documentElement();
    if (!root.isNull())
        walk.zone(root);
    // Sections are walked in dependency order; readers want file order.
    std::stable_sort(walk.findings.begin(), walk.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return walk.findings;
}

ConfigFindings ConfigChecker::checkFile(const QString& path)
{
    // A parsed document takes several times its file's size in memory.
    if (QFileInfo(path).size() > MaxFileBytes) {
        Finding failure;
        failure.kind = CheckKind::TooLarge;
        failure.message = tr("%1 is larger than %2 MiB, the most a configuration may be; it is not read.")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(MaxFileBytes / (1024 * 1024));
        return {failure};
    }
    QDomDocument document;
    Xml::ReadError error;
    if (Xml::readDocument(path, &document, &error))
        return check(document);
    Finding failure;
    failure.line = error.line;
    failure.column = error.column;
    switch (error.kind) {
    case Xml::ReadError::CannotOpen:
        failure.kind = CheckKind::CannotOpen;
        failure.message = tr("Cannot open the file: %1.").arg(error.message);
        break;
    case Xml::ReadError::TooDeep:
        failure.kind = CheckKind::XmlSyntax;
        failure.message = tr("%1; the file is not read.").arg(error.message);
        break;
    default:
        failure.kind = CheckKind::XmlSyntax;
        failure.message = tr("The file is not well-formed XML: %1.").arg(error.message);
        break;
    }
    return {failure};
}

QString ConfigChecker::formatFinding(const ConfigFinding& finding, const QString& fileName)
{
    // Severity words stay English: editors and scripts match on them.
    const QLatin1String severity(finding.isError() ? "error" : "warning");
    if (finding.line > 0)
        return QStringLiteral("%1:%2: %3: %4").arg(fileName).arg(finding.line).arg(severity, finding.message);
    return QStringLiteral("%1: %2: %3").arg(fileName, severity, finding.message);
}

QString ConfigChecker::formatFindings(const ConfigFindings& findings, const QString& fileName)
{
    QString text;
    for (const ConfigFinding& finding : findings)
        text += formatFinding(finding, fileName) + QLatin1Char('\n');
    return text;
}

int ConfigChecker::errorCount(const ConfigFindings& findings)
{
    return int(std::count_if(findings.cbegin(), findings.cend(), [](const Finding& f) { return f.isError(); }));
}

int ConfigChecker::warningCount(const ConfigFindings& findings)
{
    return findings.size() - errorCount(findings);
}

QString ConfigChecker::elementPath(const QDomElement& element)
{
    return ElementPaths().pathOf(element);
}

} // namespace Velmora
