#include "StrategyCheck.h"

#include "CheckContext.h"
#include "Vocabulary.h"

#include <QHash>
#include <QVector>

namespace Velmora {

void StrategyCheck::check(const QDomElement& root, const QSet<int>& areas)
{
    const QDomElement list = root.firstChildElement(Xml::Strategies);
    QHash<int, int> seen;
    Marks marks;
    for (QDomElement e = list.firstChildElement(Xml::Strategy); !e.isNull();
         e = e.nextSiblingElement(Xml::Strategy)) {
        int id = Config::NoId;
        if (!m_context->requireId(e, &id))
            continue;
        const QString strategy = Config::idText(id);
        m_context->unique(&seen, id, e, [&] { return tr("Strategy %1").arg(strategy); });
        m_strategies.insert(id);
        marks.add(id, Mark{id, Config::isDefault(e)});
        areasOf(e, strategy, areas);
    }
    defaults(root, list, marks);
}

void StrategyCheck::areasOf(const QDomElement& strategyElement, const QString& strategy, const QSet<int>& areas)
{
    QHash<int, int> listed;
    for (QDomElement a = strategyElement.firstChildElement(Xml::Area); !a.isNull();
         a = a.nextSiblingElement(Xml::Area)) {
        int areaId = Config::NoId;
        if (!m_context->requireId(a, &areaId))
            continue;
        const QString area = Config::idText(areaId);
        const int earlier = listed.value(areaId);
        if (Config::keepLater(&listed, areaId, a.lineNumber()))
            m_context->error(a, CheckKind::RepeatedArea,
                             tr("Strategy %1 names area %2 twice (first on line %3); the later control source "
                                "counts.")
                                 .arg(strategy, area)
                                 .arg(earlier));
        m_usedAreas.insert(areaId);
        if (!areas.contains(areaId))
            m_context->error(a, CheckKind::UnknownArea,
                             tr("Strategy %1 uses area %2, which the zone does not have.").arg(strategy, area));
        const QString source = a.attribute(Xml::control_source);
        const QString trimmed = source.trimmed();
        if (trimmed != QLatin1String("1") && trimmed != QLatin1String("2") && trimmed != QLatin1String("3"))
            m_context->error(a, CheckKind::BadControlSource,
                             tr("Strategy %1 gives area %2 the control source \"%3\"; it must be 1 (calendar), "
                                "2 (adaptive) or 3 (local).")
                                 .arg(strategy, area, source));
    }
}

void StrategyCheck::defaults(const QDomElement& root, const QDomElement& list, const Marks& marks)
{
    QVector<int> defaults;
    for (const Mark& mark : marks) {
        if (mark.isDefault)
            defaults.append(mark.id);
    }
    const QDomElement where = list.isNull() ? root : list;
    if (marks.isEmpty())
        m_context->error(where, CheckKind::NoStrategy, tr("The zone has no strategy, so nothing controls its areas."));
    else if (defaults.isEmpty())
        m_context->error(where, CheckKind::NoDefault,
                         tr("No strategy is marked default; strategy %1, the first, stands in, but the zone editor "
                            "accepts no zone without a default.")
                             .arg(Config::idText(Config::defaultStrategy(marks))));
    else if (defaults.size() > 1)
        m_context->warning(where, CheckKind::SeveralDefaults,
                           tr("Strategies %1 and %2 are both marked default; the first counts.")
                               .arg(Config::idText(defaults.at(0)), Config::idText(defaults.at(1))));
}

} // namespace Velmora
