#include "CommandDispatcher.h"

#include "Commands.h"

#include "semtra/Rare.h"
#include "semtra/Wire.h"

#include <climits>

namespace Service {

namespace {

int intParam(const Outcome& out, int index)
{
    // Values beyond int are no valid id and an effectively endless timeout.
    return int(qMin<uint>(out.params.at(index).toUInt(), INT_MAX));
}

// Exactly the command's values and no bytes left over.
bool decodeParams(const CommandInfo& info, const QByteArray& block, QVariantList* params)
{
    *params = Rare::getParams(reinterpret_cast<const uchar*>(block.constData()), block.size(),
                              info.params);
    if (params->size() != info.params.size())
        return false;
    // Commands carry only uint and byte arrays, which re-encode to the same bytes.
    return Semtra::Wire::encodeParams(*params, info.params).size() == block.size();
}

} // namespace

Outcome CommandDispatcher::dispatch(ZoneModel& zone, quint32* eventMask, const QByteArray& data,
                                    const QDateTime& now) const
{
    Outcome out;
    if (data.size() < 4) {
        out.result = Unident;
        return out;
    }
    out.code = Semtra::Wire::readU32(data.constData());
    const CommandInfo* info = findCommand(out.code);
    if (!info) {
        out.result = Unident;
        return out;
    }
    if (!decodeParams(*info, data.mid(4), &out.params)) {
        out.result = InvArgCount;
        return out;
    }
    run(zone, eventMask, now, out);
    return out;
}

QByteArray CommandDispatcher::replyData(const Outcome& outcome, double stamp)
{
    QByteArray block;
    if (const CommandInfo* info = findCommand(outcome.code))
        block = Semtra::Wire::encodeParams(outcome.values, info->reply);
    return Semtra::Wire::encodeReply(stamp, outcome.result, outcome.code, block);
}

void CommandDispatcher::run(ZoneModel& zone, quint32* eventMask, const QDateTime& now,
                            Outcome& out) const
{
    if (out.code < GetState)
        runStateCommand(zone, eventMask, now, out);
    else
        runDataRequest(zone, out);
}

void CommandDispatcher::runStateCommand(ZoneModel& zone, quint32* eventMask, const QDateTime& now,
                                        Outcome& out) const
{
    ZoneEvents* events = &out.events;
    switch (out.code) {
    case SetLocal:
        out.result = zone.setLocal(intParam(out, 0), now, events);
        break;
    case SetStrat:
        out.result = zone.setStrategy(intParam(out, 0), intParam(out, 1), now, events);
        break;
    case SetAState:
        out.result = zone.setAreaState(intParam(out, 0), intParam(out, 1), intParam(out, 2), now,
                                       events);
        break;
    case SetAPState:
        out.result = zone.setAreaSpecialState(intParam(out, 0), intParam(out, 1),
                                              intParam(out, 2), now, events);
        break;
    case SetDProg:
        // The timeout is accepted but a program stays until replaced.
        out.result = zone.setProgram(intParam(out, 0), out.params.at(2).toByteArray());
        break;
    case SetDefault:
        out.result = zone.setDefault(now, events);
        break;
    case SetADefault:
        out.result = zone.setAreaDefault(intParam(out, 0), now, events);
        break;
    case SetEvent:
        *eventMask = out.params.at(0).toUInt();
        out.result = Done;
        break;
    default:
        out.result = Unident;
        break;
    }
}

void CommandDispatcher::runDataRequest(const ZoneModel& zone, Outcome& out) const
{
    const ZoneConfig& config = zone.config();
    out.result = Ok;
    switch (out.code) {
    case GetState:
        out.values = {uint(qMax(zone.controlSource(), 0)), uint(qMax(zone.strategy(), 0)),
                      zone.areasState()};
        break;
    case GetRefer:
        out.values = {QStringLiteral("zone"), uint(config.id()), config.name()};
        break;
    case GetDProg: {
        QByteArray content;
        if (zone.program(intParam(out, 0), &content))
            out.values = {out.params.at(0), content};
        else
            out.result = InvCont;
        break;
    }
    case GetConfig: {
        const uint position = out.params.at(0).toUInt();
        const QByteArray text = config.base64();
        if (position < uint(text.size()))
            out.values = {text.mid(int(position), ConfigChunk)};
        else
            out.values = {QByteArray()};
        break;
    }
    case GetConfigHash:
        out.values = {config.digest()};
        break;
    case GetConfigSize:
        out.values = {uint(config.base64().size())};
        break;
    default:
        out.result = Unident;
        break;
    }
}

} // namespace Service
