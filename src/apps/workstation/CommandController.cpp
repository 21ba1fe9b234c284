#include "CommandController.h"

#include "CommandInput.h"
#include "HistoryRecorder.h"
#include "LogDock.h"
#include "ModuleHost.h"
#include "StatusLabels.h"

#include "semtra/Request.h"
#include "semtra/Response.h"

#include <QMap>

namespace Velmora {

CommandController::CommandController(ModuleHost* host, LogDock* log, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_log(log)
{
}

void CommandController::setHistoryRecorder(HistoryRecorder* recorder)
{
    m_recorder = recorder;
}

bool CommandController::run(const QString& text, QObject* zone)
{
    const CommandLine line = CommandLine::parse(text);
    if (!line.isValid())
        return false;
    if (!zone) {
        notSent(nullptr, line.command(), tr("open a zone first"));
        return false;
    }
    // Refused here, before anything goes out: the line stays for correcting.
    QString problem;
    if (!line.check(&problem)) {
        notSent(zone, line.command(), problem);
        return false;
    }
    m_sendingTyped = true;
    Response* response = m_host->sendCommand(zone, line.commandArgument(), line.parameterArgument());
    m_sendingTyped = false;
    if (!response) {
        // The line passed our checks, so the zone refused for want of a link.
        notSent(zone, line.command(), zone->property("isConnected").toBool() ? tr("the zone refused it")
                                                                              : tr("the zone is not connected"));
        return false;
    }
    const QString typed = line.parameters().isEmpty() ? line.command()
                                                      : line.command() + QLatin1Char(' ') + line.parameters();
    m_log->logRequest(zone, response->request(), typed);
    m_typedResponses.insert(response, zone);
    if (m_recorder)
        m_recorder->commandSent(zone, response, typed);
    emit statusMessage(tr("%1 sent, waiting for the reply").arg(typed), StatusLabels::MessageTimeout);
    QPointer<QObject> zoneGuard(zone);
    connect(response, &Response::finished, this, [this, zoneGuard, response] {
        m_log->logResult(zoneGuard, response);
        emit statusMessage(LogDock::resultText(response, zoneGuard), 2 * StatusLabels::MessageTimeout);
    });
    connect(response, &QObject::destroyed, this, [this, response] { m_typedResponses.remove(response); });
    return true;
}

void CommandController::notSent(QObject* zone, const QString& command, const QString& reason)
{
    m_log->logNotSent(zone, command, reason);
    emit statusMessage(tr("%1 not sent: %2").arg(command, reason), StatusLabels::MessageTimeout);
}

void CommandController::requestSent(QObject* zone, const Request* request)
{
    // Typed commands are logged with the text the user wrote.
    if (!m_sendingTyped)
        m_log->logRequest(zone, request);
}

void CommandController::responseFinished(QObject* zone, const Response* response)
{
    if (!m_typedResponses.contains(response))
        m_log->logResult(zone, response);
}

void CommandController::linkDown(QObject* zone)
{
    QMap<int, const Response*> waiting; // in the order they were sent
    for (auto typed = m_typedResponses.cbegin(); typed != m_typedResponses.cend(); ++typed) {
        if (typed.value() == zone && !typed.key()->isFinished() && typed.key()->request())
            waiting.insert(typed.key()->request()->number(), typed.key());
    }
    for (const Response* response : qAsConst(waiting))
        m_log->logNoReply(zone, response);
}

} // namespace Velmora
