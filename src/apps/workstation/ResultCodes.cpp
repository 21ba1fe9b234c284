#include "ResultCodes.h"

#include <QCoreApplication>

namespace ResultCodes {

namespace {

struct Row
{
    int code;
    const char* symbol;
    const char* text;
};

// Texts are the service's own Russian wording, shown as the operators know them.
const Row rows[] = {
    {0, "OK", "команда выполнена успешно"},
    {2, "INVALID_PARAM", "Устройство вернуло неверный блок параметров"},
    {5, "INVALID_COMMAND", "Неверная команда"},
    {6, "INVALID_DEVICE_TYPE", "Неверный тип устройства"},
    {7, "INVALID_DEVICE_ID", "Неверный идентификатор устройства"},
    {8, "INVALID_PARAM", "Неверный блок параметров"},
    {9, "INVALID_MSG", "Неверные данные от сервера"},
    {10, "SRV_DISCONNECT", "Отключение сервера"},
    {11, "CONNECTION_ERROR", "Потеря связи с сервером"},
    {12, "QUEUE_OVERFLOW", "Переполнена очередь команд"},
    {13, "NOTREPLY", "Устройство ни разу не ответило"},
    {14, "TRY_END", "Исчерпаны попытки выполнить команду"},
    {15, "SRV_INACTIVE", "Сервер неактивен"},
    {17, "NO_RIGHTS", "Недостаточно прав для выполнения команды"},
    {0x1200, ">OK", "команда завершилась успешно"},
    {0x1201, ">INV_STRAT", "неправильный номер стратегии"},
    {0x1202, ">NULL_STRAT",
     "задана нулевая стратегия. Означает ошибку в конфигурации, когда службе по каким-либо причинам "
     "не удалось найти стратегию по заданному идентификатору"},
    {0x1203, ">INV_AREA", "неправильный номер района"},
    {0x1204, ">INV_STATE", "неправильный номер состояния"},
    {0x1205, ">NULL_STATE",
     "нулевое состояние. Означает ошибку в конфигурации, когда службе по каким-либо причинам не "
     "удалось найти состояние для района по заданному идентификатору"},
    {0x1206, ">INV_PSTATE", "неправильный номер предопределённого состояния"},
    {0x1207, ">INV_CONT", "неправильный номер контроллера"},
    {0x1208, ">INV_DPROG", "неправильное содержание динамической программы"},
    {0x1209, ">UNIDENT", "неизвестная команда или неправильный формат команды"},
    {0x120A, ">ERR_METACALL", "ошибка метавызова"},
    {0x120B, ">INV_ARG_TYPE", "передан неправильный тип аргумента"},
    {0x120C, ">INV_ARG_COUNT", "передано неправильное число аргументов"},
    {0x120D, ">INV_CMD", "не найден соответствующий метод в корневом объекте"},
};

} // namespace

bool lookup(qint64 code, Entry* entry)
{
    for (const Row& row : rows) {
        if (row.code == code) {
            if (entry) {
                entry->symbol = QString::fromUtf8(row.symbol);
                entry->text = QString::fromUtf8(row.text);
            }
            return true;
        }
    }
    return false;
}

bool isSuccess(qint64 code)
{
    return code == 0 || code == 0x1200;
}

QString describe(qint64 code)
{
    Entry entry;
    if (!lookup(code, &entry))
        return QCoreApplication::translate("ResultCodes", "%1 (unknown result code)").arg(code);
    return QStringLiteral("%1 %2 (%3)").arg(code).arg(entry.symbol, entry.text);
}

} // namespace ResultCodes
