#pragma once

#include "ClientSession.h"
#include "CommandDispatcher.h"
#include "ZoneModel.h"

#include "semtra/Message.h"

#include <QList>
#include <QMap>
#include <QObject>

class QTcpServer;

namespace Service {

class ServiceLog;
class SimClock;

// Accepts clients on the loopback interface, answers their requests and sends
// every zone's events to the clients that asked for them.
class Server : public QObject
{
    Q_OBJECT

public:
    Server(const QList<ZoneModel*>& zones, const SimClock& clock, ServiceLog& log,
           QObject* parent = nullptr);

    // Applies to clients that connect afterwards.
    void setClientLimits(const ClientLimits& limits);
    bool listen(quint16 port, QString* error);
    quint16 port() const;

    void broadcast(int zone, const ZoneEvents& events);
    // Ends every client's connection, as a restarting service does.
    void closeClients();

private slots:
    void acceptClients();
    void handleFrame(ClientSession* session, const Semtra::Command::Message& message);
    void noteDropped(ClientSession* session, const QString& reason);
    void removeClient(ClientSession* session);

private:
    void announce(ClientSession* session);
    void refuse(ClientSession* session, const Semtra::Command::Message& request, int errorKind,
                const QString& reason);
    void reply(ClientSession* session, const Semtra::Command::Message& request,
               const Outcome& outcome);

    QMap<int, ZoneModel*> m_zones;
    const SimClock& m_clock;
    ServiceLog& m_log;
    CommandDispatcher m_dispatcher;
    QTcpServer* m_server;
    QList<ClientSession*> m_clients;
    int m_lastClient = 0;
    ClientLimits m_limits;
};

} // namespace Service
