#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "Zone.h"
#include "ZoneDescription.h"

class QIODevice;

namespace Velmora {

struct TokenDigest;

// A configuration file read for a zone: all of Zone::load that touches no
// model object (the digest, the parse, the description of the zone and the
// messages of all that), so that it may run on any thread.
struct ZoneFile
{
    QString fileName;
    // Logged before the model is built, in order: a file that cannot be
    // opened or parsed, a hash that covers only a part of it.
    QStringList messages;
    // False when the file could not be opened or parsed: the zone keeps
    // what it held.
    bool parsed = false;
    // The file went through the document parser.
    bool documentParsed = false;
    ZoneDescription zone;
    QByteArray localHash;

    static ZoneFile read(const QString& fileName, Zone::Reading reading);

private:
    // The document path from the digest on: parses the file from its start
    // and describes the zone from the document.
    void readDocument(QIODevice* file, const TokenDigest& pass);
    void addSyntaxError(qint64 line, qint64 column, const QString& message);
};

} // namespace Velmora
