#include "Server.h"

#include "ClientSession.h"
#include "Commands.h"
#include "ServiceLog.h"
#include "SimClock.h"

#include "semtra/Wire.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace Service {

namespace {

using Semtra::Command::Message;

Message frame(int number, int zone, int kind, const QByteArray& data)
{
    Message message;
    message.number = number;
    message.objectId = zone;
    message.kind = kind;
    message.tag = Velmora::Protocol::Tag;
    message.data = data;
    return message;
}

} // namespace

Server::Server(const QList<ZoneModel*>& zones, const SimClock& clock, ServiceLog& log,
               QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_log(log)
    , m_server(new QTcpServer(this))
{
    for (ZoneModel* zone : zones)
        m_zones.insert(zone->id(), zone);
    connect(m_server, &QTcpServer::newConnection, this, &Server::acceptClients);
}

bool Server::listen(quint16 port, QString* error)
{
    if (m_server->listen(QHostAddress::LocalHost, port))
        return true;
    *error = m_server->errorString();
    return false;
}

quint16 Server::port() const
{
    return m_server->serverPort();
}

void Server::broadcast(int zone, const ZoneEvents& events)
{
    const double stamp = m_clock.stamp();
    for (const ZoneEvent& event : events) {
        const Message message = frame(0, zone, Semtra::Command::Event,
                                      Semtra::Wire::encodeEvent(event.id, stamp, event.values));
        int receivers = 0;
        // A copy: a client may close while we write to the others.
        const QList<ClientSession*> clients = m_clients;
        for (ClientSession* client : clients) {
            if (client->wants(zone, event.id)) {
                client->send(message);
                ++receivers;
            }
        }
        m_log.event(zone, event, receivers);
    }
}

void Server::closeClients()
{
    // A copy: each close takes the client off the list.
    const QList<ClientSession*> clients = m_clients;
    for (ClientSession* client : clients)
        client->close();
}

void Server::setClientLimits(const ClientLimits& limits)
{
    m_limits = limits;
}

void Server::acceptClients()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        auto* session = new ClientSession(++m_lastClient, socket, m_limits, this);
        connect(session, &ClientSession::frameReceived, this, &Server::handleFrame);
        connect(session, &ClientSession::dropped, this, &Server::noteDropped);
        connect(session, &ClientSession::closed, this, &Server::removeClient);
        m_clients.append(session);
        m_log.note(QStringLiteral("client %1 connected from port %2")
                       .arg(session->number())
                       .arg(socket->peerPort()));
        announce(session);
    }
}

void Server::announce(ClientSession* session)
{
    const QByteArray stamp = Semtra::Wire::doubleBytes(m_clock.stamp());
    for (ZoneModel* zone : qAsConst(m_zones))
        session->send(frame(0, zone->id(), Semtra::Command::Connected, stamp));
}

void Server::handleFrame(ClientSession* session, const Message& message)
{
    if (message.kind != Semtra::Command::Request) {
        m_log.note(QStringLiteral("client %1: ignored a message of kind %2")
                       .arg(session->number())
                       .arg(message.kind));
        return;
    }
    if (message.tag != Velmora::Protocol::Tag) {
        refuse(session, message, InvalidDeviceType, QStringLiteral("unknown protocol tag"));
        return;
    }
    ZoneModel* zone = m_zones.value(message.objectId);
    if (!zone) {
        refuse(session, message, InvalidDeviceId, QStringLiteral("no such zone"));
        return;
    }
    const Outcome outcome = m_dispatcher.dispatch(*zone, session->eventMask(zone->id()),
                                                  message.data.toByteArray(), m_clock.now());
    m_log.request(session->number(), message, outcome);
    reply(session, message, outcome);
    broadcast(zone->id(), outcome.events);
}

void Server::refuse(ClientSession* session, const Message& request, int errorKind,
                    const QString& reason)
{
    m_log.refused(session->number(), request, errorKind, reason);
    session->send(frame(request.number, request.objectId, errorKind, QByteArray()));
}

void Server::reply(ClientSession* session, const Message& request, const Outcome& outcome)
{
    const QByteArray data = CommandDispatcher::replyData(outcome, m_clock.stamp());
    session->send(frame(request.number, request.objectId, Semtra::Command::Reply, data));
    m_log.reply(session->number(), request, outcome);
}

void Server::noteDropped(ClientSession* session, const QString& reason)
{
    m_log.note(QStringLiteral("client %1: %2, connection dropped").arg(session->number()).arg(reason));
}

void Server::removeClient(ClientSession* session)
{
    if (!m_clients.removeOne(session))
        return;
    m_log.note(QStringLiteral("client %1 disconnected").arg(session->number()));
    session->deleteLater();
}

} // namespace Service
