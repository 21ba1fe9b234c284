#include "TokenDigest.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QXmlStreamReader>

namespace Velmora {

namespace {

void addString(QCryptographicHash& hash, QStringRef text)
{
    hash.addData(text.toUtf8());
}

void addStartElement(QCryptographicHash& hash, const QXmlStreamReader& reader)
{
    addString(hash, reader.name());
    const QXmlStreamAttributes attributes = reader.attributes();
    for (const QXmlStreamAttribute& attribute : attributes) {
        addString(hash, attribute.name());
        addString(hash, attribute.value());
    }
}

} // namespace

QByteArray tokenDigest(QIODevice* device)
{
    QCryptographicHash hash(QCryptographicHash::Md4);
    QXmlStreamReader reader(device);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            addStartElement(hash, reader);
            break;
        case QXmlStreamReader::EndElement:
            addString(hash, reader.name());
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace())
                addString(hash, reader.text());
            break;
        default:
            break;
        }
    }
    return hash.result();
}

QByteArray tokenDigest(const QByteArray& document)
{
    QBuffer buffer;
    buffer.setData(document);
    buffer.open(QIODevice::ReadOnly);
    return tokenDigest(&buffer);
}

} // namespace Velmora
