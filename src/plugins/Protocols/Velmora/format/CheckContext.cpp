#include "CheckContext.h"

#include "ConfigReader.h"
#include "Vocabulary.h"

#include <algorithm>

namespace Velmora {

void CheckContext::report(ConfigFinding::Severity severity, const QDomElement& element, QLatin1String kind,
                          const QString& message)
{
    ConfigFinding f;
    f.severity = severity;
    f.line = std::max(0, element.lineNumber());
    f.column = std::max(0, element.columnNumber());
    f.kind = kind;
    f.message = message;
    f.path = m_paths.pathOf(element);
    findings.append(f);
}

bool CheckContext::requireId(const QDomElement& element, int* id)
{
    if (Config::readId(element, Xml::id, id))
        return true;
    error(element, CheckKind::MissingId,
          tr("%1 element without a valid id (a whole number from 0 to 4294967295).").arg(element.tagName()));
    return false;
}

void CheckContext::duplicate(const QDomElement& element, const QString& what, int earlierLine)
{
    error(element, CheckKind::DuplicateId,
          tr("%1 repeats the one on line %2; this later one counts.").arg(what).arg(earlierLine));
}

} // namespace Velmora
