#include "XmlText.h"

namespace Velmora {
namespace Xml {

QDomText firstTextNode(const QDomElement& element)
{
    for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isText())
            return node.toText();
    }
    return QDomText();
}

QString firstText(const QDomElement& element)
{
    return firstTextNode(element).data();
}

QDomElement ensureChild(QDomElement parent, const QString& tag)
{
    QDomElement child = parent.firstChildElement(tag);
    if (child.isNull())
        child = parent.appendChild(parent.ownerDocument().createElement(tag)).toElement();
    return child;
}

QDomText ensureTextNode(QDomElement element)
{
    QDomText text = firstTextNode(element);
    if (text.isNull())
        text = element.appendChild(element.ownerDocument().createTextNode(QString())).toText();
    return text;
}

void setText(QDomElement element, const QString& value)
{
    ensureTextNode(element).setData(value);
}

int firstNonXmlCharacter(const QString& text)
{
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        const ushort u = c.unicode();
        if (c.isHighSurrogate()) {
            if (i + 1 < size && text.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            return i;
        }
        const bool allowed = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF)
            || (u >= 0xE000 && u <= 0xFFFD);
        if (!allowed)
            return i;
    }
    return -1;
}

} // namespace Xml
} // namespace Velmora
