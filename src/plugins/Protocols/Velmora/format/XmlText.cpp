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

} // namespace Xml
} // namespace Velmora
