#pragma once

#include <QObject>

#include "semtra/Connection.h"

namespace Semtra {
class TcpConnection;
}

namespace Velmora {

class LinkMonitor;
class ModuleHost;

// The connection to the control service as the user wants it: connecting,
// disconnecting, and what each change of the connection means for the
// zones' links (once it is up, the zones are asked again).
class ServiceLink : public QObject
{
    Q_OBJECT
public:
    // Hands the connection to the host's zones before following it, so that
    // the zones have heard of a change before the links are worked out.
    ServiceLink(ModuleHost* host, LinkMonitor* links, QObject* parent);

    void connectTo(const QString& host, quint16 port);
    void disconnectFromService();
    // Asked for and not disconnected since, whether up or not.
    bool isWanted() const;

signals:
    void logLine(const QString& text);
    // The connection is down (or did not come up).
    void serviceLost();
    // The links' words may read differently now.
    void changed();

private:
    void stateChanged(Semtra::Connection::State state);

    ModuleHost* m_host;
    LinkMonitor* m_links;
    Semtra::TcpConnection* m_connection;
    bool m_wanted = false;
};

} // namespace Velmora
