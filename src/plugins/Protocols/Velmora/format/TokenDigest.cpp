#include "TokenDigest.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QXmlStreamReader>

namespace Velmora {

namespace {

// Feeds tokens as UTF-8. Most tokens are ASCII: those go through one reused
// buffer instead of a new byte array per token.
class TokenHash
{
public:
    void add(QStringRef text)
    {
        const int size = text.size();
        const QChar* chars = text.unicode();
        m_buffer.resize(size);
        char* out = m_buffer.data();
        for (int i = 0; i < size; ++i) {
            const ushort c = chars[i].unicode();
            if (c >= 0x80) {
                m_hash.addData(text.toUtf8());
                return;
            }
            out[i] = char(c);
        }
        m_hash.addData(m_buffer.constData(), size);
    }

    QByteArray result() const { return m_hash.result(); }

private:
    QCryptographicHash m_hash {QCryptographicHash::Md4};
    QByteArray m_buffer;
};

void addStartElement(TokenHash& hash, const QXmlStreamReader& reader)
{
    hash.add(reader.name());
    const QXmlStreamAttributes attributes = reader.attributes();
    for (const QXmlStreamAttribute& attribute : attributes) {
        hash.add(attribute.name());
        hash.add(attribute.value());
    }
}

} // namespace

TokenDigest digestTokens(QIODevice* device)
{
    TokenHash hash;
    TokenDigest result;
    QXmlStreamReader reader(device);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > MaxNestingDepth) {
                reader.raiseError(QCoreApplication::translate(
                    "Velmora::TokenDigest", "Elements nested deeper than %1 levels")
                                      .arg(MaxNestingDepth));
                result.tooDeep = true;
                break;
            }
            addStartElement(hash, reader);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            hash.add(reader.name());
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace())
                hash.add(reader.text());
            break;
        default:
            break;
        }
    }
    result.digest = hash.result();
    if (reader.hasError()) {
        result.error = reader.errorString();
        result.line = reader.lineNumber();
        // Counted from 1, as the document parser counts its columns.
        result.column = reader.columnNumber() + 1;
    }
    return result;
}

QByteArray tokenDigest(QIODevice* device)
{
    return digestTokens(device).digest;
}

QByteArray tokenDigest(const QByteArray& document)
{
    QBuffer buffer;
    buffer.setData(document);
    buffer.open(QIODevice::ReadOnly);
    return tokenDigest(&buffer);
}

} // namespace Velmora
