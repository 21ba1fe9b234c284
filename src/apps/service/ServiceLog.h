#pragma once

#include "CommandDispatcher.h"

#include "semtra/Message.h"

#include <QString>

namespace Service {

class SimClock;

// One line per request, reply, event and connection on stderr, stamped with
// the service clock; silent when quiet.
class ServiceLog
{
public:
    ServiceLog(const SimClock& clock, bool quiet);

    void request(int client, const Semtra::Command::Message& message, const Outcome& outcome);
    void reply(int client, const Semtra::Command::Message& message, const Outcome& outcome);
    void refused(int client, const Semtra::Command::Message& message, int errorKind,
                 const QString& reason);
    void event(int zone, const ZoneEvent& event, int receivers);
    void note(const QString& text);

    // "2, \"text\", #0a0b" — values as the log shows them.
    static QString formatValues(const QVariantList& values);

private:
    void write(const QString& line);

    const SimClock& m_clock;
    bool m_quiet;
};

} // namespace Service
