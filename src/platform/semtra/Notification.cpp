#include "Notification.h"

#include "Rare.h"
#include "Wire.h"



namespace {

// Value tags of event data, in the order of the parameter block's types.
QVariant::Type typeOfTag(unsigned char tag)
{
    switch (tag) {
    case 1:
        return QVariant::UInt;
    case 2:
        return QVariant::String;
    case 3:
        return QVariant::ByteArray;
    default:
        return QVariant::Invalid;
    }
}

} // namespace

Notification::Notification(const QByteArray& data, int tag, QObject* parent)
    : QObject(parent)
    , m_bytes(data)
    , m_tag(tag)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_bytes.constData());
    const int size = m_bytes.size();
    if (size < 12)
        return;
    m_id = int(Semtra::Wire::readU32(m_bytes.constData()));
    m_timeStamp = Rare::doubleToDateTime(Semtra::Wire::readDouble(m_bytes.constData() + 4));

    int offset = 12;
    while (offset < size) {
        const QVariant::Type type = typeOfTag(bytes[offset]);
        if (type == QVariant::Invalid)
            break;
        QVariant value;
        const int used = Semtra::Wire::decodeValue(bytes + offset + 1, size - offset - 1, type, &value);
        if (used < 0)
            break;
        m_values.append(value);
        offset += 1 + used;
    }
}

Notification::~Notification() = default;

int Notification::id() const
{
    return m_id;
}

QVariantList Notification::data() const
{
    return m_values;
}

QDateTime Notification::timeStamp() const
{
    return m_timeStamp;
}

int Notification::tag() const
{
    return m_tag;
}

QByteArray Notification::bytes() const
{
    return m_bytes;
}
