#include "KeepGeometry.h"

#include <QDomDocument>

#include "format/Vocabulary.h"

namespace Velmora {

QDomElement keepGeometry(QDomElement newArea, const QDomElement& oldArea)
{
    if (oldArea.isNull())
        return newArea;
    QDomDocument document = oldArea.ownerDocument();
    if (newArea.ownerDocument() != document)
        newArea = document.importNode(newArea, true).toElement();

    for (QDomElement g = newArea.firstChildElement(Xml::Geometry); !g.isNull();
         g = newArea.firstChildElement(Xml::Geometry))
        newArea.removeChild(g);

    QDomElement geometry = oldArea.firstChildElement(Xml::Geometry).cloneNode(true).toElement();
    if (geometry.isNull())
        geometry = document.createElement(Xml::Geometry);
    // The outline editor sets the text of the first text child, and does nothing without one.
    bool hasText = false;
    for (QDomNode node = geometry.firstChild(); !node.isNull() && !hasText; node = node.nextSibling())
        hasText = node.isText();
    if (!hasText)
        geometry.appendChild(document.createTextNode(QString()));
    newArea.insertBefore(geometry, QDomNode());
    return newArea;
}

} // namespace Velmora
