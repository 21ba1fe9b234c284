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
//
// Frames are handed on in slices of at most sliceBudget milliseconds, one
// slice per turn of the event loop: a service that sends faster than the
// receivers apply never freezes the thread. The socket keeps a bounded read
// buffer, so such a service is slowed down by TCP instead of filling memory.
// Frames received before the link went down are still delivered, in order,
// before the announced objects are reported lost and the state goes down.
class TcpConnection : public Connection
{
    Q_OBJECT
    // Retry delays in milliseconds after the link is lost or refused,
    // doubling from the first up to the cap.
    Q_PROPERTY(int firstRetryDelay READ firstRetryDelay WRITE setFirstRetryDelay)
    Q_PROPERTY(int maxRetryDelay READ maxRetryDelay WRITE setMaxRetryDelay)
    Q_PROPERTY(int sliceBudget READ sliceBudget WRITE setSliceBudget)
public:
    static constexpr int DefaultFirstRetryDelay = 250;
    static constexpr int DefaultMaxRetryDelay = 5000;
    static constexpr int DefaultSliceBudget = 4;
    // Bytes the socket holds before TCP flow control holds the service back.
    static constexpr qint64 ReadBufferSize = 256 * 1024;

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
    // Longest stretch of delivering frames before the event loop gets a turn.
    int sliceBudget() const;
    void setSliceBudget(int milliseconds);
    // Received frames (whole or not) not yet delivered, in bytes.
    qint64 backlog() const;
    // Why the last attempt failed or the link was lost, in the socket's words;
    // empty while connected and before any failure.
    QString lastError() const;

    Q_INVOKABLE bool contains(int tag, int id) const override;

public slots:
    void request(const Request* request) override;

signals:
    // A connection attempt failed or the link was lost; see lastError().
    void errorOccurred(const QString& reason);

private slots:
    void socketStateChanged(QAbstractSocket::SocketState socketState);
    void readFrames();
    void retry();

private:
    void setState(State state);
    // A state change of the link, with the retry it may call for.
    void enterState(State next);
    void withdrawAll();
    // After the socket went down and every received frame was delivered.
    void finishLinkLoss();

    QTcpSocket* m_socket;
    Wire::FrameReader m_reader;
    QTimer m_retryTimer;
    // The next slice of frames, after the event loop had its turn.
    QTimer m_sliceTimer;
    QSet<QPair<int, int>> m_objects; // (tag, object id)
    QString m_host;
    QString m_lastError;
    quint16 m_port = 0;
    int m_firstRetryDelay = DefaultFirstRetryDelay;
    int m_maxRetryDelay = DefaultMaxRetryDelay;
    int m_retryDelay = DefaultFirstRetryDelay;
    int m_sliceBudget = DefaultSliceBudget;
    bool m_wanted = false;
    // The socket is down; frames still in the reader are being delivered.
    bool m_linkLost = false;
    State m_state = Unconnected;
};

} // namespace Semtra
