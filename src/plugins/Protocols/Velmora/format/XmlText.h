#pragma once

#include <QDomElement>
#include <QDomText>
#include <QString>

namespace Velmora {
namespace Xml {

// An element's text is its first text child (CDATA included); comments and
// other nodes before it are skipped, and later text nodes are not part of it.
QDomText firstTextNode(const QDomElement& element);
// The text of firstTextNode(), empty when there is none.
QString firstText(const QDomElement& element);

} // namespace Xml
} // namespace Velmora
