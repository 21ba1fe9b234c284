#pragma once

#include "ConfigChecker.h"
#include "ConfigReader.h"
#include "ElementPaths.h"

#include <QCoreApplication>
#include <QDomElement>
#include <QHash>
#include <QLatin1String>
#include <QString>

namespace Velmora {

// What the checks of one document share: the findings so far and the paths of
// their elements. The checks run over one context in a fixed order, so
// findings of one line keep their order from run to run.
class CheckContext
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    ConfigFindings findings;

    void error(const QDomElement& element, QLatin1String kind, const QString& message)
    {
        report(ConfigFinding::Error, element, kind, message);
    }
    void warning(const QDomElement& element, QLatin1String kind, const QString& message)
    {
        report(ConfigFinding::Warning, element, kind, message);
    }

    // Reports an element without a valid id.
    bool requireId(const QDomElement& element, int* id);
    // Reports an id seen before in the same list (`seen`: id -> line). `what`
    // names the element; it is called only for a report, as most ids are fine.
    template<typename Describe>
    void unique(QHash<int, int>* seen, int id, const QDomElement& element, Describe what)
    {
        const int earlier = seen->value(id);
        if (Config::keepLater(seen, id, element.lineNumber()))
            duplicate(element, what(), earlier);
    }

private:
    void duplicate(const QDomElement& element, const QString& what, int earlierLine);
    void report(ConfigFinding::Severity severity, const QDomElement& element, QLatin1String kind,
                const QString& message);

    ElementPaths m_paths;
};

} // namespace Velmora
