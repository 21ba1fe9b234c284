#include "ZoneFile.h"

#include <QDomDocument>
#include <QFile>

#include "StreamLoader.h"
#include "ZoneReading.h"
#include "format/TokenDigest.h"
#include "format/XmlDocument.h"

namespace Velmora {

ZoneFile ZoneFile::read(const QString& fileName, Zone::Reading reading)
{
    ZoneFile read;
    read.fileName = fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        read.messages << Zone::tr("Error opening file %1: %2").arg(fileName, file.errorString());
        return read;
    }
    if (reading == Zone::Reading::Document) {
        read.readDocument(&file, digestTokens(&file));
        return read;
    }
    StreamLoader loader(fileName);
    loader.read(&file);
    if (!loader.isSettled()) {
        read.readDocument(&file, loader.pass());
        return read;
    }
    read.parsed = true;
    read.zone = loader.description();
    read.localHash = loader.pass().digest;
    return read;
}

void ZoneFile::readDocument(QIODevice* file, const TokenDigest& pass)
{
    if (pass.tooDeep) {
        addSyntaxError(pass.line, pass.column, pass.error);
        return;
    }
    documentParsed = true;
    file->seek(0);
    QDomDocument document;
    Xml::ReadError parseError;
    // The digest pass may have stopped early at what this parser reads on past.
    if (!Xml::parseDocument(file, &document, &parseError)) {
        addSyntaxError(parseError.line, parseError.column, parseError.message);
        return;
    }
    if (!pass.isComplete()) {
        // The document parser accepts what the streaming reader did not (an
        // undeclared entity): the hash covers only the part before it.
        messages << Zone::tr("File %1: the configuration hash covers the file only up "
                             "to %2:%3, where reading its tokens stopped: %4")
                        .arg(fileName)
                        .arg(pass.line)
                        .arg(pass.column)
                        .arg(pass.error);
    }
    parsed = true;
    zone = ZoneReading::describe(document.documentElement(), fileName);
    localHash = pass.digest;
}

void ZoneFile::addSyntaxError(qint64 line, qint64 column, const QString& message)
{
    messages << Zone::tr("Error processing file %1 (%2:%3): %4").arg(fileName).arg(line).arg(column).arg(message);
}

} // namespace Velmora
