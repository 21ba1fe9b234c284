#pragma once

#include <QHostAddress>
#include <QTcpServer>

// A loopback port nothing listens on, for a server a test starts there or for
// an address that must refuse connections; 0 when none could be had.
inline quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}
