#include "Wire.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace Semtra {
namespace Wire {

namespace {

constexpr qint64 MsPerDay = 86400000;

void putU32(QByteArray* out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out->append(bytes, 4);
}

void putU64(QByteArray* out, quint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out->append(bytes, 8);
}

void putDouble(QByteArray* out, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU64(out, bits);
}

void putSized(QByteArray* out, const QByteArray& bytes)
{
    putU32(out, quint32(bytes.size()));
    out->append(bytes);
}

// List elements keep their own length so that texts and byte arrays can be
// followed by further values.
void putListElement(QByteArray* out, const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        putU32(out, value.toUInt());
        break;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        putU64(out, value.toULongLong());
        break;
    case QMetaType::QString:
        putSized(out, value.toString().toUtf8());
        break;
    case QMetaType::QByteArray:
        putSized(out, value.toByteArray());
        break;
    default:
        break;
    }
}

} // namespace

quint32 readU32(const char* data)
{
    return qFromLittleEndian<quint32>(data);
}

double readDouble(const char* data)
{
    const quint64 bits = qFromLittleEndian<quint64>(data);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QByteArray doubleBytes(double value)
{
    QByteArray out;
    putDouble(&out, value);
    return out;
}

QByteArray encodeRequestParam(const QVariant& param)
{
    QByteArray out;
    switch (param.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        putU32(&out, param.toUInt());
        break;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        putU64(&out, param.toULongLong());
        break;
    case QMetaType::QByteArray:
        // A byte array is already a block (the event mask, for one).
        out = param.toByteArray();
        break;
    case QMetaType::QVariantList:
        for (const QVariant& value : param.toList())
            putListElement(&out, value);
        break;
    default:
        break;
    }
    return out;
}

QByteArray encodeRequestData(quint32 command, const QVariant& param)
{
    QByteArray out;
    putU32(&out, command);
    out.append(encodeRequestParam(param));
    return out;
}

int decodeValue(const unsigned char* data, int size, QVariant::Type type, QVariant* value)
{
    if (!data || size < 4)
        return -1;
    const quint32 head = readU32(reinterpret_cast<const char*>(data));
    switch (type) {
    case QVariant::UInt:
        *value = QVariant(uint(head));
        return 4;
    case QVariant::String:
    case QVariant::ByteArray: {
        // Compared unsigned: a huge length must not wrap into a small one.
        if (head > quint32(size - 4))
            return -1;
        const char* bytes = reinterpret_cast<const char*>(data + 4);
        const int length = int(head);
        if (type == QVariant::String)
            *value = QString::fromUtf8(bytes, length);
        else
            *value = QByteArray(bytes, length);
        return 4 + length;
    }
    default:
        return -1;
    }
}

bool encodeValue(QByteArray* out, const QVariant& value, QVariant::Type type)
{
    switch (type) {
    case QVariant::UInt:
        putU32(out, value.toUInt());
        return true;
    case QVariant::String:
        putSized(out, value.toString().toUtf8());
        return true;
    case QVariant::ByteArray:
        putSized(out, value.toByteArray());
        return true;
    default:
        return false;
    }
}

QByteArray encodeParams(const QVariantList& values, const QList<QVariant::Type>& types)
{
    QByteArray out;
    const int count = qMin(values.size(), types.size());
    for (int i = 0; i < count; ++i) {
        if (!encodeValue(&out, values.at(i), types.at(i)))
            break;
    }
    return out;
}

QByteArray encodeReply(double stamp, quint32 result, quint32 replyCode, const QByteArray& block)
{
    QByteArray out;
    out.reserve(16 + block.size());
    putDouble(&out, stamp);
    putU32(&out, result);
    putU32(&out, replyCode);
    out.append(block);
    return out;
}

QByteArray encodeEvent(quint32 eventId, double stamp, const QVariantList& values)
{
    QByteArray out;
    putU32(&out, eventId);
    putDouble(&out, stamp);
    for (const QVariant& value : values) {
        switch (value.userType()) {
        case QMetaType::Int:
        case QMetaType::UInt:
            out.append(char(1));
            putU32(&out, value.toUInt());
            break;
        case QMetaType::QString:
            out.append(char(2));
            putSized(&out, value.toString().toUtf8());
            break;
        case QMetaType::QByteArray:
            out.append(char(3));
            putSized(&out, value.toByteArray());
            break;
        default:
            // No tag for it; the receiver could not skip an unknown one.
            break;
        }
    }
    return out;
}

double dateTimeToDouble(const QDateTime& time)
{
    if (!time.isValid())
        return std::nan("");
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    const qint64 ms = epoch.msecsTo(time);
    // Floor division: the day before the epoch is -1, whatever the time of day.
    qint64 days = ms / MsPerDay;
    qint64 rest = ms % MsPerDay;
    if (rest < 0) {
        rest += MsPerDay;
        --days;
    }
    const double fraction = double(rest) / double(MsPerDay);
    // Before the epoch the time of day still counts away from zero.
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

QByteArray encodeFrame(const Command::Message& message)
{
    const QByteArray data = message.data.toByteArray();
    QByteArray out;
    out.reserve(20 + data.size());
    putU32(&out, quint32(16 + data.size()));
    putU32(&out, quint32(message.number));
    putU32(&out, quint32(message.objectId));
    putU32(&out, quint32(message.kind));
    putU32(&out, quint32(message.tag));
    out.append(data);
    return out;
}

void FrameReader::append(const QByteArray& bytes)
{
    if (m_offset > 0 && m_offset >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(bytes);
}

FrameReader::Status FrameReader::next(Command::Message* message)
{
    const int available = m_buffer.size() - m_offset;
    if (available < 4)
        return NeedMore;
    const char* head = m_buffer.constData() + m_offset;
    const quint32 length = readU32(head);
    if (length < 16 || length > quint32(MaxFrameSize))
        return Malformed;
    if (quint32(available - 4) < length)
        return NeedMore;
    message->number = int(readU32(head + 4));
    message->objectId = int(readU32(head + 8));
    message->kind = int(readU32(head + 12));
    message->tag = int(readU32(head + 16));
    message->data = QByteArray(head + 20, int(length) - 16);
    m_offset += 4 + int(length);
    if (m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    }
    return Ready;
}

void FrameReader::clear()
{
    m_buffer.clear();
    m_offset = 0;
}

int FrameReader::pending() const
{
    return m_buffer.size() - m_offset;
}

} // namespace Wire
} // namespace Semtra
