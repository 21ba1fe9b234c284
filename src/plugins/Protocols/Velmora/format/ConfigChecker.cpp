#include "ConfigChecker.h"

#include "ConfigReader.h"
#include "ElementPaths.h"
#include "GeometryText.h"
#include "OutlineCrossing.h"
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

    void outline(const QDomElement& owner, const QString& ownerText);
    void controllers(const QDomElement& root);
    void strategies(const QDomElement& root);
    void collectAreas(const QDomElement& root);
    void area(const QDomElement& element, const QString& owner);
    void states(const QDomElement& area, const QString& owner, const QSet<int>& areaControllers);

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
    ElementPaths m_paths;
};

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
    outline(root, hasId ? tr("zone %1").arg(Config::idText(id)) : tr("the zone"));
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
    }

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
        if (requireId(e, &id))
            unique(&seen, id, e, tr("Controller %1").arg(Config::idText(id)));
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
            unique(&areas, areaId, a, tr("Area %1 of strategy %2").arg(area, strategy));
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
        warning(where, CheckKind::NoDefault,
                tr("No strategy is marked default; strategy %1, the first, stands in.")
                    .arg(Config::idText(Config::defaultStrategy(marks))));
    else if (defaults.size() > 1)
        warning(where, CheckKind::SeveralDefaults,
                tr("Strategies %1 and %2 are both marked default; the first counts.")
                    .arg(Config::idText(defaults.at(0)), Config::idText(defaults.at(1))));
}

void Walk::area(const QDomElement& element, const QString& owner)
{
    outline(element, owner);

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
        for (QDomElement c = s.firstChildElement(Xml::Controller); !c.isNull();
             c = c.nextSiblingElement(Xml::Controller)) {
            int controller = Config::NoId;
            if (!requireId(c, &controller))
                continue;
            unique(&controllers, controller, c, tr("Controller %1 in %2").arg(Config::idText(controller), inState));
            if (!areaControllers.contains(controller))
                error(c, CheckKind::UnknownController,
                      tr("%1 sets controller %2, which is not in the area's controller list.")
                          .arg(state, Config::idText(controller)));
        }
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

void Walk::outline(const QDomElement& owner, const QString& ownerText)
{
    const QDomElement geometry = owner.firstChildElement(Xml::Geometry);
    if (geometry.isNull()) {
        warning(owner, CheckKind::MissingOutline,
                tr("There is no outline (Geometry) for %1, so the map cannot show it.").arg(ownerText));
        return;
    }
    const QString text = Xml::firstText(geometry);
    if (text.trimmed().isEmpty()) {
        warning(geometry, CheckKind::MissingOutline,
                tr("The outline of %1 is empty, so the map cannot show it.").arg(ownerText));
        return;
    }
    QVector<QPointF> points;
    if (!Geometry::parsePoints(text, &points)) {
        error(geometry, CheckKind::BadOutline,
              tr("The outline of %1 is not a list of x,y points separated by ';'.").arg(ownerText));
        return;
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
        return;
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
    }
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
