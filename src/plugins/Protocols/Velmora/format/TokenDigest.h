#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;
class QXmlStreamReader;

namespace Velmora {

// Real configurations nest about six levels. Deeper files are refused before a
// document parser recurses through them and exhausts the stack.
constexpr int MaxNestingDepth = 256;
// "Elements nested deeper than 256 levels", translated.
QString nestingTooDeepMessage();

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

// Sees the tokens of a digest pass as they are read, so that a reader can build
// its model in the same pass.
class TokenObserver
{
public:
    virtual ~TokenObserver();
    // Called for every token after it was digested, except a start tag past
    // the nesting bound. `depth` counts the open elements, the one a start tag
    // opens or an end tag closes included.
    virtual void observe(const QXmlStreamReader& reader, int depth) = 0;
};

// Reads from the device's current position to the end of the document, the
// first syntax error or the first element nested too deep.
TokenDigest digestTokens(QIODevice* device, TokenObserver* observer = nullptr);
QByteArray tokenDigest(QIODevice* device);
QByteArray tokenDigest(const QByteArray& document);

} // namespace Velmora
