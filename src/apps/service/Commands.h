#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// The service's side of the protocol vocabulary: what each command carries and
// what its reply carries.
namespace Service {

enum Command : quint32 {
    SetLocal = 0x1000,
    SetStrat = 0x1001,
    SetAState = 0x1002,
    SetAPState = 0x1003,
    SetDProg = 0x1004,
    SetDefault = 0x1005,
    SetADefault = 0x1006,
    SetEvent = 0x1007,
    GetState = 0x1100,
    GetRefer = 0x1101,
    GetDProg = 0x1102,
    GetConfig = 0x1103,
    GetConfigHash = 0x1104,
    GetConfigSize = 0x1105,
};

enum Result : quint32 {
    Ok = 0,           // data requests
    Done = 0x1200,    // state-changing commands
    InvStrat = 0x1201,
    InvArea = 0x1203,
    InvState = 0x1204,
    InvPState = 0x1206,
    InvCont = 0x1207,
    Unident = 0x1209,
    InvArgCount = 0x120C,
};

// Message kinds used as error codes for a request that reaches no zone.
enum ErrorKind : int {
    InvalidDeviceType = 6,
    InvalidDeviceId = 7,
};

struct CommandInfo
{
    quint32 code;
    const char* name;
    QList<QVariant::Type> params;
    QList<QVariant::Type> reply; // empty for commands without a reply block
};

// Null for a code the service does not know.
const CommandInfo* findCommand(quint32 code);
// "SET_STRAT", or the number as text for unknown codes.
QString commandName(quint32 code);
// ">OK", ">INV_STRAT", ...; the number as text for other codes.
QString resultSymbol(quint32 result);

} // namespace Service
