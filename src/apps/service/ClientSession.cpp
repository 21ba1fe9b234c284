#include "ClientSession.h"

#include <QTcpSocket>

namespace Service {

namespace {
constexpr quint32 AllEvents = 0xFF;
}

ClientSession::ClientSession(int number, QTcpSocket* socket, QObject* parent)
    : QObject(parent)
    , m_number(number)
    , m_socket(socket)
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &ClientSession::readFrames);
    connect(m_socket, &QTcpSocket::disconnected, this, &ClientSession::socketClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ClientSession::socketClosed);
}

void ClientSession::send(const Semtra::Command::Message& message)
{
    if (!m_closed && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(Semtra::Wire::encodeFrame(message));
}

quint32* ClientSession::eventMask(int zone)
{
    auto it = m_masks.find(zone);
    if (it == m_masks.end())
        it = m_masks.insert(zone, AllEvents);
    return &it.value();
}

bool ClientSession::wants(int zone, quint32 eventId) const
{
    return eventId < 32 && (m_masks.value(zone, AllEvents) & (1u << eventId));
}

void ClientSession::readFrames()
{
    m_reader.append(m_socket->readAll());
    Semtra::Command::Message message;
    while (!m_closed) {
        const Semtra::Wire::FrameReader::Status status = m_reader.next(&message);
        if (status == Semtra::Wire::FrameReader::NeedMore)
            return;
        if (status == Semtra::Wire::FrameReader::Malformed) {
            // Nothing after a bad length can be trusted: drop this client only.
            emit malformed(this);
            m_socket->abort();
            socketClosed();
            return;
        }
        emit frameReceived(this, message);
    }
}

void ClientSession::socketClosed()
{
    if (m_closed)
        return;
    m_closed = true;
    emit closed(this);
}

} // namespace Service
