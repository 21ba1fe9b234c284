#include "CommandTable.h"

#include "EventTable.h"
#include "ResultCodeTable.h"

#include "semtra/ReplyTypes.h"

namespace Velmora {

namespace {

struct CommandRow
{
    int code;
    const char* name;
    const char* description;
    const char* paramNames;
    const char* paramTypes;
    int paramCount;
};

struct ReplyRow
{
    int code;
    const char* name;
    const char* paramNames;
    const char* paramTypes;
    int minimumCount;
    const char* properties;
};

// GET_REFER has no description of its own; it has always shown GET_DPROG's.
const CommandRow commands[] = {
    {0x1000, "SET_LOCAL", "отключить управление зоной", "таймаут", "uint", 1},
    {0x1001, "SET_STRAT", "установить стратегию", "стратегия|таймаут", "uint|uint", 2},
    {0x1002, "SET_ASTATE", "установить состояние района управления",
     "район|состояние|таймаут", "uint|uint|uint", 3},
    {0x1003, "SET_APSTATE", "установить предопределённое состояние района управления",
     "район|состояние|таймаут", "uint|uint|uint", 3},
    {0x1004, "SET_DPROG", "загрузить динамическую программу в контроллер",
     "контроллер|таймау|контентт", "uint|uint|QByteArray", 3},
    {0x1005, "SET_DEFAULT", "перевести зону в режим управления по-умолчанию", "", "", 0},
    {0x1006, "SET_ADEFAULT", "перевести район в режим управления по-умолчанию", "район", "uint", 1},
    {0x1007, "SET_EVENT", "установить маску событий", "маска", "uint", 1},
    {0x1100, "GET_STATE", "получить состояние зоны", "", "", 0},
    {0x1101, "GET_REFER", "получить содержимое активной динамической программы контроллера",
     "детальность", "uint", 1},
    {0x1102, "GET_DPROG", "получить содержимое активной динамической программы контроллера",
     "контроллер", "uint", 1},
    {0x1103, "GET_CONFIG", "получить содержимое конфигурации", "позиция", "uint", 1},
    {0x1104, "GET_CONFIG_HASH", "получить хэш конфигурации", "", "", 0},
    {0x1105, "GET_CONFIG_SIZE", "получить размер конфигурации, закодированной в base64", "", "", 0},
};

const ReplyRow replies[] = {
    {0x1100, "STATE", "источник управления зоны|активная стратегия|состояние районов",
     "uint|uint|QString", 2, "controlSource|strategy|areasState"},
    {0x1101, "REFER", "тип|зона|имя", "QString|uint|QString", 2, ""},
    {0x1102, "DPROG", "контроллер|контент", "uint|QByteArray", 2, ""},
    {0x1103, "CONFIG", "содержимое", "QByteArray", 1, ""},
    {0x1104, "CONFIG_HASH", "хэш", "QByteArray", 1, ""},
    {0x1105, "CONFIG_SIZE", "размер", "uint", 1, ""},
};

} // namespace

namespace Table {

QStringList splitList(const char* cell)
{
    if (!cell || !*cell)
        return QStringList();
    return QString::fromUtf8(cell).split(QLatin1Char('|'), Qt::KeepEmptyParts);
}

QList<QVariant::Type> splitTypes(const char* cell)
{
    QList<QVariant::Type> types;
    const QStringList names = splitList(cell);
    for (const QString& name : names)
        types.append(QVariant::nameToType(name.toLatin1().constData()));
    return types;
}

QList<QByteArray> splitNames(const char* cell)
{
    QList<QByteArray> names;
    const QStringList parts = splitList(cell);
    for (const QString& part : parts)
        names.append(part.toLatin1());
    return names;
}

} // namespace Table

CommandTable::CommandTable()
{
    for (const CommandRow& row : commands) {
        name.insert(row.code, QString::fromLatin1(row.name));
        description.insert(row.code, QString::fromUtf8(row.description));
        paramNames.insert(row.code, Table::splitList(row.paramNames));
        paramTypes.insert(row.code, Table::splitTypes(row.paramTypes));
        paramCount.insert(row.code, row.paramCount);
        m_codeByName.insert(QString::fromLatin1(row.name), row.code);
    }
    for (const ReplyRow& row : replies) {
        replyName.insert(row.code, QString::fromLatin1(row.name));
        replyParamNames.insert(row.code, Table::splitList(row.paramNames));
        replyParamTypes.insert(row.code, Table::splitTypes(row.paramTypes));
        replyMinCount.insert(row.code, row.minimumCount);
        replyProperties.insert(row.code, Table::splitNames(row.properties));
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

namespace {

// All three tables exist before the host calls anything, and the helper library
// learns the replies' types so that Response::data() can decode them.
const struct TablesAtLoad
{
    TablesAtLoad()
    {
        const CommandTable& commands = CommandTable::instance();
        for (auto it = commands.replyParamTypes.constBegin();
             it != commands.replyParamTypes.constEnd(); ++it)
            Semtra::ReplyTypes::registerReply(Semtra::VelmoraTag, it.key(), it.value());
        ResultCodeTable::instance();
        EventTable::instance();
    }
} tablesAtLoad;

} // namespace

} // namespace Velmora
