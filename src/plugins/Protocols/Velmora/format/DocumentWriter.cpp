#include "DocumentWriter.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDomNamedNodeMap>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <QVector>
#include <QXmlStreamReader>

#include <algorithm>

#include "ElementPlace.h"
#include "TokenDigest.h"
#include "XmlEscape.h"
#include "XmlText.h"

namespace Velmora {

using namespace ElementPlace;
using Xml::appendEscaped;
using Xml::utf8Declaration;

namespace {

constexpr int IndentWidth = 4;

QString idName()
{
    return QStringLiteral("id");
}

// The order in which the format lists attributes, for what a file did not
// have: a special day names its date before its optional id, everything else
// starts with its id.
int formatRank(const QString& tag, const QString& attribute)
{
    static const QStringList ranked{
        QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("default"), QStringLiteral("control_source"),
        QStringLiteral("strategy_id"), QStringLiteral("state_id"), QStringLiteral("state"),
        QStringLiteral("program_id"), QStringLiteral("type"), QStringLiteral("cycle_length"),
        QStringLiteral("cycle_shift"), QStringLiteral("start"), QStringLiteral("length"),
        QStringLiteral("full_length"), QStringLiteral("day")};
    if (tag == QLatin1String("SpecialDay") && attribute == QLatin1String("day"))
        return -1;
    const int rank = ranked.indexOf(attribute);
    return rank < 0 ? ranked.size() : rank;
}

void sortByFormat(const QString& tag, QStringList* names)
{
    std::stable_sort(names->begin(), names->end(), [&tag](const QString& a, const QString& b) {
        const int ra = formatRank(tag, a);
        const int rb = formatRank(tag, b);
        return ra != rb ? ra < rb : a < b;
    });
}

} // namespace

class DocumentWriter::Serializer
{
public:
    Serializer(const DocumentWriter& writer, QString* out)
        : m_writer(writer)
        , m_out(out)
    {
    }

    bool document(const QDomDocument& document)
    {
        bool doctypeWritten = false;
        for (QDomNode node = document.firstChild(); !node.isNull(); node = node.nextSibling()) {
            const bool declaration = isDeclaration(node);
            if (!doctypeWritten && !declaration) {
                doctype(document.doctype());
                doctypeWritten = true;
            }
            if (declaration)
                append(QLatin1String("<?xml "), utf8Declaration(node.nodeValue()), QLatin1String("?>\n"));
            else if (!child(node, 0, HashBasis, nullptr))
                return false;
        }
        return true;
    }

    QString error() const { return m_error; }

private:
    static bool isDeclaration(const QDomNode& node)
    {
        return node.isProcessingInstruction() && node.nodeName() == QLatin1String("xml");
    }

    void doctype(const QDomDocumentType& type)
    {
        if (type.isNull() || type.name().isEmpty())
            return;
        QString text;
        QTextStream stream(&text);
        type.save(stream, IndentWidth);
        stream.flush();
        m_out->append(text);
    }

    void indent(int depth)
    {
        const int at = m_out->size();
        m_out->resize(at + depth * IndentWidth);
        std::fill(m_out->begin() + at, m_out->end(), QLatin1Char(' '));
    }

    // Whitespace around a node is left out where it would change a text.
    static bool afterText(const QDomNode& node) { return node.previousSibling().isText(); }
    static bool beforeText(const QDomNode& node) { return node.nextSibling().isText(); }

    static QString textOf(const QDomNode& node) { return node.parentNode().nodeName() + tr(" text"); }

    bool child(const QDomNode& node, int depth, quint64 parentKey, PlaceCounter* places)
    {
        if (node.isElement())
            return element(node.toElement(), depth, parentKey, places);
        if (node.isCDATASection()) {
            const QString value = node.nodeValue();
            if (!carried(value, [&node] { return textOf(node); }))
                return false;
            append(QLatin1String("<![CDATA["), value, QLatin1String("]]>"));
        } else if (node.isText()) {
            const QString value = node.nodeValue();
            if (!carried(value, [&node] { return textOf(node); }))
                return false;
            appendEscaped(m_out, value, false);
        } else if (node.isComment()) {
            const QString value = node.nodeValue();
            if (!carried(value, [] { return tr("A comment"); }))
                return false;
            if (!afterText(node))
                indent(depth);
            append(QLatin1String("<!--"), value);
            if (value.endsWith(QLatin1Char('-')))
                m_out->append(QLatin1Char(' '));
            m_out->append(QLatin1String("-->"));
            if (!beforeText(node))
                m_out->append(QLatin1Char('\n'));
        } else if (node.isProcessingInstruction()) {
            const QDomProcessingInstruction pi = node.toProcessingInstruction();
            append(QLatin1String("<?"), pi.target(), QLatin1Char(' '), pi.data(), QLatin1String("?>\n"));
        } else if (node.isEntityReference()) {
            append(QLatin1Char('&'), node.nodeName(), QLatin1Char(';'));
        }
        return true;
    }

    bool element(const QDomElement& element, int depth, quint64 parentKey, PlaceCounter* places)
    {
        const QString tag = element.tagName();
        quint64 key = 0;
        if (!places) {
            key = rootKey(tag);
        } else {
            const QString id = element.attribute(idName());
            key = places->childKey(parentKey, tag, element.hasAttribute(idName()) ? &id : nullptr);
        }
        if (!afterText(element))
            indent(depth);
        append(QLatin1Char('<'), tag);
        if (!attributes(element, tag, key))
            return false;
        if (!element.hasChildNodes()) {
            m_out->append(QLatin1String("/>"));
        } else {
            m_out->append(QLatin1Char('>'));
            if (!element.firstChild().isText())
                m_out->append(QLatin1Char('\n'));
            PlaceCounter childPlaces;
            for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
                if (!child(node, depth + 1, key, &childPlaces))
                    return false;
            }
            if (!element.lastChild().isText())
                indent(depth);
            append(QLatin1String("</"), tag, QLatin1Char('>'));
        }
        if (!beforeText(element))
            m_out->append(QLatin1Char('\n'));
        return true;
    }

    bool attributes(const QDomElement& element, const QString& tag, quint64 key)
    {
        const QDomNamedNodeMap attributes = element.attributes();
        const int count = attributes.count();
        if (count == 0)
            return true;
        const QStringList names = count > 1 ? m_writer.attributeOrder(attributes, tag, key)
                                            : QStringList(attributes.item(0).nodeName());
        for (const QString& name : names) {
            if (name.isEmpty())
                continue;
            const QString value = element.attribute(name);
            if (!carried(value, [&] { return tag + QLatin1Char(' ') + name; }))
                return false;
            append(QLatin1Char(' '), name, QLatin1String("=\""));
            appendEscaped(m_out, value, true);
            m_out->append(QLatin1Char('"'));
        }
        return true;
    }

    template<typename... Parts>
    void append(const Parts&... parts)
    {
        (m_out->append(parts), ...);
    }

    // `where` names the place for the message, built only when it is needed.
    template<typename Where>
    bool carried(const QString& text, const Where& where)
    {
        const int at = Xml::firstNonXmlCharacter(text);
        if (at < 0)
            return true;
        const uint code = text.at(at).unicode();
        m_error = tr("%1 holds the character U+%2, which an XML file cannot carry")
                      .arg(where(), QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper());
        return false;
    }

    const DocumentWriter& m_writer;
    QString* m_out;
    QString m_error;
};

void DocumentWriter::learnOrder(const QByteArray& bytes)
{
    *this = DocumentWriter();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    learnOrder(&buffer);
    m_sourceSize = bytes.size();
    m_sourceDigest = QCryptographicHash::hash(bytes, QCryptographicHash::Md4);
}

bool DocumentWriter::learnedFrom(QIODevice* file) const
{
    if (m_sourceSize != file->size())
        return false;
    QCryptographicHash digest(QCryptographicHash::Md4);
    return digest.addData(file) && digest.result() == m_sourceDigest;
}

DocumentWriter DocumentWriter::writerFor(const QString& path) const
{
    // Read through, not held: the old file is read whole again for the backup.
    QFile file(path);
    DocumentWriter fromFile;
    if (!file.open(QIODevice::ReadOnly))
        return fromFile;
    if (learnedFrom(&file))
        return *this;
    file.seek(0);
    fromFile.learnOrder(&file);
    return fromFile;
}

namespace {

// The names of a start tag's attributes hashed in their order, so that the
// orders a file uses are told apart without making a list of each.
quint64 namesKey(const QXmlStreamAttributes& attributes)
{
    quint64 key = HashBasis;
    for (const QXmlStreamAttribute& attribute : attributes)
        key = mixed(mixed(key, attribute.qualifiedName()), QLatin1Char(' '));
    return key;
}

bool sameNames(const QXmlStreamAttributes& attributes, const QStringList& names)
{
    if (attributes.size() != names.size())
        return false;
    for (int i = 0; i < names.size(); ++i) {
        if (attributes.at(i).qualifiedName() != names.at(i))
            return false;
    }
    return true;
}

} // namespace

int DocumentWriter::orderIndex(const QXmlStreamAttributes& attributes, QMultiHash<quint64, int>* known)
{
    const quint64 key = namesKey(attributes);
    for (auto it = known->constFind(key); it != known->constEnd() && it.key() == key; ++it) {
        if (sameNames(attributes, m_orders.at(*it)))
            return *it;
    }
    QStringList names;
    for (const QXmlStreamAttribute& attribute : attributes)
        names << attribute.qualifiedName().toString();
    m_orders.append(names);
    known->insert(key, m_orders.size() - 1);
    return m_orders.size() - 1;
}

void DocumentWriter::learnOrder(QIODevice* device)
{
    struct Open
    {
        quint64 key;
        PlaceCounter places;
    };
    QVector<Open> open;
    QMultiHash<quint64, int> known; // namesKey() -> index in m_orders
    QXmlStreamReader reader(device);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            open.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (open.size() >= MaxNestingDepth)
            break;
        const QStringRef tag = reader.qualifiedName();
        const QXmlStreamAttributes attributes = reader.attributes();
        const QXmlStreamAttribute* id = nullptr;
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (attribute.qualifiedName() == idName())
                id = &attribute;
        }
        const QStringRef idValue = id ? id->value() : QStringRef();
        const quint64 key = open.isEmpty() ? rootKey(tag)
                                           : open.last().places.childKey(open.last().key, tag, id ? &idValue : nullptr);
        open.append(Open{key, PlaceCounter()});
        if (attributes.size() >= 2)
            m_byElement.append(Learned{key, orderIndex(attributes, &known)});
    }
    m_learnedSize = std::max(m_learnedSize, reader.characterOffset());
    // Sorted for lookup; of two elements in the same place, the later counts.
    std::stable_sort(m_byElement.begin(), m_byElement.end(),
                     [](const Learned& a, const Learned& b) { return a.key < b.key; });
}

const QStringList* DocumentWriter::learnedOrder(quint64 key) const
{
    const auto after = std::upper_bound(m_byElement.cbegin(), m_byElement.cend(), key,
                                        [](quint64 k, const Learned& learned) { return k < learned.key; });
    if (after == m_byElement.cbegin() || (after - 1)->key != key)
        return nullptr;
    return &m_orders.at((after - 1)->order);
}

QStringList DocumentWriter::attributeOrder(const QDomNamedNodeMap& attributes, const QString& tag, quint64 key) const
{
    const QStringList* learned = learnedOrder(key);
    // The common case: the element has just the attributes the file had.
    if (learned && learned->size() == attributes.count()
        && std::all_of(learned->cbegin(), learned->cend(),
                       [&attributes](const QString& name) { return attributes.contains(name); }))
        return *learned;
    QStringList present;
    for (int i = 0; i < attributes.count(); ++i)
        present << attributes.item(i).nodeName();
    // Kept attributes where the file had them, new ones after them.
    QStringList ordered;
    if (learned) {
        for (const QString& name : *learned) {
            if (present.contains(name))
                ordered << name;
        }
    }
    QStringList added;
    for (const QString& name : qAsConst(present)) {
        if (!ordered.contains(name))
            added << name;
    }
    sortByFormat(tag, &added);
    return ordered + added;
}

bool DocumentWriter::serialize(const QDomDocument& document, QByteArray* out, QString* error) const
{
    QString text;
    // The learned file's size is a good guess of the text's: one allocation.
    text.reserve(int(std::min<qint64>(m_learnedSize + m_learnedSize / 8 + 4096, 0x3fffffff)));
    Serializer serializer(*this, &text);
    if (!serializer.document(document)) {
        *error = serializer.error();
        return false;
    }
    *out = text.toUtf8();
    return true;
}

QString DocumentWriter::backupPath(const QString& path)
{
    return path + QStringLiteral(".bak");
}

namespace {

// Unbuffered, so that a short write (a full disk) shows in the count: the
// buffered device reports such a write as done.
bool writeWhole(QSaveFile* file, const QByteArray& bytes, QString* error)
{
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file->errorString();
        return false;
    }
    if (file->write(bytes) != bytes.size()) {
        *error = file->error() == QFileDevice::NoError ? DocumentWriter::tr("only part of the file could be written")
                                                       : file->errorString();
        file->cancelWriting();
        return false;
    }
    return true;
}

} // namespace

bool DocumentWriter::replaceFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!writeWhole(&file, bytes, error))
        return false;
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool DocumentWriter::save(const QDomDocument& document, const QString& path, QString* error) const
{
    QByteArray bytes;
    if (!writerFor(path).serialize(document, &bytes, error))
        return false;
    // Neither file changes until the new content is complete on disk.
    QSaveFile file(path);
    if (!writeWhole(&file, bytes, error))
        return false;
    QFile current(path);
    QByteArray previous;
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly)) {
            *error = current.errorString();
            file.cancelWriting();
            return false;
        }
        previous = current.readAll();
    }
    // A save that changes nothing keeps the older backup: the plan before
    // the last real edit stays one step away.
    const QString backup = backupPath(path);
    const bool newBackup = current.exists() && previous != bytes;
    QFile oldBackup(backup);
    const bool hadBackup = oldBackup.open(QIODevice::ReadOnly);
    const QByteArray oldBackupBytes = hadBackup ? oldBackup.readAll() : QByteArray();
    if (newBackup && !replaceFile(backup, previous, error)) {
        *error = tr("the previous version could not be kept as %1: %2").arg(backup, *error);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        QString ignored;
        if (newBackup && !(hadBackup ? replaceFile(backup, oldBackupBytes, &ignored) : QFile::remove(backup)))
            *error += tr("; %1 now holds the version the save was to replace").arg(backup);
        return false;
    }
    return true;
}

} // namespace Velmora
