#include "ZoneVersions.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "Velmora/format/ConfigDiff.h"
#include "Velmora/format/DocumentWriter.h"
#include "Velmora/format/TokenDigest.h"

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ZoneVersions", text);
}

bool readWhole(const QString& fileName, QByteArray* bytes, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    return true;
}

bool writeWhole(const QString& fileName, const QByteArray& bytes, QString* error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.commit()) {
        *error = tr("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

// Deep nesting is refused before the document parser recurses through it.
bool parse(const QByteArray& bytes, QDomDocument* document, QString* error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const Velmora::TokenDigest pass = Velmora::digestTokens(&buffer);
    QString message;
    int line = 0;
    int column = 0;
    if (pass.tooDeep) {
        *error = tr("line %1: %2").arg(pass.line).arg(pass.error);
        return false;
    }
    if (!document->setContent(bytes, false, &message, &line, &column)) {
        *error = tr("line %1: %2").arg(line).arg(message);
        return false;
    }
    return true;
}

} // namespace

void ZoneVersions::editorOpened(const QString& fileName)
{
    QByteArray bytes;
    QString ignored;
    if (readWhole(fileName, &bytes, &ignored))
        m_opened.insert(QFileInfo(fileName).absoluteFilePath(), bytes);
}

QStringList ZoneVersions::changesSaved(const QString& fileName)
{
    const QByteArray before = m_opened.take(QFileInfo(fileName).absoluteFilePath());
    QByteArray after;
    QStringList changes;
    QString error;
    if (before.isNull() || !readWhole(fileName, &after, &error) || !compare(before, after, &changes, &error))
        return error.isEmpty() ? QStringList() : QStringList{error};
    return changes;
}

QString ZoneVersions::previousVersion(const QString& fileName)
{
    return Velmora::DocumentWriter::backupPath(fileName);
}

bool ZoneVersions::hasPreviousVersion(const QString& fileName)
{
    return !fileName.isEmpty() && QFileInfo(previousVersion(fileName)).isFile();
}

bool ZoneVersions::revertChanges(const QString& fileName, QStringList* changes, QString* error)
{
    QByteArray current;
    QByteArray previous;
    return readWhole(fileName, &current, error) && readWhole(previousVersion(fileName), &previous, error)
        && compare(current, previous, changes, error);
}

bool ZoneVersions::revert(const QString& fileName, QString* error)
{
    const QString backup = previousVersion(fileName);
    QByteArray current;
    QByteArray previous;
    if (!readWhole(fileName, &current, error) || !readWhole(backup, &previous, error))
        return false;
    if (!writeWhole(fileName, previous, error))
        return false;
    if (!writeWhole(backup, current, error)) {
        QString ignored;
        writeWhole(fileName, current, &ignored);
        return false;
    }
    return true;
}

bool ZoneVersions::compare(const QByteArray& before, const QByteArray& after, QStringList* changes, QString* error)
{
    QDomDocument old;
    QDomDocument now;
    if (!parse(before, &old, error) || !parse(after, &now, error))
        return false;
    *changes = Velmora::ConfigDiff::compare(old.documentElement(), now.documentElement());
    return true;
}
