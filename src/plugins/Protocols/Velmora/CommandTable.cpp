#include "CommandTable.h"

#include "format/Protocol.h"

namespace Velmora {

CommandTable::CommandTable()
{
    for (const Protocol::CommandRow& row : Protocol::commands()) {
        name.insert(row.code, QString::fromLatin1(row.name));
        description.insert(row.code, QString::fromUtf8(row.description));
        paramNames.insert(row.code, Protocol::splitList(row.paramNames));
        paramTypes.insert(row.code, Protocol::splitTypes(row.paramTypes));
        paramCount.insert(row.code, row.paramCount);
        m_codeByName.insert(QString::fromLatin1(row.name), row.code);
    }
    for (const Protocol::ReplyRow& row : Protocol::replies()) {
        replyName.insert(row.code, QString::fromLatin1(row.name));
        replyParamNames.insert(row.code, Protocol::splitList(row.paramNames));
        replyParamTypes.insert(row.code, Protocol::splitTypes(row.paramTypes));
        replyMinCount.insert(row.code, row.minimumCount);
        replyProperties.insert(row.code, Protocol::splitNames(row.properties));
    }
}

const CommandTable& CommandTable::instance()
{
    static const CommandTable table;
    return table;
}

bool CommandTable::code(const QString& name, int* code)
{
    const CommandTable& table = instance();
    const auto it = table.m_codeByName.constFind(name.toUpper());
    if (it == table.m_codeByName.constEnd())
        return false;
    *code = it.value();
    return true;
}

QList<QVariant::Type> CommandTable::replyTypes(int replyCode)
{
    return instance().replyParamTypes.value(replyCode);
}

int CommandTable::replyMinimumCount(int replyCode)
{
    return instance().replyMinCount.value(replyCode, 0);
}

QList<QByteArray> CommandTable::replyPropertyNames(int replyCode)
{
    return instance().replyProperties.value(replyCode);
}

} // namespace Velmora
