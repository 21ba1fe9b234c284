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

// Writers set an element's text through its first text child, which must
// therefore exist, even empty (a file's <Controllers/> has none).
// The first `tag` child, appended when there is none.
QDomElement ensureChild(QDomElement parent, const QString& tag);
// The first text child, an empty one appended when there is none.
QDomText ensureTextNode(QDomElement element);
void setText(QDomElement element, const QString& value);

// The index of the first character an XML 1.0 document cannot carry (control
// characters other than tab and line breaks, lone surrogates, U+FFFE, U+FFFF),
// or -1 when every character can be written.
int firstNonXmlCharacter(const QString& text);
inline bool isXmlText(const QString& text) { return firstNonXmlCharacter(text) < 0; }

} // namespace Xml
} // namespace Velmora
