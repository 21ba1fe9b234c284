#pragma once

#include "SemtraGlobal.h"

#include <QDateTime>
#include <QList>
#include <QTime>
#include <QVariant>

namespace Rare {

// Reads one value from text and advances the pointer past it: a decimal or 0x
// number (uint, or int with a leading '-'), a "quoted" text (QString) in which
// \" and \\ stand for a quote and a backslash, or # followed by an even number
// of hex digits (QByteArray). Values are separated by white space. The end of
// the text or anything else gives an invalid variant and leaves the pointer.
SEMTRA_EXPORT QVariant getParam(const char*& text);

// Decodes a parameter block, one value per type (uint, QString, QByteArray),
// little-endian. Stops at the first value that does not fit in the remaining
// bytes or whose type is none of these; null data or a negative size give nothing.
SEMTRA_EXPORT QVariantList getParams(const unsigned char* data, int size,
                                     const QList<QVariant::Type>& types);

// Time stamps count days since 1899-12-30 00:00 UTC; the fraction is the time of
// day (also before that date: -1.25 is 1899-12-29 06:00). Results are in UTC with
// millisecond precision; NaN, infinities and stamps outside the years 100 to 9999
// give a null date-time and a null time.
SEMTRA_EXPORT QDateTime doubleToDateTime(double stamp);
SEMTRA_EXPORT QTime doubleToTime(double stamp);

} // namespace Rare
