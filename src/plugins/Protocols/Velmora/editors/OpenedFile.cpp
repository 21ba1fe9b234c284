#include "OpenedFile.h"

#include <QDomDocument>
#include <QFile>

#include "format/ConfigDiff.h"
#include "format/XmlDocument.h"

namespace Velmora {
namespace Editors {

namespace {

// The file's bytes as they are now; false when it is gone or cannot be read.
bool readBytes(const QString& fileName, QByteArray* bytes, QString* error = nullptr)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    *bytes = file.readAll();
    return true;
}

// The same for a document to be parsed: the reason goes to the read error.
bool readBytes(const QString& fileName, QByteArray* bytes, Xml::ReadError* error)
{
    if (readBytes(fileName, bytes, &error->message))
        return true;
    error->kind = Xml::ReadError::CannotOpen;
    return false;
}

} // namespace

OpenedFile::OpenedFile(const QString& fileName)
    : m_name(fileName)
{
}

bool OpenedFile::read(QDomDocument* document, Xml::ReadError* error)
{
    m_read = readBytes(m_name, &m_bytes, error);
    // Parsed on a thread of its own, so that the editor can free it there.
    return m_read && Xml::parseDocumentAside(m_bytes, document, error);
}

bool OpenedFile::readAsOnDisk(QDomDocument* document, Xml::ReadError* error) const
{
    QByteArray bytes;
    return readBytes(m_name, &bytes, error) && Xml::parseDocumentAside(bytes, document, error);
}

bool OpenedFile::changedOnDisk(bool* deleted, QStringList* changes) const
{
    if (!m_read)
        return false;
    QByteArray now;
    *deleted = !readBytes(m_name, &now);
    if (!*deleted && now == m_bytes)
        return false;
    QString error;
    if (!*deleted && !ConfigDiff::compareTexts(m_bytes, now, changes, &error))
        *changes << error;
    return true;
}

} // namespace Editors
} // namespace Velmora
