#include "DocumentWriter.h"

#include <QBuffer>
#include <QDomNamedNodeMap>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>
#include <QVector>
#include <QXmlStreamReader>

#include <algorithm>

#include "TokenDigest.h"
#include "XmlText.h"

namespace Velmora {

namespace {

constexpr int IndentWidth = 4;

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

// An element's place is its path from the root ("Zone/Areas/Area[3]/States/
// State[1]"), kept as a 64-bit hash built a step at a time: a district has
// some hundred thousand elements, and their paths would take more room and
// time than the file.
constexpr quint64 HashBasis = 14695981039346656037ULL;

quint64 mixed(quint64 hash, const QString& text)
{
    for (const QChar c : text) {
        hash ^= c.unicode();
        hash *= 1099511628211ULL;
    }
    return hash;
}

quint64 rootKey(const QString& tag)
{
    return mixed(HashBasis, tag);
}

// The place among its siblings: by id where it has one, so that inserting or
// renumbering one list entry leaves the others' places alone.
class PlaceCounter
{
public:
    quint64 childKey(quint64 parentKey, const QString& tag, const QString& id)
    {
        const quint64 key = mixed(mixed(parentKey, QStringLiteral("/")), tag);
        if (!id.isNull())
            return mixed(mixed(mixed(key, QStringLiteral("[")), id), QStringLiteral("]"));
        return mixed(mixed(key, QStringLiteral("#")), QString::number(++m_counts[tag]));
    }

private:
    QHash<QString, int> m_counts;
};

// Text as the document writer always escaped it, so that files written
// before keep their bytes.
void appendEscaped(QString* out, const QString& text, bool inAttribute)
{
    const int size = text.size();
    out->reserve(out->size() + size);
    for (int i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '<':
            *out += QLatin1String("&lt;");
            break;
        case '&':
            *out += QLatin1String("&amp;");
            break;
        case '"':
            *out += inAttribute ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        case '>':
            // Only where it would close a CDATA marker.
            *out += out->endsWith(QLatin1String("]]")) ? QLatin1String("&gt;") : QLatin1String(">");
            break;
        case 0x9:
            *out += inAttribute ? QLatin1String("&#x9;") : QLatin1String("\t");
            break;
        case 0xA:
            *out += inAttribute ? QLatin1String("&#xa;") : QLatin1String("\n");
            break;
        case 0xD:
            *out += QLatin1String("&#xd;");
            break;
        default:
            *out += c;
        }
    }
}

QString utf8Declaration(const QString& data)
{
    const auto pseudoAttribute = [&data](const char* name) {
        const QRegularExpression pattern(QLatin1String("\\b") + QLatin1String(name)
                                         + QLatin1String("\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')"));
        const QRegularExpressionMatch match = pattern.match(data);
        return match.captured(1) + match.captured(2);
    };
    const QString version = pseudoAttribute("version");
    const QString standalone = pseudoAttribute("standalone");
    QString result = QStringLiteral("version=\"%1\" encoding=\"UTF-8\"")
                         .arg(version.isEmpty() ? QStringLiteral("1.0") : version);
    if (!standalone.isEmpty())
        result += QStringLiteral(" standalone=\"%1\"").arg(standalone);
    return result;
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
                *m_out += QLatin1String("<?xml ") + utf8Declaration(node.nodeValue()) + QLatin1String("?>\n");
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
        *m_out += text;
    }

    void indent(int depth) { m_out->append(QString(depth * IndentWidth, QLatin1Char(' '))); }

    // Whitespace around a node is left out where it would change a text.
    static bool afterText(const QDomNode& node) { return node.previousSibling().isText(); }
    static bool beforeText(const QDomNode& node) { return node.nextSibling().isText(); }

    bool child(const QDomNode& node, int depth, quint64 parentKey, PlaceCounter* places)
    {
        if (node.isElement())
            return element(node.toElement(), depth, parentKey, places);
        if (node.isCDATASection()) {
            const QString value = node.nodeValue();
            if (!carried(value, node.parentNode().nodeName() + tr(" text")))
                return false;
            *m_out += QLatin1String("<![CDATA[") + value + QLatin1String("]]>");
        } else if (node.isText()) {
            if (!carried(node.nodeValue(), node.parentNode().nodeName() + tr(" text")))
                return false;
            appendEscaped(m_out, node.nodeValue(), false);
        } else if (node.isComment()) {
            if (!carried(node.nodeValue(), tr("A comment")))
                return false;
            if (!afterText(node))
                indent(depth);
            *m_out += QLatin1String("<!--") + node.nodeValue();
            if (node.nodeValue().endsWith(QLatin1Char('-')))
                *m_out += QLatin1Char(' ');
            *m_out += QLatin1String("-->");
            if (!beforeText(node))
                *m_out += QLatin1Char('\n');
        } else if (node.isProcessingInstruction()) {
            const QDomProcessingInstruction pi = node.toProcessingInstruction();
            *m_out += QLatin1String("<?") + pi.target() + QLatin1Char(' ') + pi.data() + QLatin1String("?>\n");
        } else if (node.isEntityReference()) {
            *m_out += QLatin1Char('&') + node.nodeName() + QLatin1Char(';');
        }
        return true;
    }

    bool element(const QDomElement& element, int depth, quint64 parentKey, PlaceCounter* places)
    {
        const QString tag = element.tagName();
        const QDomNamedNodeMap attributes = element.attributes();
        const quint64 key = places ? places->childKey(parentKey, tag, element.attribute(QStringLiteral("id"), QString()))
                                   : rootKey(tag);
        if (!afterText(element))
            indent(depth);
        *m_out += QLatin1Char('<') + tag;
        const QStringList names = attributes.count() > 1 ? m_writer.attributeOrder(element, key)
                                                         : QStringList(attributes.item(0).nodeName());
        for (const QString& name : names) {
            if (name.isEmpty())
                continue;
            const QString value = element.attribute(name);
            if (!carried(value, tag + QLatin1Char(' ') + name))
                return false;
            *m_out += QLatin1Char(' ') + name + QLatin1String("=\"");
            appendEscaped(m_out, value, true);
            *m_out += QLatin1Char('"');
        }
        if (!element.hasChildNodes()) {
            *m_out += QLatin1String("/>");
        } else {
            *m_out += QLatin1Char('>');
            if (!element.firstChild().isText())
                *m_out += QLatin1Char('\n');
            PlaceCounter childPlaces;
            for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
                if (!child(node, depth + 1, key, &childPlaces))
                    return false;
            }
            if (!element.lastChild().isText())
                indent(depth);
            *m_out += QLatin1String("</") + tag + QLatin1Char('>');
        }
        if (!beforeText(element))
            *m_out += QLatin1Char('\n');
        return true;
    }

    bool carried(const QString& text, const QString& where)
    {
        const int at = Xml::firstNonXmlCharacter(text);
        if (at < 0)
            return true;
        const uint code = text.at(at).unicode();
        m_error = tr("%1 holds the character U+%2, which an XML file cannot carry")
                      .arg(where, QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper());
        return false;
    }

    const DocumentWriter& m_writer;
    QString* m_out;
    QString m_error;
};

void DocumentWriter::learnOrderFromFile(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        learnOrder(&file);
}

void DocumentWriter::learnOrder(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    learnOrder(&buffer);
}

void DocumentWriter::learnOrder(QIODevice* device)
{
    struct Open
    {
        quint64 key;
        PlaceCounter places;
    };
    QVector<Open> open;
    QHash<QString, int> known; // an order's names joined -> its index in m_orders
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
        const QString tag = reader.qualifiedName().toString();
        const QXmlStreamAttributes attributes = reader.attributes();
        QStringList names;
        QString id;
        for (const QXmlStreamAttribute& attribute : attributes) {
            names << attribute.qualifiedName().toString();
            if (attribute.qualifiedName() == QLatin1String("id"))
                id = attribute.value().toString();
        }
        const quint64 key = open.isEmpty() ? rootKey(tag) : open.last().places.childKey(open.last().key, tag, id);
        open.append(Open{key, PlaceCounter()});
        if (names.size() < 2)
            continue;
        const QString joined = names.join(QLatin1Char(' '));
        auto order = known.find(joined);
        if (order == known.end()) {
            order = known.insert(joined, m_orders.size());
            m_orders.append(names);
        }
        m_byElement.insert(key, *order);
    }
}

QStringList DocumentWriter::attributeOrder(const QDomElement& element, quint64 key) const
{
    const QDomNamedNodeMap attributes = element.attributes();
    QStringList present;
    for (int i = 0; i < attributes.count(); ++i)
        present << attributes.item(i).nodeName();
    // Kept attributes where the file had them, new ones after them.
    const auto own = m_byElement.constFind(key);
    QStringList ordered;
    if (own != m_byElement.constEnd()) {
        for (const QString& name : m_orders.at(*own)) {
            if (present.contains(name))
                ordered << name;
        }
    }
    QStringList added;
    for (const QString& name : qAsConst(present)) {
        if (!ordered.contains(name))
            added << name;
    }
    sortByFormat(element.tagName(), &added);
    return ordered + added;
}

bool DocumentWriter::serialize(const QDomDocument& document, QByteArray* out, QString* error) const
{
    QString text;
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
    if (!serialize(document, &bytes, error))
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
