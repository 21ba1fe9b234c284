#pragma once

#include <QMap>
#include <QString>

namespace Velmora {

// The protocol's result codes: a symbol and a Russian text per code. Built once
// when the library is loaded; read-only afterwards.
class ResultCodeTable
{
public:
    static const ResultCodeTable& instance();

    // Empty for a code without an entry.
    static QString symbolOf(int code);
    static QString textOf(int code);

    QMap<int, QString> symbol;
    QMap<int, QString> text;

private:
    ResultCodeTable();
    Q_DISABLE_COPY(ResultCodeTable)
};

} // namespace Velmora
