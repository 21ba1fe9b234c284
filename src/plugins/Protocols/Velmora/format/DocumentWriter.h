#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDomDocument>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class QDomNamedNodeMap;
class QIODevice;
class QXmlStreamAttributes;

namespace Velmora {

// Writes a configuration document so that a file comes back as it was: four
// blanks a level as the document writer always wrote, and every element's
// attributes in the order the replaced file had them. Attributes the file
// did not have, and those of elements it did not have, follow in the order
// the format lists them, so a diff of two saves shows only what was edited.
// Elements are matched by their place: tag and id, or tag and position
// among the siblings of that tag where there is no id.
//
//     DocumentWriter writer;
//     writer.learnOrder(bytes); // optional: the file's content, learned ahead
//     if (!writer.save(document, path, &error))
//         ... the old file is untouched ...
class DocumentWriter
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::DocumentWriter)

public:
    // Learns the attribute order of a file's content, in place of what was
    // learned before. Malformed content teaches what comes before the fault.
    void learnOrder(const QByteArray& bytes);

    // The document as text, UTF-8. A declaration the document has names
    // UTF-8; none is added. False, with the reason, when a name or text holds
    // a character that XML cannot carry.
    bool serialize(const QDomDocument& document, QByteArray* out, QString* error) const;
    // Serialises and replaces `path` only when the whole text was written,
    // keeping what it held before as backupPath(path) (one generation; a
    // save that changes nothing keeps the older one). A failed save leaves
    // both files as they were. The attributes go in the order of the file
    // being replaced: the order learned ahead serves only while the file
    // still holds the content it was learned from, else it is learned from
    // the file now (a new file has none).
    bool save(const QDomDocument& document, const QString& path, QString* error) const;
    // Replaces a file's content only when all of `bytes` reached the disk.
    static bool replaceFile(const QString& path, const QByteArray& bytes, QString* error);
    // "zone.xtsc" -> "zone.xtsc.bak".
    static QString backupPath(const QString& path);


private:
    class Serializer;

    struct Learned
    {
        quint64 key; // the element's place in the tree, hashed
        int order;   // index in m_orders
    };

    void learnOrder(QIODevice* device);
    // Whether the order was learned from exactly the file's content.
    bool learnedFrom(QIODevice* file) const;
    // This writer while `path` holds what it learned from, else one that
    // learned from the file as it is now (nothing, when there is none).
    DocumentWriter writerFor(const QString& path) const;
    // The index in m_orders of a start tag's attribute order, added if new.
    int orderIndex(const QXmlStreamAttributes& attributes, QMultiHash<quint64, int>* known);
    // The order the file had at the place `key`, or null.
    const QStringList* learnedOrder(quint64 key) const;
    // The order an element's attributes are written in; `key` is its place.
    QStringList attributeOrder(const QDomNamedNodeMap& attributes, const QString& tag, quint64 key) const;

    // The file's elements of two or more attributes, by their place in the
    // tree ("Zone/Areas/Area[3]/States/State[1]", hashed), sorted by it.
    QVector<Learned> m_byElement;
    QVector<QStringList> m_orders; // each order the file used, once
    qint64 m_learnedSize = 0; // characters read, to size the text written
    // The content learned from, told by its size and digest (not for secrecy:
    // a cheap way to tell one content from another).
    qint64 m_sourceSize = -1;
    QByteArray m_sourceDigest;
};

} // namespace Velmora
