#pragma once

#include <QDomElement>
#include <QStringList>

// An element as indented text with its attributes sorted and blank text left
// out, so that two elements compare by structure (QDom keeps no attribute
// order) and a mismatch shows where.
inline QString domText(const QDomElement& element, int depth = 0)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    QStringList attributes;
    const QDomNamedNodeMap map = element.attributes();
    for (int i = 0; i < map.count(); ++i) {
        const QDomAttr attribute = map.item(i).toAttr();
        attributes << QStringLiteral("%1=\"%2\"").arg(attribute.name(), attribute.value());
    }
    attributes.sort();
    QString text = indent + QLatin1Char('<') + element.tagName();
    if (!attributes.isEmpty())
        text += QLatin1Char(' ') + attributes.join(QLatin1Char(' '));
    text += QStringLiteral(">\n");
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isElement())
            text += domText(child.toElement(), depth + 1);
        else if (child.isText() && !child.nodeValue().trimmed().isEmpty())
            text += indent + QStringLiteral("  \"") + child.nodeValue() + QStringLiteral("\"\n");
    }
    return text;
}
