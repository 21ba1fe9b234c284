#pragma once

#include <QCoreApplication>
#include <QDomDocument>
#include <QDomElement>
#include <QLatin1String>
#include <QString>
#include <QVector>

namespace Velmora {

// The kind codes of findings: short, stable, for tools to match on.
namespace CheckKind {
constexpr QLatin1String CannotOpen("cannot-open");            // error: file unreadable
constexpr QLatin1String TooLarge("too-large");                // error: file over ConfigChecker::MaxFileBytes
constexpr QLatin1String XmlSyntax("xml-syntax");              // error: not well-formed
constexpr QLatin1String MissingId("missing-id");              // error
constexpr QLatin1String DuplicateId("duplicate-id");          // error: any list, also id lists in texts
constexpr QLatin1String BadIdList("bad-id-list");             // error: Area/Controllers field not an id
constexpr QLatin1String UnknownStrategy("unknown-strategy");  // error: zone calendar entry
constexpr QLatin1String UnknownState("unknown-state");        // error: area calendar entry
constexpr QLatin1String UnknownDayCard("unknown-day-card");   // error: week distribution field
constexpr QLatin1String UnknownArea("unknown-area");          // error: Strategy/Area
constexpr QLatin1String RepeatedArea("repeated-area");        // error: a strategy names an area twice
constexpr QLatin1String ControllerInTwoAreas("controller-in-two-areas"); // error: Area/Controllers
constexpr QLatin1String ControllerWithoutArea("controller-without-area"); // warning: zone controller in no area
constexpr QLatin1String UnusedArea("unused-area");            // warning: no strategy uses the area
constexpr QLatin1String UnknownController("unknown-controller"); // error: State/Controller
constexpr QLatin1String BadControlSource("bad-control-source");  // error: not 1, 2 or 3
constexpr QLatin1String WeekFields("week-fields");            // error: not seven fields
constexpr QLatin1String WeekBadField("week-bad-field");       // error: field not a card id
constexpr QLatin1String WeekEmptyDay("week-empty-day");       // warning: days without card
constexpr QLatin1String NoWeek("no-week");                    // warning: calendar without week distribution
constexpr QLatin1String NoCalendar("no-calendar");            // warning
constexpr QLatin1String BadTime("bad-time");                  // error: entry time not "hh:mm"
constexpr QLatin1String BadTarget("bad-target");              // error: entry without a valid target id
constexpr QLatin1String BadDate("bad-date");                  // error: special day date
constexpr QLatin1String DuplicateDay("duplicate-day");        // warning: second special day of a date
constexpr QLatin1String MissingOutline("missing-outline");    // warning: no or empty Geometry
constexpr QLatin1String BadOutline("bad-outline");            // error: not a point list
constexpr QLatin1String FewPoints("few-points");              // error: under three distinct points
constexpr QLatin1String SelfCrossing("self-crossing");        // error
constexpr QLatin1String OutlineOverlap("outline-overlap");    // warning: two area outlines share area
constexpr QLatin1String OutsideZone("outside-zone");          // warning: area outline leaves the zone's
constexpr QLatin1String PhaseOutsideCycle("phase-outside-cycle"); // error: a phase starting outside [0, cycle)
constexpr QLatin1String PhasesOverCycle("phases-over-cycle"); // error: full phase lengths add up to more
constexpr QLatin1String NoIntergreen("no-intergreen");        // warning: full_length equal to length
constexpr QLatin1String MixedCycles("mixed-cycles");          // warning: cycles of a state not multiples
constexpr QLatin1String NoStrategy("no-strategy");            // error: the zone has none
constexpr QLatin1String NoDefault("no-default");              // error: the zone editor refuses it
constexpr QLatin1String SeveralDefaults("several-defaults");  // warning: the first counts
} // namespace CheckKind

// One thing the checker found in a configuration.
struct ConfigFinding
{
    enum Severity { Error, Warning };

    Severity severity = Error;
    int line = 0;   // of the element, as the XML parser gives it; 0: unknown
    int column = 0; // just after the element's start tag; 0: unknown
    QString kind;   // a CheckKind code
    QString message; // translated, one sentence
    QString path;   // the element, e.g. "Areas/Area[id=3]/Calendar/WeekDistribution"

    bool isError() const { return severity == Error; }
};
using ConfigFindings = QVector<ConfigFinding>;

// Checks a zone configuration for what the loaders and the calendars would
// silently drop or get wrong: references to things that do not exist,
// duplicate ids, malformed texts, unusable outlines, and what an engineer
// would not run: controllers in two areas or none, overlapping areas, phases
// that do not fit their cycle (docs/checks.md). Never changes the document.
//
//     const ConfigFindings findings = ConfigChecker::checkFile(path);
//     for (const ConfigFinding& f : findings)
//         err << ConfigChecker::formatFinding(f, path) << '\n';
//     return ConfigChecker::errorCount(findings) ? 1 : 0;
class ConfigChecker
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    // The largest file checkFile reads: far above any real configuration.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
    // The share of an area's outline that may lie in another area's or
    // outside the zone's before the checker says so: drawing by hand leaves
    // slivers along shared borders.
    static constexpr double OutlineTolerance = 0.01;

    // The findings of a parsed document, ordered by line (document order
    // within a line). A document parsed without line numbers gives line 0.
    static ConfigFindings check(const QDomDocument& document);
    // Reads and parses the file, then checks it. An unreadable file, one over
    // MaxFileBytes or an XML syntax error is a single error finding.
    static ConfigFindings checkFile(const QString& path);

    // "FILE:LINE: error: message" ("FILE: warning: message" without a line).
    static QString formatFinding(const ConfigFinding& finding, const QString& fileName);
    // One formatted finding per line, each ending in '\n'.
    static QString formatFindings(const ConfigFindings& findings, const QString& fileName);
    static int errorCount(const ConfigFindings& findings);
    static int warningCount(const ConfigFindings& findings);

    // Where an element sits below the root, e.g. "Areas/Area[id=3]/Calendar";
    // the root's own tag name for the root.
    static QString elementPath(const QDomElement& element);
};

} // namespace Velmora
