#pragma once

#include <QScopedPointer>

#include "format/TokenDigest.h"

class QIODevice;
class QString;

namespace Velmora {

class Zone;

// Reads a zone configuration in one streaming pass: the token digest of the
// file and, on the way, the objects and map items that reading the parsed
// document (Zone::loadFromElement) builds, with the messages that reading
// logs. The pass cannot settle every file alone: after a syntax error the
// document parser has the last word (its message, and the files it accepts
// anyway), and where the two parsers would read the same bytes differently
// (a document type declaration, processing instructions, namespaces, names
// outside plain ASCII, tabs or line breaks inside attribute values, encodings
// other than UTF-8 and windows-1251) the document path reads the file.
class StreamLoader
{
public:
    explicit StreamLoader(Zone* zone);
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
    // For a settled file: logs what reading the document logs, in its order,
    // and replaces the zone's model with the one built. False, with the text
    // that fails the load, when an element had no valid id; the zone is then
    // left without objects.
    bool commit(QString* error);

private:
    class Private;
    QScopedPointer<Private> d;
};

} // namespace Velmora
