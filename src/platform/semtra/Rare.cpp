#include "Rare.h"

#include "Wire.h"

#include <cmath>

namespace Rare {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A value must end at a blank or at the end of the text: "2,60" is one
// malformed value, not two.
bool atBoundary(const char* p)
{
    return *p == '\0' || isBlank(*p);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads an unsigned decimal or 0x number no larger than limit.
bool readNumber(const char*& p, quint64 limit, quint64* value)
{
    quint64 result = 0;
    const char* q = p;
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
        q += 2;
        const char* first = q;
        for (int d; (d = hexDigit(*q)) >= 0; ++q) {
            result = result * 16 + quint64(d);
            if (result > limit)
                return false;
        }
        if (q == first)
            return false;
    } else {
        const char* first = q;
        for (; *q >= '0' && *q <= '9'; ++q) {
            result = result * 10 + quint64(*q - '0');
            if (result > limit)
                return false;
        }
        if (q == first)
            return false;
    }
    p = q;
    *value = result;
    return true;
}

QVariant readText(const char*& p)
{
    QByteArray bytes;
    const char* q = p + 1;
    for (;; ++q) {
        if (*q == '\0')
            return QVariant();
        if (*q == '"')
            break;
        if (*q == '\\') {
            ++q;
            if (*q != '"' && *q != '\\')
                return QVariant();
        }
        bytes.append(*q);
    }
    ++q;
    if (!atBoundary(q))
        return QVariant();
    p = q;
    return QString::fromUtf8(bytes);
}

QVariant readBytes(const char*& p)
{
    QByteArray bytes;
    const char* q = p + 1;
    for (;;) {
        const int high = hexDigit(q[0]);
        if (high < 0)
            break;
        const int low = hexDigit(q[1]);
        if (low < 0)
            return QVariant();
        bytes.append(char(high * 16 + low));
        q += 2;
    }
    if (!atBoundary(q))
        return QVariant();
    p = q;
    return bytes;
}

} // namespace

QVariant getParam(const char*& text)
{
    if (!text)
        return QVariant();
    const char* p = text;
    while (isBlank(*p))
        ++p;

    QVariant value;
    if (*p == '"') {
        value = readText(p);
    } else if (*p == '#') {
        value = readBytes(p);
    } else if (*p == '-') {
        ++p;
        quint64 magnitude;
        if (readNumber(p, quint64(INT_MAX) + 1, &magnitude) && atBoundary(p))
            value = int(-qint64(magnitude));
    } else {
        quint64 number;
        if (readNumber(p, 0xFFFFFFFFu, &number) && atBoundary(p))
            value = uint(number);
    }
    // On failure the caller sees the text unread.
    if (value.isValid())
        text = p;
    return value;
}

QVariantList getParams(const unsigned char* data, int size, const QList<QVariant::Type>& types)
{
    QVariantList values;
    if (!data || size < 0)
        return values;
    int offset = 0;
    for (QVariant::Type type : types) {
        QVariant value;
        const int used = Semtra::Wire::decodeValue(data + offset, size - offset, type, &value);
        if (used < 0)
            break;
        values.append(value);
        offset += used;
    }
    return values;
}

QDateTime doubleToDateTime(double stamp)
{
    // The range of the automation date: years 100 to 9999. Beyond it, and for
    // NaN and infinities, there is no date to give.
    if (!(stamp > -657435.0 && stamp < 2958466.0))
        return QDateTime();
    const double day = std::trunc(stamp);
    // The fraction is the time of day on either side of the epoch.
    const qint64 ms = std::llround(std::fabs(stamp - day) * 86400000.0);
    static const QDate epoch(1899, 12, 30);
    return QDateTime(epoch.addDays(qint64(day)), QTime(0, 0), Qt::UTC).addMSecs(ms);
}

QTime doubleToTime(double stamp)
{
    return doubleToDateTime(stamp).time();
}

} // namespace Rare
