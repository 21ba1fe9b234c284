#include "ZoneChanges.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QHash>
#include <QString>
#include <QTextCodec>
#include <QVector>
#include <QXmlStreamReader>

#include <algorithm>
#include <memory>

#include "Velmora/format/ConfigDiff.h"
#include "Velmora/format/TokenDigest.h"

namespace Velmora {

namespace {

// An area element of the zone: where its text is, in bytes, the id it is
// matched by, and a digest of what it says.
struct AreaText
{
    QString id; // empty without one, as the comparison keys it
    int begin;
    int end;
    QByteArray digest;
};

// What an area says, whatever its layout: names, attributes in their order
// and the text that is not blank. Comments and blanks give no line either.
class AreaDigest
{
public:
    void add(const QXmlStreamReader& reader)
    {
        switch (reader.tokenType()) {
        case QXmlStreamReader::StartElement:
            addText('<', reader.qualifiedName());
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                addText(' ', attribute.qualifiedName());
                addText('=', attribute.value());
            }
            break;
        case QXmlStreamReader::EndElement:
            m_hash.addData("/", 1);
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace())
                addText('"', reader.text());
            break;
        default:
            break;
        }
    }

    QByteArray result() const { return m_hash.result(); }

private:
    // Kind, length, characters: no two token sequences run together alike.
    void addText(char kind, const QStringRef& text)
    {
        const int size = text.size();
        m_hash.addData(&kind, 1);
        m_hash.addData(reinterpret_cast<const char*>(&size), sizeof size);
        m_hash.addData(reinterpret_cast<const char*>(text.constData()), size * int(sizeof(QChar)));
    }

    QCryptographicHash m_hash{QCryptographicHash::Sha1};
};

bool startsWithByteOrderMark(const QByteArray& bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

// Cut text is compared as UTF-8, so only UTF-8 is cut; checked a piece at a
// time, so that a district's text is not held twice more as characters.
bool isUtf8(const QByteArray& bytes)
{
    constexpr int Piece = 1 << 20;
    QTextCodec* utf8 = QTextCodec::codecForMib(106);
    QTextCodec::ConverterState state;
    for (int at = 0; at < bytes.size(); at += Piece) {
        utf8->toUnicode(bytes.constData() + at, qMin(Piece, bytes.size() - at), &state);
        if (state.invalidChars > 0)
            return false;
    }
    return state.remainingChars == 0;
}

// The reader counts characters (UTF-16 units, without a byte order mark);
// cuts are made in the bytes. Offsets are asked for in increasing order.
class ByteOffsets
{
public:
    explicit ByteOffsets(const QByteArray& bytes)
        : m_bytes(bytes)
        , m_byte(startsWithByteOrderMark(bytes) ? 3 : 0)
    {
    }

    int at(qint64 characters)
    {
        while (m_characters < characters && m_byte < m_bytes.size()) {
            const uchar lead = uchar(m_bytes.at(m_byte));
            m_characters += lead >= 0xF0 ? 2 : 1; // four bytes: a surrogate pair
            m_byte += lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        }
        return m_byte;
    }

private:
    const QByteArray& m_bytes;
    int m_byte;
    qint64 m_characters = 0;
};

bool declaresOtherEncoding(const QXmlStreamReader& reader)
{
    const QStringRef encoding = reader.documentEncoding();
    return !encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0;
}

// The Area children of the root's Areas. False, leaving nothing to cut, when
// the text is not read to its end without fault or has a document type (its
// entities could give the same text another meaning in the other version).
bool findAreas(const QByteArray& bytes, QVector<AreaText>* areas)
{
    // Through a device the reader decodes a piece at a time, not the whole text.
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
    // Names as the document parser sees them, namespace declarations included.
    reader.setNamespaceProcessing(false);
    ByteOffsets offsets(bytes);
    int depth = 0;
    bool inAreas = false;
    AreaText open{QString(), -1, -1, QByteArray()};
    std::unique_ptr<AreaDigest> digest;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (digest)
            digest->add(reader);
        switch (token) {
        case QXmlStreamReader::StartDocument:
            if (declaresOtherEncoding(reader))
                return false;
            break;
        case QXmlStreamReader::DTD:
            return false;
        case QXmlStreamReader::StartElement:
            if (++depth > MaxNestingDepth)
                return false;
            if (depth == 2)
                inAreas = reader.qualifiedName() == QLatin1String("Areas");
            if (depth == 3 && inAreas && reader.qualifiedName() == QLatin1String("Area")) {
                // A start tag holds no other '<'.
                const int tagEnd = offsets.at(reader.characterOffset());
                open = AreaText{reader.attributes().value(QLatin1String("id")).toString(),
                                bytes.lastIndexOf('<', tagEnd - 1), -1, QByteArray()};
                digest = std::make_unique<AreaDigest>();
                digest->add(reader);
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 3 && open.begin >= 0) {
                open.end = offsets.at(reader.characterOffset());
                open.digest = digest->result();
                digest.reset();
                areas->append(open);
                open.begin = -1;
            }
            --depth;
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

QHash<QString, int> idCounts(const QVector<AreaText>& areas)
{
    QHash<QString, int> counts;
    for (const AreaText& area : areas)
        ++counts[area.id];
    return counts;
}

// The text without the given areas, which are in the order of the text.
QByteArray without(const QByteArray& bytes, const QVector<AreaText>& cut)
{
    QByteArray kept;
    int from = 0;
    for (const AreaText& area : cut) {
        kept += QByteArray::fromRawData(bytes.constData() + from, area.begin - from);
        from = area.end;
    }
    kept += QByteArray::fromRawData(bytes.constData() + from, bytes.size() - from);
    return kept;
}

// Cuts the areas that say the same in both texts; false where the texts are
// not read alike enough to know.
bool cutUnchangedAreas(const QByteArray& before, const QByteArray& after, QByteArray* cutBefore, QByteArray* cutAfter)
{
    QVector<AreaText> oldAreas;
    QVector<AreaText> newAreas;
    if (!isUtf8(before) || !isUtf8(after) || !findAreas(before, &oldAreas) || !findAreas(after, &newAreas))
        return false;
    // An id twice in a file leaves the comparison to choose which one counts.
    const QHash<QString, int> oldCounts = idCounts(oldAreas);
    const QHash<QString, int> newCounts = idCounts(newAreas);
    QHash<QString, AreaText> unique;
    for (const AreaText& area : qAsConst(oldAreas)) {
        if (oldCounts.value(area.id) == 1 && newCounts.value(area.id) == 1)
            unique.insert(area.id, area);
    }
    QVector<AreaText> oldCut;
    QVector<AreaText> newCut;
    for (const AreaText& area : qAsConst(newAreas)) {
        const auto match = unique.constFind(area.id);
        if (match != unique.constEnd() && match->digest == area.digest) {
            oldCut.append(*match);
            newCut.append(area);
        }
    }
    std::sort(oldCut.begin(), oldCut.end(), [](const AreaText& a, const AreaText& b) { return a.begin < b.begin; });
    *cutBefore = without(before, oldCut);
    *cutAfter = without(after, newCut);
    return true;
}

} // namespace

bool ZoneChanges::compare(const QByteArray& before, const QByteArray& after, QStringList* changes, QString* error)
{
    QByteArray cutBefore;
    QByteArray cutAfter;
    if (!cutUnchangedAreas(before, after, &cutBefore, &cutAfter))
        return ConfigDiff::compareTexts(before, after, changes, error);
    return ConfigDiff::compareTexts(cutBefore, cutAfter, changes, error);
}

} // namespace Velmora
