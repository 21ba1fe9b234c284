#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace Velmora {

// Real configurations nest about six levels. Deeper files are refused before a
// document parser recurses through them and exhausts the stack.
constexpr int MaxNestingDepth = 256;

// The outcome of one pass over a configuration's XML tokens.
struct TokenDigest
{
    // MD4 over the tokens read: names, attributes and non-blank text in
    // document order, so layout, comments and the declaration do not count.
    QByteArray digest;
    // Why the pass stopped before the end of the document (empty when it read
    // it all), and where (line and column counted from 1).
    QString error;
    qint64 line = 0;
    qint64 column = 0;
    // The pass stopped because elements nest deeper than MaxNestingDepth.
    bool tooDeep = false;

    bool isComplete() const { return error.isEmpty(); }
};

// Reads from the device's current position to the end of the document, the
// first syntax error or the first element nested too deep.
TokenDigest digestTokens(QIODevice* device);
QByteArray tokenDigest(QIODevice* device);
QByteArray tokenDigest(const QByteArray& document);

} // namespace Velmora
