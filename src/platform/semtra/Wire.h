#pragma once

#include "Message.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QVariant>

// Byte formats shared by the connection and the service (docs/protocol.md).
namespace Semtra {
namespace Wire {

// Frames larger than this are refused as malformed.
constexpr int MaxFrameSize = 16 * 1024 * 1024;

// A request parameter as the connection sends it: invalid = nothing, int/uint 4
// bytes, 64-bit 8 bytes, a byte array unchanged, a list element by element.
SEMTRA_EXPORT QByteArray encodeRequestParam(const QVariant& param);

// The data of a request frame: the 4-byte command code, then the parameter.
SEMTRA_EXPORT QByteArray encodeRequestData(quint32 command, const QVariant& param);

// One value of a parameter block (uint 4 bytes; QString and QByteArray with a
// 4-byte length). Returns the bytes used, or -1 when the value does not fit or
// the type is none of the three; never reads past size.
SEMTRA_EXPORT int decodeValue(const unsigned char* data, int size, QVariant::Type type,
                              QVariant* value);
// Appends one value as decodeValue() reads it; false for another type.
SEMTRA_EXPORT bool encodeValue(QByteArray* out, const QVariant& value, QVariant::Type type);

// A parameter block by the listed types (uint, QString, QByteArray). Stops at the
// shorter of the two lists or at the first unsupported type, as the decoder does.
SEMTRA_EXPORT QByteArray encodeParams(const QVariantList& values,
                                      const QList<QVariant::Type>& types);

// Reply data: time stamp, result code, reply code, then the block.
SEMTRA_EXPORT QByteArray encodeReply(double stamp, quint32 result, quint32 replyCode,
                                     const QByteArray& block);

// Event data: event id, time stamp, then tagged values (1 uint, 2 QString, 3 QByteArray).
SEMTRA_EXPORT QByteArray encodeEvent(quint32 eventId, double stamp, const QVariantList& values);

// Little-endian numbers as every format here stores them; the caller checks
// that 4 or 8 bytes are there.
SEMTRA_EXPORT quint32 readU32(const char* data);
SEMTRA_EXPORT double readDouble(const char* data);
// The 8 bytes readDouble() reads back.
SEMTRA_EXPORT QByteArray doubleBytes(double value);

// Inverse of Rare::doubleToDateTime(); NaN for an invalid date-time.
SEMTRA_EXPORT double dateTimeToDouble(const QDateTime& time);

// A whole frame: length of the rest, number, object id, kind, tag, data bytes.
SEMTRA_EXPORT QByteArray encodeFrame(const Command::Message& message);

// Takes complete frames off the front of a buffer.
class SEMTRA_EXPORT FrameReader
{
public:
    enum Status { NeedMore, Ready, Malformed };

    void append(const QByteArray& bytes);
    // On Ready, *message holds the frame and the buffer moves past it. After
    // Malformed the reader stays malformed until clear().
    Status next(Command::Message* message);
    void clear();
    // Bytes received but not yet taken as frames.
    int pending() const;

private:
    QByteArray m_buffer;
    // Start of the unread bytes; consumed frames are dropped in batches so
    // that many small frames in one chunk stay linear.
    int m_offset = 0;
};

} // namespace Wire
} // namespace Semtra
