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

} // namespace Xml
} // namespace Velmora
