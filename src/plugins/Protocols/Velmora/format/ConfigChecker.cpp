#include "ConfigChecker.h"

#include "CalendarCheck.h"
#include "CheckContext.h"
#include "ConfigReader.h"
#include "ElementPaths.h"
#include "OutlineCheck.h"
#include "ProgramCheck.h"
#include "StrategyCheck.h"
#include "Vocabulary.h"
#include "XmlDocument.h"
#include "XmlText.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace Velmora {

namespace {

using Finding = ConfigFinding;

// The walk over the document: ids, references and who owns which controller,
// handing strategies, outlines, programs and calendars to their own checks in
// file order.
class Walk
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    CheckContext context;

    void zone(const QDomElement& root);

private:
    void controllers(const QDomElement& root);
    void collectAreas(const QDomElement& root);
    void area(const QDomElement& element, const QString& owner);
    QSet<int> areaControllers(const QDomElement& area, const QString& owner);
    void claim(int controller, const QDomElement& list, const QString& owner);
    // Checks the area's states; returns the ids its calendar may name.
    QSet<int> states(const QDomElement& area, const QString& owner, const QSet<int>& areaControllers);
    void controllersWithoutArea();

    OutlineCheck m_outlines{&context};
    ProgramCheck m_programs{&context};
    CalendarCheck m_calendars{&context};
    StrategyCheck m_strategies{&context};

    QSet<int> m_areas; // known before strategies are read

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
};

void Walk::zone(const QDomElement& root)
{
    int id = Config::NoId;
    const bool hasId = context.requireId(root, &id);
    m_outlines.zone(root, hasId ? tr("zone %1").arg(Config::idText(id)) : tr("the zone"));
    controllers(root);
    collectAreas(root);
    m_strategies.check(root, m_areas);

    const QDomElement list = root.firstChildElement(Xml::Areas);
    QHash<int, int> seen;
    for (QDomElement e = list.firstChildElement(Xml::Area); !e.isNull(); e = e.nextSiblingElement(Xml::Area)) {
        int areaId = Config::NoId;
        const bool areaHasId = context.requireId(e, &areaId);
        const QString owner = areaHasId ? tr("area %1").arg(Config::idText(areaId)) : tr("an area without id");
        if (areaHasId)
            context.unique(&seen, areaId, e, [&] { return tr("Area %1").arg(Config::idText(areaId)); });
        // A repeated area is checked too: its faults are there all the same.
        area(e, owner);
        // Without any strategy the zone's error says it all.
        if (areaHasId && !m_strategies.strategies().isEmpty() && !m_strategies.uses(areaId))
            context.warning(e, CheckKind::UnusedArea,
                            tr("No strategy uses %1, so the zone never controls it.").arg(owner));
    }
    controllersWithoutArea();
    m_outlines.overlaps();
    m_outlines.outsideZone();

    const CalendarCheck::Level level{tr("the zone"), Xml::strategy_id, &m_strategies.strategies(), CheckKind::UnknownStrategy,
                                     true};
    m_calendars.check(root, level);
}

void Walk::controllers(const QDomElement& root)
{
    const QDomElement list = root.firstChildElement(Xml::Controllers);
    QHash<int, int> seen;
    for (QDomElement e = list.firstChildElement(Xml::Controller); !e.isNull();
         e = e.nextSiblingElement(Xml::Controller)) {
        int id = Config::NoId;
        if (context.requireId(e, &id)) {
            context.unique(&seen, id, e, [&] { return tr("Controller %1").arg(Config::idText(id)); });
            m_zoneControllers.append(ZoneController{e, id});
        }
    }
}

void Walk::controllersWithoutArea()
{
    for (const ZoneController& c : qAsConst(m_zoneControllers)) {
        if (!m_areaOf.contains(c.id))
            context.warning(c.element, CheckKind::ControllerWithoutArea,
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

void Walk::area(const QDomElement& element, const QString& owner)
{
    m_outlines.area(element, owner);
    const QSet<int> stateIds = states(element, owner, areaControllers(element, owner));
    const CalendarCheck::Level level{owner, Xml::state_id, &stateIds, CheckKind::UnknownState, false};
    m_calendars.check(element, level);
}

// The area's controller list; each controller claimed for the area.
QSet<int> Walk::areaControllers(const QDomElement& area, const QString& owner)
{
    QSet<int> listed;
    const QDomElement list = area.firstChildElement(Xml::Controllers);
    if (list.isNull())
        return listed;
    const QStringList fields = Xml::firstText(list).split(QLatin1Char(','));
    // An empty text is an area without controllers.
    if (fields.size() == 1 && fields.first().trimmed().isEmpty())
        return listed;
    for (const QString& field : fields) {
        int controller = Config::NoId;
        if (!Config::readId(field, &controller)) {
            context.error(list, CheckKind::BadIdList,
                          tr("The controllers of %1 include \"%2\", which is not a controller id.").arg(owner, field));
        } else if (listed.contains(controller)) {
            context.error(list, CheckKind::DuplicateId,
                          tr("Controller %1 is listed twice in the controllers of %2.")
                              .arg(Config::idText(controller), owner));
        } else {
            listed.insert(controller);
            claim(controller, list, owner);
        }
    }
    return listed;
}

void Walk::claim(int controller, const QDomElement& list, const QString& owner)
{
    const auto it = m_areaOf.constFind(controller);
    if (it == m_areaOf.cend())
        m_areaOf.insert(controller, Membership{owner, list.lineNumber()});
    else
        context.error(list, CheckKind::ControllerInTwoAreas,
                      tr("Controller %1 is in %2 and in %3 (line %4); a controller belongs to one area.")
                          .arg(Config::idText(controller), owner, it->owner)
                          .arg(it->line));
}

QSet<int> Walk::states(const QDomElement& area, const QString& owner, const QSet<int>& areaControllers)
{
    const QDomElement list = area.firstChildElement(Xml::States);
    QHash<int, int> seen;
    QSet<int> ids;
    for (QDomElement s = list.firstChildElement(Xml::State); !s.isNull(); s = s.nextSiblingElement(Xml::State)) {
        int id = Config::NoId;
        const bool hasId = context.requireId(s, &id);
        const QString state = hasId ? tr("State %1 of %2").arg(Config::idText(id), owner) : tr("A state of %1").arg(owner);
        if (hasId) {
            context.unique(&seen, id, s, [&state] { return state; });
            ids.insert(id);
        }
        const QString inState = hasId ? tr("state %1 of %2").arg(Config::idText(id), owner) : tr("a state of %1").arg(owner);
        QHash<int, int> controllers;
        QVector<ProgramCheck::Cycle> cycles;
        for (QDomElement c = s.firstChildElement(Xml::Controller); !c.isNull();
             c = c.nextSiblingElement(Xml::Controller)) {
            int controller = Config::NoId;
            if (!context.requireId(c, &controller))
                continue;
            const auto inController = [&] {
                return tr("controller %1 in %2").arg(Config::idText(controller), inState);
            };
            context.unique(&controllers, controller, c,
                           [&] { return tr("Controller %1 in %2").arg(Config::idText(controller), inState); });
            if (!areaControllers.contains(controller))
                context.error(c, CheckKind::UnknownController,
                              tr("%1 sets controller %2, which is not in the area's controller list.")
                                  .arg(state, Config::idText(controller)));
            const int cycle = m_programs.program(c.firstChildElement(Xml::Program), inController);
            if (cycle > 0)
                cycles.append(ProgramCheck::Cycle{cycle, controller});
        }
        m_programs.mixedCycles(s, state, cycles);
    }
    return ids;
}
} // namespace

ConfigFindings ConfigChecker::check(const QDomDocument& document)
{
    Walk walk;
    const QDomElement root = document.documentElement();
    if (!root.isNull())
        walk.zone(root);
    // Sections are walked in dependency order; readers want file order.
    std::stable_sort(walk.context.findings.begin(), walk.context.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return walk.context.findings;
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
