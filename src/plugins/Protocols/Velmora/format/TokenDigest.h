#pragma once

#include <QByteArray>

class QIODevice;

namespace Velmora {

// MD4 over the XML tokens of a configuration: names, attributes and non-blank
// text in document order, so layout, comments and the declaration do not count.
// Reads from the device's current position to the end of the document or the
// first syntax error.
QByteArray tokenDigest(QIODevice* device);
QByteArray tokenDigest(const QByteArray& document);

} // namespace Velmora
