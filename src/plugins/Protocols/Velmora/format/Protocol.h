#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The Velmora protocol's vocabulary: the tag, the codes of commands, replies,
// results and events with their rows, and the values the protocol reports.
// Shared like a protocol definition by the module, the service and the host.
namespace Velmora {
namespace Protocol {

// Sent with every request and expected in every message of this protocol.
constexpr int Tag = 0x29111992;

enum Command : int {
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

// The connection's own codes (below 0x1200) and the service's.
enum Result : int {
    Ok = 0,
    InvalidDeviceType = 6,
    InvalidDeviceId = 7,
    Done = 0x1200,
    InvStrat = 0x1201,
    NullStrat = 0x1202,
    InvArea = 0x1203,
    InvState = 0x1204,
    NullState = 0x1205,
    InvPState = 0x1206,
    InvCont = 0x1207,
    InvDProg = 0x1208,
    Unident = 0x1209,
    ErrMetacall = 0x120A,
    InvArgType = 0x120B,
    InvArgCount = 0x120C,
    InvCmd = 0x120D,
};

enum Event : int {
    ZoneControlSourceEvent = 0,
    StrategyEvent = 1,
    AreaControlSourceEvent = 2,
    AreaStateEvent = 3,
};

// Who controls a zone or an area. The file and the editors use 1 to 3; the
// service also reports 0 and 4.
enum ControlSource : int {
    NoControlSource = -1, // not reported yet
    NotControlled = 0,
    Calendar = 1,
    Adaptive = 2,
    LocalControl = 3,
    Operator = 4,
};

// What a controller runs instead of its programs.
enum SpecialState : int {
    NoSpecialStateReported = -1,
    NoSpecialState = 0,
    LocalMode = 1,
    YellowFlashing = 2,
    Off = 3,
};

// Table rows as written: list cells hold their elements between '|'.
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
    const char* properties; // receivers of the parameters in the zone link
};

struct ResultRow
{
    int code;
    const char* symbol;
    const char* text;
};

struct EventRow
{
    int id;
    const char* name;
    const char* paramNames;
    const char* paramTypes;
    int paramCount;
    const char* properties;
};

const QVector<CommandRow>& commands();
const QVector<ReplyRow>& replies();
const QVector<ResultRow>& results();
const QVector<EventRow>& events();

// Null when the code or id has no row.
const CommandRow* findCommand(qint64 code);
const ReplyRow* findReply(qint64 code);
const ResultRow* findResult(qint64 code);
const EventRow* findEvent(qint64 id);

// A command or reply name, or the code as text when it has none.
QString commandName(qint64 code);

// A list cell split at '|', empty parts kept; an empty cell has no elements.
QStringList splitList(const char* cell);
// A type cell as variant types, through the variant type system's names.
QList<QVariant::Type> splitTypes(const char* cell);
QList<QByteArray> splitNames(const char* cell);
// The result codes after which a reply carries its parameters.
bool isSuccess(qint64 result);

} // namespace Protocol
} // namespace Velmora
