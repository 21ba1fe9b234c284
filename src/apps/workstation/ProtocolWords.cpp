#include "ProtocolWords.h"

#include "Velmora/format/Protocol.h"

#include <QCoreApplication>
#include <QHash>

namespace Velmora {

namespace ProtocolWords {

namespace Protocol = Velmora::Protocol;

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ProtocolWords", text);
}

struct CommandWords
{
    const char* description;
    QStringList parameters;
};

const QHash<int, CommandWords>& commandWords()
{
    static const QHash<int, CommandWords> words{
        {Protocol::SetLocal, {"switch the zone to local control", {"timeout (s)"}}},
        {Protocol::SetStrat, {"set strategy", {"strategy", "timeout (s)"}}},
        {Protocol::SetAState, {"set an area's state", {"area", "state", "timeout (s)"}}},
        {Protocol::SetAPState, {"set an area's special state", {"area", "special state", "timeout (s)"}}},
        {Protocol::SetDProg, {"load a dynamic program into a controller", {"controller", "timeout (s)", "program"}}},
        {Protocol::SetDefault, {"return the zone to default control", {}}},
        {Protocol::SetADefault, {"return an area to default control", {"area"}}},
        {Protocol::SetEvent, {"set the event mask", {"mask"}}},
        {Protocol::GetState, {"read the zone's state", {}}},
        {Protocol::GetRefer, {"read the zone's reference", {"detail"}}},
        {Protocol::GetDProg, {"read a controller's dynamic program", {"controller"}}},
        {Protocol::GetConfig, {"read the service's configuration", {"position"}}},
        {Protocol::GetConfigHash, {"read the configuration hash", {}}},
        {Protocol::GetConfigSize, {"read the configuration size", {}}},
    };
    return words;
}

const QHash<int, const char*>& resultWords()
{
    static const QHash<int, const char*> words{
        {Protocol::Ok, "done"},
        {2, "the device returned an invalid parameter block"},
        {5, "invalid command"},
        {Protocol::InvalidDeviceType, "invalid device type"},
        {Protocol::InvalidDeviceId, "invalid device id"},
        {8, "invalid parameter block"},
        {9, "invalid data from the server"},
        {10, "the server disconnected"},
        {11, "connection to the server lost"},
        {12, "command queue full"},
        {13, "the device never answered"},
        {14, "no attempts left"},
        {15, "the server is inactive"},
        {17, "not permitted"},
        {Protocol::Done, "done"},
        {Protocol::InvStrat, "no such strategy"},
        {Protocol::NullStrat, "the service found no strategy for that id (configuration fault)"},
        {Protocol::InvArea, "no such area"},
        {Protocol::InvState, "no such state"},
        {Protocol::NullState, "the service found no state for the area (configuration fault)"},
        {Protocol::InvPState, "no such special state"},
        {Protocol::InvCont, "no such controller"},
        {Protocol::InvDProg, "invalid dynamic program"},
        {Protocol::Unident, "unknown command or wrong format"},
        {Protocol::ErrMetacall, "the service could not run the command"},
        {Protocol::InvArgType, "wrong parameter type"},
        {Protocol::InvArgCount, "wrong number of parameters"},
        {Protocol::InvCmd, "the service has no such command"},
    };
    return words;
}

} // namespace

QString controlSource(int code)
{
    switch (code) {
    case Protocol::NoControlSource:
        return tr("not reported");
    case Protocol::NotControlled:
        return tr("Not controlled");
    case Protocol::Calendar:
        return tr("Calendar");
    case Protocol::Adaptive:
        return tr("Adaptive");
    case Protocol::LocalControl:
        return tr("Local");
    case Protocol::Operator:
        return tr("Operator");
    default:
        return tr("unknown");
    }
}

QString controlSourceWithCode(int code)
{
    return QStringLiteral("%1 (%2)").arg(controlSource(code)).arg(code);
}

QString specialState(int code)
{
    switch (code) {
    case Protocol::NoSpecialStateReported:
        return tr("not reported");
    case Protocol::NoSpecialState:
        return tr("None");
    case Protocol::LocalMode:
        return tr("Local mode");
    case Protocol::YellowFlashing:
        return tr("Yellow flashing");
    case Protocol::Off:
        return tr("Off");
    default:
        return tr("unknown");
    }
}

QString specialStateWithCode(int code)
{
    return QStringLiteral("%1 (%2)").arg(specialState(code)).arg(code);
}

QString commandName(qint64 code)
{
    return Protocol::commandName(code);
}

QString commandDescription(qint64 code)
{
    const auto it = commandWords().constFind(int(code));
    return it == commandWords().constEnd() ? QString() : tr(it->description);
}

QStringList commandParameters(qint64 code)
{
    QStringList names;
    const auto it = commandWords().constFind(int(code));
    if (it != commandWords().constEnd()) {
        for (const QString& name : it->parameters)
            names << tr(qPrintable(name));
    }
    return names;
}

QString replyName(qint64 code)
{
    const Protocol::ReplyRow* row = Protocol::findReply(code);
    return row ? QString::fromLatin1(row->name) : QString();
}

QString eventName(int id)
{
    switch (id) {
    case Protocol::ZoneControlSourceEvent:
        return tr("zone control source changed");
    case Protocol::StrategyEvent:
        return tr("strategy changed");
    case Protocol::AreaControlSourceEvent:
        return tr("area control source changed");
    case Protocol::AreaStateEvent:
        return tr("area state changed");
    default:
        return tr("unknown event");
    }
}

QString resultSymbol(qint64 code)
{
    const Protocol::ResultRow* row = Protocol::findResult(code);
    return row ? QString::fromLatin1(row->symbol) : QString();
}

QString resultText(qint64 code)
{
    const auto it = resultWords().constFind(int(code));
    return it == resultWords().constEnd() ? tr("unknown result") : tr(it.value());
}

QString resultRowText(qint64 code)
{
    const Protocol::ResultRow* row = Protocol::findResult(code);
    return row ? QString::fromUtf8(row->text) : QString();
}

QString eventRowText(int id)
{
    const Protocol::EventRow* row = Protocol::findEvent(id);
    return row ? QString::fromUtf8(row->name) : QString();
}

QString commandRowText(qint64 code)
{
    const Protocol::CommandRow* row = Protocol::findCommand(code);
    return row ? QString::fromUtf8(row->description) : QString();
}

bool isSuccess(qint64 code)
{
    return Protocol::isSuccess(code);
}

QStringList commandNames()
{
    QStringList names;
    for (const Protocol::CommandRow& row : Protocol::commands())
        names << QString::fromLatin1(row.name);
    return names;
}

bool parseAreasState(const QString& text, QList<AreaState>* areas)
{
    const QStringList tokens = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (tokens.size() % 4 != 0)
        return false;
    QList<AreaState> parsed;
    for (int first = 0; first < tokens.size(); first += 4) {
        int numbers[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            numbers[i] = tokens.at(first + i).toInt(&ok);
            if (!ok)
                return false;
        }
        parsed.append(AreaState{numbers[0], numbers[1], numbers[2], numbers[3]});
    }
    *areas = parsed;
    return true;
}

} // namespace ProtocolWords

} // namespace Velmora
