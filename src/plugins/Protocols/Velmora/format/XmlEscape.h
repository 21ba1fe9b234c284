#pragma once

#include <QString>

namespace Velmora {
namespace Xml {

// Appends text escaped as the document writer always escaped it, so that
// files written before keep their bytes: '<' and '&' always, '"', tab and
// line feed in attribute values, carriage return everywhere, and '>' only
// where it would close a CDATA marker.
void appendEscaped(QString* out, const QString& text, bool inAttribute);

// An XML declaration's pseudo-attributes for a file written in UTF-8: its
// version (1.0 when it gives none) and standalone flag kept, the encoding
// replaced.
QString utf8Declaration(const QString& data);

} // namespace Xml
} // namespace Velmora
