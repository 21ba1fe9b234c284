#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QDomDocument;

namespace Velmora {
namespace Xml {
struct ReadError;
}

namespace Editors {

// The file an editor opened, its bytes kept as they were read: the editor's
// save notices when someone else saved over the file since.
class OpenedFile
{
public:
    explicit OpenedFile(const QString& fileName);

    // Reads the whole file and parses it into `document`; false with the
    // reason when it cannot be opened or parsed.
    bool read(QDomDocument* document, Xml::ReadError* error);
    // The file as it is on disk now, parsed as read() parses it; the document
    // goes with Xml::releaseAside.
    bool readAsOnDisk(QDomDocument* document, Xml::ReadError* error) const;
    const QString& name() const { return m_name; }
    // True once the file was read: it is there to be compared with.
    bool wasRead() const { return m_read; }
    // True when the file on disk is no longer as it was read: then `deleted`
    // tells whether it is gone, and `changes` lists what the other save changed.
    bool changedOnDisk(bool* deleted, QStringList* changes) const;

private:
    QString m_name;
    QByteArray m_bytes;
    bool m_read = false;
};

} // namespace Editors
} // namespace Velmora
