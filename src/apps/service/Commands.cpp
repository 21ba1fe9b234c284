#include "Commands.h"

#include <QHash>

namespace Service {

namespace {

QHash<quint32, CommandInfo> buildCommands()
{
    QHash<quint32, CommandInfo> commands;
    for (const CommandRow& row : Velmora::Protocol::commands()) {
        CommandInfo info;
        info.code = quint32(row.code);
        info.name = QString::fromLatin1(row.name);
        info.params = splitTypes(row.paramTypes);
        if (const ReplyRow* reply = findReply(row.code))
            info.reply = splitTypes(reply->paramTypes);
        commands.insert(info.code, info);
    }
    return commands;
}

} // namespace

const CommandInfo* findCommand(quint32 code)
{
    static const QHash<quint32, CommandInfo> commands = buildCommands();
    const auto it = commands.constFind(code);
    return it == commands.constEnd() ? nullptr : &it.value();
}

QString resultSymbol(quint32 result)
{
    const ResultRow* row = findResult(result);
    return row ? QString::fromLatin1(row->symbol) : QString::number(result);
}

} // namespace Service
