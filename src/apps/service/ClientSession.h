#pragma once

#include "semtra/Message.h"
#include "semtra/Wire.h"

#include <QHash>
#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace Service {

// How much a client may leave unread before it is paused or dropped.
struct ClientLimits
{
    // Reading a client's requests stops above this much unsent output...
    qint64 pauseAbove = 4 * 1024 * 1024;
    // ...and goes on once it is down to half of it.
    qint64 resumeAt() const { return pauseAbove / 2; }
    // A client that stays paused this long is dropped: on the loopback a
    // reading client drains megabytes in milliseconds.
    int stallMs = 3000;
    // Above this the connection is dropped at once: room for the largest
    // reply (a 16 MiB program) on top of pauseAbove, plus events, which reach
    // a paused client too.
    qint64 dropAbove = 32 * 1024 * 1024;
};

// One connected client: frames in, frames out, and its event masks per zone.
//
// A client pays for its own greed: its requests are handled a slice at a time
// so that others get their turn, reading stops while too much output waits
// for it, and a client that lets its output pile up is dropped.
class ClientSession : public QObject
{
    Q_OBJECT

public:
    // Requests handled in one go before other clients are served.
    static constexpr int FramesPerSlice = 64;
    // What the socket takes from the client ahead of us; the rest waits in TCP.
    static constexpr qint64 ReadBufferBytes = 64 * 1024;

    ClientSession(int number, QTcpSocket* socket, const ClientLimits& limits = ClientLimits(),
                  QObject* parent = nullptr);

    int number() const { return m_number; }
    void send(const Semtra::Command::Message& message);
    // Bit n set: the client receives event n of that zone (all at first).
    quint32* eventMask(int zone);
    bool wants(int zone, quint32 eventId) const;
    // Ends the connection from our side; `closed` follows at once.
    void close();

signals:
    void frameReceived(ClientSession* session, const Semtra::Command::Message& message);
    // The session has dropped the connection for `reason` (a bad frame, output
    // that piled up); `closed` follows.
    void dropped(ClientSession* session, const QString& reason);
    // The connection is gone and every request that came before has been handled.
    void closed(ClientSession* session);

private slots:
    void dataArrived();
    void readSlice();
    void outputSent();
    void outputStalled();
    void socketClosed();

private:
    void queueSlice();
    void drop(const QString& reason);
    void finish();

    int m_number;
    QTcpSocket* m_socket;
    ClientLimits m_limits;
    Semtra::Wire::FrameReader m_reader;
    QHash<int, quint32> m_masks;
    QTimer m_stall;
    bool m_paused = false;
    bool m_sliceQueued = false;
    bool m_peerGone = false;
    bool m_closed = false;
};

} // namespace Service
