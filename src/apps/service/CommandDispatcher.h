#pragma once

#include "ZoneModel.h"

#include <QByteArray>
#include <QDateTime>
#include <QVariantList>

namespace Service {

// What one request did: the reply to send and the events to broadcast.
struct Outcome
{
    quint32 code = 0;       // command code, 0 when the data held none
    QVariantList params;    // decoded parameters, for the log
    quint32 result = 0;
    QVariantList values;    // reply parameters, only on success
    ZoneEvents events;
};

// Decodes a request's data, runs the command on a zone and describes the reply.
class CommandDispatcher
{
public:
    // eventMask: the sending client's mask for this zone (SET_EVENT writes it).
    Outcome dispatch(ZoneModel& zone, quint32* eventMask, const QByteArray& data,
                     const QDateTime& now) const;

    // The reply data bytes of an outcome.
    static QByteArray replyData(const Outcome& outcome, double stamp);

    // Longest GET_CONFIG chunk.
    static constexpr int ConfigChunk = 4096;

private:
    void run(ZoneModel& zone, quint32* eventMask, const QDateTime& now, Outcome& out) const;
    void runStateCommand(ZoneModel& zone, quint32* eventMask, const QDateTime& now,
                         Outcome& out) const;
    void runDataRequest(const ZoneModel& zone, Outcome& out) const;
};

} // namespace Service
