#include "TokenDigest.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QXmlStreamReader>

#include <cstring>

namespace Velmora {

namespace {

// Feeds tokens as UTF-8 with nothing between them, through a buffer, so that
// the hash takes a few large pieces instead of one per token.
class TokenHash
{
public:
    void add(const QStringRef& text)
    {
        const int size = text.size();
        if (size > Capacity - m_used)
            flush();
        if (size > Capacity) {
            m_hash.addData(text.toUtf8());
            return;
        }
        const QChar* chars = text.unicode();
        char* out = m_buffer.data() + m_used;
        for (int i = 0; i < size; ++i) {
            const ushort c = chars[i].unicode();
            if (c >= 0x80) {
                addUtf8(text.toUtf8());
                return;
            }
            out[i] = char(c);
        }
        m_used += size;
    }

    QByteArray result()
    {
        flush();
        return m_hash.result();
    }

private:
    static constexpr int Capacity = 1 << 16;

    void addUtf8(const QByteArray& bytes)
    {
        if (bytes.size() > Capacity - m_used)
            flush();
        if (bytes.size() > Capacity) {
            m_hash.addData(bytes);
            return;
        }
        std::memcpy(m_buffer.data() + m_used, bytes.constData(), size_t(bytes.size()));
        m_used += bytes.size();
    }

    void flush()
    {
        if (m_used > 0)
            m_hash.addData(m_buffer.constData(), m_used);
        m_used = 0;
    }

    QCryptographicHash m_hash {QCryptographicHash::Md4};
    QByteArray m_buffer {Capacity, Qt::Uninitialized};
    int m_used = 0;
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

QString nestingTooDeepMessage()
{
    return QCoreApplication::translate("Velmora::TokenDigest", "Elements nested deeper than %1 levels")
        .arg(MaxNestingDepth);
}

TokenObserver::~TokenObserver() = default;

TokenDigest digestTokens(QIODevice* device, TokenObserver* observer)
{
    TokenHash hash;
    TokenDigest result;
    QXmlStreamReader reader(device);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        switch (token) {
        case QXmlStreamReader::StartElement:
            if (++depth > MaxNestingDepth) {
                reader.raiseError(nestingTooDeepMessage());
                result.tooDeep = true;
                continue;
            }
            addStartElement(hash, reader);
            break;
        case QXmlStreamReader::EndElement:
            hash.add(reader.name());
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace())
                hash.add(reader.text());
            break;
        default:
            break;
        }
        if (observer)
            observer->observe(reader, depth);
        if (token == QXmlStreamReader::EndElement)
            --depth;
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
