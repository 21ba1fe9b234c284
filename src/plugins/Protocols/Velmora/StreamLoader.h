#pragma once

#include <QScopedPointer>

#include "ZoneDescription.h"
#include "format/TokenDigest.h"

class QIODevice;
class QString;

namespace Velmora {

// Reads a zone configuration in one streaming pass: the token digest of the
// file and, on the way, the description of the zone that the document walk
// (ZoneReading::describe) gives, under the same rules. The pass cannot settle
// every file alone: after a syntax error the document parser has the last
// word (its message, and the files it accepts anyway), and where the two
// parsers would read the same bytes differently (a document type declaration,
// processing instructions, namespaces, names outside plain ASCII, tabs or line
// breaks inside attribute values, encodings other than UTF-8 and
// windows-1251) the document path reads the file. Touches no model object.
class StreamLoader
{
public:
    // `sourceName` is the file named in warnings.
    explicit StreamLoader(const QString& sourceName);
    ~StreamLoader();
    StreamLoader(const StreamLoader&) = delete;
    StreamLoader& operator=(const StreamLoader&) = delete;

    // Reads from the device's position to the end of the document, its first
    // syntax error or its first element nested too deep.
    void read(QIODevice* device);

    // What digestTokens() gives for the same bytes.
    const TokenDigest& pass() const;
    // True when the file needs no document parse: the whole document was read
    // and nothing in it could be read otherwise by the document parser.
    bool isSettled() const;
    // For a settled file: the zone as the document walk describes it.
    ZoneDescription description();

private:
    class Private;
    QScopedPointer<Private> d;
};

} // namespace Velmora
