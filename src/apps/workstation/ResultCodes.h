#pragma once

#include <QString>

// The protocol's result codes as the log shows them. The module keeps its own
// table; the host needs only symbol and text for display.
namespace ResultCodes {

struct Entry
{
    QString symbol;
    QString text;
};

// False for a code without an entry.
bool lookup(qint64 code, Entry* entry);
// 0 and 4608 are the two "done" codes of the two groups.
bool isSuccess(qint64 code);
// "4609 >INV_STRAT (неправильный номер стратегии)", or "1 (unknown result code)".
QString describe(qint64 code);

} // namespace ResultCodes
