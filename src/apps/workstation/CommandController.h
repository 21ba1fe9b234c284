#pragma once

#include <QObject>
#include <QPointer>
#include <QHash>

class Request;
class Response;

namespace Velmora {

class LogDock;
class ModuleHost;

class HistoryRecorder;

// Runs what the operator types on the command line: the line is checked
// before anything goes out, sent to the zone, logged with the words typed
// and answered through its own reply, and recorded in the history. The
// module's other requests and replies are logged as they pass.
class CommandController : public QObject
{
    Q_OBJECT

public:
    CommandController(ModuleHost* host, LogDock* log, QObject* parent = nullptr);

    // Typed commands are recorded there while it lives.
    void setHistoryRecorder(HistoryRecorder* recorder);
    // Sends a typed line to `zone`; true when it went out. A line refused
    // stays for correcting: the reason goes to the log and the status bar.
    bool run(const QString& text, QObject* zone);

    // Logs a request of the module's; the typed one is logged by run().
    void requestSent(QObject* zone, const Request* request);
    // Logs a reply; a typed command's reply logs itself.
    void responseFinished(QObject* zone, const Response* response);
    // The zone's link went down: its typed commands still waiting will get no reply, and the log says so.
    void linkDown(QObject* zone);

signals:
    void statusMessage(const QString& text, int timeout);

private:
    void notSent(QObject* zone, const QString& command, const QString& reason);

    ModuleHost* m_host;
    LogDock* m_log;
    QPointer<HistoryRecorder> m_recorder;
    // Responses of typed commands, with their zone: logged through their own finished().
    QHash<const Response*, QPointer<QObject>> m_typedResponses;
    bool m_sendingTyped = false;
};

} // namespace Velmora
