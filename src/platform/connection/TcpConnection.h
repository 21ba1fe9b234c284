#pragma once

#include "semtra/Connection.h"
#include "semtra/Wire.h"

#include <QAbstractSocket>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTimer>

class QTcpSocket;

namespace Semtra {

// The host's command connection over TCP. Frames from the service become
// message() signals; requests go out as request frames. While wanted, a lost or
// refused link is retried with a growing delay.
class TcpConnection : public Connection
{
    Q_OBJECT
    // Retry delays in milliseconds after the link is lost or refused,
    // doubling from the first up to the cap.
    Q_PROPERTY(int firstRetryDelay READ firstRetryDelay WRITE setFirstRetryDelay)
    Q_PROPERTY(int maxRetryDelay READ maxRetryDelay WRITE setMaxRetryDelay)
public:
    static constexpr int DefaultFirstRetryDelay = 250;
    static constexpr int DefaultMaxRetryDelay = 5000;

    explicit TcpConnection(QObject* parent = nullptr);
    ~TcpConnection() override;

    void connectToService(const QString& host, quint16 port);
    void disconnectFromService();

    State state() const;
    QString hostName() const;
    quint16 port() const;
    // The delay before the next retry.
    int retryDelay() const;
    int firstRetryDelay() const;
    void setFirstRetryDelay(int milliseconds);
    int maxRetryDelay() const;
    void setMaxRetryDelay(int milliseconds);

    Q_INVOKABLE bool contains(int tag, int id) const override;

public slots:
    void request(const Request* request) override;

private slots:
    void socketStateChanged(QAbstractSocket::SocketState socketState);
    void readFrames();
    void retry();

private:
    void setState(State state);
    void withdrawAll();

    QTcpSocket* m_socket;
    Wire::FrameReader m_reader;
    QTimer m_retryTimer;
    QSet<QPair<int, int>> m_objects; // (tag, object id)
    QString m_host;
    quint16 m_port = 0;
    int m_firstRetryDelay = DefaultFirstRetryDelay;
    int m_maxRetryDelay = DefaultMaxRetryDelay;
    int m_retryDelay = DefaultFirstRetryDelay;
    bool m_wanted = false;
    State m_state = Unconnected;
};

} // namespace Semtra
