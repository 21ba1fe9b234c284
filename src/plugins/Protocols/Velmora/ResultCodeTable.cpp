#include "ResultCodeTable.h"

#include "format/Protocol.h"

namespace Velmora {

ResultCodeTable::ResultCodeTable()
{
    for (const Protocol::ResultRow& row : Protocol::results()) {
        symbol.insert(row.code, QString::fromLatin1(row.symbol));
        text.insert(row.code, QString::fromUtf8(row.text));
    }
}

const ResultCodeTable& ResultCodeTable::instance()
{
    static const ResultCodeTable table;
    return table;
}

QString ResultCodeTable::symbolOf(int code)
{
    return instance().symbol.value(code);
}

QString ResultCodeTable::textOf(int code)
{
    return instance().text.value(code);
}

} // namespace Velmora
