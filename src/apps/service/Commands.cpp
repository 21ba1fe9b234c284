#include "Commands.h"

#include <QHash>

namespace Service {

namespace {

constexpr QVariant::Type U = QVariant::UInt;
constexpr QVariant::Type S = QVariant::String;
constexpr QVariant::Type B = QVariant::ByteArray;

const QList<CommandInfo>& commands()
{
    static const QList<CommandInfo> table{
        {SetLocal, "SET_LOCAL", {U}, {}},
        {SetStrat, "SET_STRAT", {U, U}, {}},
        {SetAState, "SET_ASTATE", {U, U, U}, {}},
        {SetAPState, "SET_APSTATE", {U, U, U}, {}},
        {SetDProg, "SET_DPROG", {U, U, B}, {}},
        {SetDefault, "SET_DEFAULT", {}, {}},
        {SetADefault, "SET_ADEFAULT", {U}, {}},
        {SetEvent, "SET_EVENT", {U}, {}},
        {GetState, "GET_STATE", {}, {U, U, S}},
        {GetRefer, "GET_REFER", {U}, {S, U, S}},
        {GetDProg, "GET_DPROG", {U}, {U, B}},
        {GetConfig, "GET_CONFIG", {U}, {B}},
        {GetConfigHash, "GET_CONFIG_HASH", {}, {B}},
        {GetConfigSize, "GET_CONFIG_SIZE", {}, {U}},
    };
    return table;
}

} // namespace

const CommandInfo* findCommand(quint32 code)
{
    for (const CommandInfo& info : commands()) {
        if (info.code == code)
            return &info;
    }
    return nullptr;
}

QString commandName(quint32 code)
{
    const CommandInfo* info = findCommand(code);
    return info ? QString::fromLatin1(info->name) : QString::number(code);
}

QString resultSymbol(quint32 result)
{
    static const QHash<quint32, QString> symbols{
        {Ok, QStringLiteral("OK")},
        {Done, QStringLiteral(">OK")},
        {InvStrat, QStringLiteral(">INV_STRAT")},
        {InvArea, QStringLiteral(">INV_AREA")},
        {InvState, QStringLiteral(">INV_STATE")},
        {InvPState, QStringLiteral(">INV_PSTATE")},
        {InvCont, QStringLiteral(">INV_CONT")},
        {Unident, QStringLiteral(">UNIDENT")},
        {InvArgCount, QStringLiteral(">INV_ARG_COUNT")},
    };
    return symbols.value(result, QString::number(result));
}

} // namespace Service
