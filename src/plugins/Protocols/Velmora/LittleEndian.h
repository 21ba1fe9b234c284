#pragma once

#include <QtEndian>

#include <cstring>

// The protocol's numbers are little-endian whatever the machine. The caller
// checks that the bytes are there.
namespace Velmora {
namespace LittleEndian {

inline quint32 readU32(const char* bytes)
{
    return qFromLittleEndian<quint32>(bytes);
}

inline double readDouble(const char* bytes)
{
    const quint64 bits = qFromLittleEndian<quint64>(bytes);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace LittleEndian
} // namespace Velmora
