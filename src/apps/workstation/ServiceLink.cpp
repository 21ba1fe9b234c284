#include "ServiceLink.h"

#include "LinkMonitor.h"
#include "LinkStatusView.h"
#include "ModuleHost.h"

#include "connection/TcpConnection.h"

namespace Velmora {

ServiceLink::ServiceLink(ModuleHost* host, LinkMonitor* links, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_links(links)
    , m_connection(new Semtra::TcpConnection(this))
{
    m_host->setConnection(m_connection);
    connect(m_connection, &Semtra::TcpConnection::stateChanged, this, &ServiceLink::stateChanged);
    connect(m_connection, &Semtra::TcpConnection::errorOccurred, this, [this](const QString& reason) {
        m_links->connectionFailed(reason);
        emit changed();
    });
}

void ServiceLink::connectTo(const QString& host, quint16 port)
{
    emit logLine(tr("connecting to %1:%2").arg(host).arg(port));
    m_wanted = true;
    m_links->setService(QStringLiteral("%1:%2").arg(host).arg(port), true);
    m_connection->connectToService(host, port);
    emit changed();
}

void ServiceLink::disconnectFromService()
{
    m_wanted = false;
    m_links->setService(QStringLiteral("%1:%2").arg(m_connection->hostName()).arg(m_connection->port()), false);
    m_connection->disconnectFromService();
    emit logLine(tr("disconnected from the service"));
    emit changed();
}

bool ServiceLink::isWanted() const
{
    return m_wanted;
}

void ServiceLink::stateChanged(Semtra::Connection::State state)
{
    emit logLine(tr("service connection: %1").arg(LinkStatusView::connectionStateText(state)));
    m_links->connectionStateChanged(int(state));
    if (state >= Semtra::Connection::Connected)
        m_host->refreshZones();
    else
        emit serviceLost();
    emit changed();
}

} // namespace Velmora
