#include "Protocol.h"

#include <algorithm>

namespace Velmora {
namespace Protocol {

namespace {

template<typename Row>
const Row* findRow(const QVector<Row>& rows, int Row::*key, qint64 value)
{
    const auto it = std::find_if(rows.cbegin(), rows.cend(),
                                 [=](const Row& row) { return row.*key == value; });
    return it == rows.cend() ? nullptr : &*it;
}

} // namespace

// GET_REFER has no description of its own; it has always shown GET_DPROG's.
const QVector<CommandRow>& commands()
{
    static const QVector<CommandRow> rows{
        {SetLocal, "SET_LOCAL", "отключить управление зоной", "таймаут", "uint", 1},
        {SetStrat, "SET_STRAT", "установить стратегию", "стратегия|таймаут", "uint|uint", 2},
        {SetAState, "SET_ASTATE", "установить состояние района управления",
         "район|состояние|таймаут", "uint|uint|uint", 3},
        {SetAPState, "SET_APSTATE", "установить предопределённое состояние района управления",
         "район|состояние|таймаут", "uint|uint|uint", 3},
        {SetDProg, "SET_DPROG", "загрузить динамическую программу в контроллер",
         "контроллер|таймау|контентт", "uint|uint|QByteArray", 3},
        {SetDefault, "SET_DEFAULT", "перевести зону в режим управления по-умолчанию", "", "", 0},
        {SetADefault, "SET_ADEFAULT", "перевести район в режим управления по-умолчанию", "район",
         "uint", 1},
        {SetEvent, "SET_EVENT", "установить маску событий", "маска", "uint", 1},
        {GetState, "GET_STATE", "получить состояние зоны", "", "", 0},
        {GetRefer, "GET_REFER", "получить содержимое активной динамической программы контроллера",
         "детальность", "uint", 1},
        {GetDProg, "GET_DPROG", "получить содержимое активной динамической программы контроллера",
         "контроллер", "uint", 1},
        {GetConfig, "GET_CONFIG", "получить содержимое конфигурации", "позиция", "uint", 1},
        {GetConfigHash, "GET_CONFIG_HASH", "получить хэш конфигурации", "", "", 0},
        {GetConfigSize, "GET_CONFIG_SIZE", "получить размер конфигурации, закодированной в base64",
         "", "", 0},
    };
    return rows;
}

// A reply carries the code of the request it answers.
const QVector<ReplyRow>& replies()
{
    static const QVector<ReplyRow> rows{
        {GetState, "STATE", "источник управления зоны|активная стратегия|состояние районов",
         "uint|uint|QString", 2, "controlSource|strategy|areasState"},
        {GetRefer, "REFER", "тип|зона|имя", "QString|uint|QString", 2, ""},
        {GetDProg, "DPROG", "контроллер|контент", "uint|QByteArray", 2, ""},
        {GetConfig, "CONFIG", "содержимое", "QByteArray", 1, ""},
        {GetConfigHash, "CONFIG_HASH", "хэш", "QByteArray", 1, ""},
        {GetConfigSize, "CONFIG_SIZE", "размер", "uint", 1, ""},
    };
    return rows;
}

// The connection's own codes first, then the service's (symbols with '>').
// INVALID_PARAM names two codes with different meanings; both stand.
const QVector<ResultRow>& results()
{
    static const QVector<ResultRow> rows{
        {Ok, "OK", "команда выполнена успешно"},
        {2, "INVALID_PARAM", "Устройство вернуло неверный блок параметров"},
        {5, "INVALID_COMMAND", "Неверная команда"},
        {InvalidDeviceType, "INVALID_DEVICE_TYPE", "Неверный тип устройства"},
        {InvalidDeviceId, "INVALID_DEVICE_ID", "Неверный идентификатор устройства"},
        {8, "INVALID_PARAM", "Неверный блок параметров"},
        {9, "INVALID_MSG", "Неверные данные от сервера"},
        {10, "SRV_DISCONNECT", "Отключение сервера"},
        {11, "CONNECTION_ERROR", "Потеря связи с сервером"},
        {12, "QUEUE_OVERFLOW", "Переполнена очередь команд"},
        {13, "NOTREPLY", "Устройство ни разу не ответило"},
        {14, "TRY_END", "Исчерпаны попытки выполнить команду"},
        {15, "SRV_INACTIVE", "Сервер неактивен"},
        {17, "NO_RIGHTS", "Недостаточно прав для выполнения команды"},
        {Done, ">OK", "команда завершилась успешно"},
        {InvStrat, ">INV_STRAT", "неправильный номер стратегии"},
        {NullStrat, ">NULL_STRAT",
         "задана нулевая стратегия. Означает ошибку в конфигурации, когда службе по каким-либо "
         "причинам не удалось найти стратегию по заданному идентификатору"},
        {InvArea, ">INV_AREA", "неправильный номер района"},
        {InvState, ">INV_STATE", "неправильный номер состояния"},
        {NullState, ">NULL_STATE",
         "нулевое состояние. Означает ошибку в конфигурации, когда службе по каким-либо причинам "
         "не удалось найти состояние для района по заданному идентификатору"},
        {InvPState, ">INV_PSTATE", "неправильный номер предопределённого состояния"},
        {InvCont, ">INV_CONT", "неправильный номер контроллера"},
        {InvDProg, ">INV_DPROG", "неправильное содержание динамической программы"},
        {Unident, ">UNIDENT", "неизвестная команда или неправильный формат команды"},
        {ErrMetacall, ">ERR_METACALL", "ошибка метавызова"},
        {InvArgType, ">INV_ARG_TYPE", "передан неправильный тип аргумента"},
        {InvArgCount, ">INV_ARG_COUNT", "передано неправильное число аргументов"},
        {InvCmd, ">INV_CMD", "не найден соответствующий метод в корневом объекте"},
    };
    return rows;
}

// The area id comes first so that it is in place before the setters that use it.
const QVector<EventRow>& events()
{
    static const QVector<EventRow> rows{
        {ZoneControlSourceEvent, "изменение источника управления зоны", "источник управления",
         "uint", 1, "controlSource"},
        {StrategyEvent, "изменение текущей стратегии", "номер стратегии", "uint", 1, "strategy"},
        {AreaControlSourceEvent, "изменение источника управления района",
         "номер района|источник управления", "uint|uint", 2, "areaId|areaControlSource"},
        {AreaStateEvent, "изменение текущего состояния района",
         "номер района|номер состояния|номер предопределённого состояния", "uint|uint|uint", 3,
         "areaId|areaState|areaSpecialState"},
    };
    return rows;
}

const CommandRow* findCommand(qint64 code)
{
    return findRow(commands(), &CommandRow::code, code);
}

const ReplyRow* findReply(qint64 code)
{
    return findRow(replies(), &ReplyRow::code, code);
}

const ResultRow* findResult(qint64 code)
{
    return findRow(results(), &ResultRow::code, code);
}

const EventRow* findEvent(qint64 id)
{
    return findRow(events(), &EventRow::id, id);
}

QString commandName(qint64 code)
{
    const CommandRow* row = findCommand(code);
    return row ? QString::fromLatin1(row->name) : QString::number(code);
}

bool isSuccess(qint64 result)
{
    return result == Ok || result == Done;
}

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

} // namespace Protocol
} // namespace Velmora
