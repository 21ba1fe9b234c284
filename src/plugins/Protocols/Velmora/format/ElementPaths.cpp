#include "ElementPaths.h"

#include "Vocabulary.h"

#include <QStringList>

namespace Velmora {

QString ElementPaths::pathOf(const QDomElement& element)
{
    if (element.isNull())
        return {};
    QStringList parts;
    for (QDomElement e = element; !e.isNull(); e = e.parentNode().toElement()) {
        if (e.parentNode().toElement().isNull()) {
            if (parts.isEmpty())
                parts.prepend(e.tagName()); // the root itself
            break;
        }
        parts.prepend(step(e));
    }
    return parts.join(QLatin1Char('/'));
}

QString ElementPaths::step(const QDomElement& element)
{
    const QString name = element.tagName();
    const QString id = element.attribute(Xml::id);
    if (!id.isEmpty())
        return QStringLiteral("%1[id=%2]").arg(name, id);
    if (name == Xml::SpecialDay) {
        const QString day = element.attribute(Xml::day);
        if (!day.isEmpty())
            return QStringLiteral("%1[day=%2]").arg(name, day);
    }
    const int index = position(element);
    if (index > 1 || !element.nextSiblingElement(name).isNull())
        return QStringLiteral("%1[%2]").arg(name).arg(index);
    return name;
}

int ElementPaths::position(const QDomElement& element)
{
    const QString name = element.tagName();
    const Position last = m_last.value(name);
    int steps = 0;
    QDomElement e = element;
    while (!e.isNull() && e != last.element) {
        e = e.previousSiblingElement(name);
        ++steps;
    }
    // Reached the one asked before, or ran past the first sibling.
    const int index = e.isNull() ? steps : last.index + steps;
    m_last.insert(name, Position{element, index});
    return index;
}

} // namespace Velmora
