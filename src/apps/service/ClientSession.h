#pragma once

#include "semtra/Message.h"
#include "semtra/Wire.h"

#include <QHash>
#include <QObject>

class QTcpSocket;

namespace Service {

// One connected client: frames in, frames out, and its event masks per zone.
class ClientSession : public QObject
{
    Q_OBJECT

public:
    ClientSession(int number, QTcpSocket* socket, QObject* parent = nullptr);

    int number() const { return m_number; }
    void send(const Semtra::Command::Message& message);
    // Bit n set: the client receives event n of that zone (all at first).
    quint32* eventMask(int zone);
    bool wants(int zone, quint32 eventId) const;

signals:
    void frameReceived(ClientSession* session, const Semtra::Command::Message& message);
    // A frame could not be read; the session has dropped the connection.
    void malformed(ClientSession* session);
    void closed(ClientSession* session);

private slots:
    void readFrames();
    void socketClosed();

private:
    int m_number;
    QTcpSocket* m_socket;
    Semtra::Wire::FrameReader m_reader;
    QHash<int, quint32> m_masks;
    bool m_closed = false;
};

} // namespace Service
