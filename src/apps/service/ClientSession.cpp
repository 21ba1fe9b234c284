#include "ClientSession.h"

#include <QTcpSocket>

namespace Service {

namespace {
constexpr quint32 AllEvents = 0xFF;

QString kib(qint64 bytes)
{
    return QStringLiteral("%1 KiB").arg(bytes / 1024);
}

} // namespace

ClientSession::ClientSession(int number, QTcpSocket* socket, const ClientLimits& limits,
                             QObject* parent)
    : QObject(parent)
    , m_number(number)
    , m_socket(socket)
    , m_limits(limits)
{
    m_socket->setParent(this);
    // Unbounded, the socket would keep reading while we pause, and the client
    // would fill our memory instead of its TCP window.
    m_socket->setReadBufferSize(ReadBufferBytes);
    m_stall.setSingleShot(true);
    m_stall.setInterval(m_limits.stallMs);
    connect(&m_stall, &QTimer::timeout, this, &ClientSession::outputStalled);
    connect(m_socket, &QTcpSocket::readyRead, this, &ClientSession::dataArrived);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ClientSession::outputSent);
    connect(m_socket, &QTcpSocket::disconnected, this, &ClientSession::socketClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ClientSession::socketClosed);
}

void ClientSession::send(const Semtra::Command::Message& message)
{
    if (m_closed || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(Semtra::Wire::encodeFrame(message));
    const qint64 waiting = m_socket->bytesToWrite();
    if (waiting > m_limits.dropAbove) {
        drop(QStringLiteral("more than %1 of output unsent").arg(kib(m_limits.dropAbove)));
    } else if (waiting > m_limits.pauseAbove && !m_paused) {
        m_paused = true;
        m_stall.start();
    }
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

void ClientSession::dataArrived()
{
    // A paused client waits for its output to drain; a queued slice reads on
    // by itself. Either way the data waits in the socket.
    if (!m_paused && !m_sliceQueued)
        readSlice();
}

void ClientSession::readSlice()
{
    m_sliceQueued = false;
    Semtra::Command::Message message;
    int handled = 0;
    // send() pauses us when a reply leaves too much output waiting.
    while (!m_closed && !m_paused) {
        if (handled == FramesPerSlice) {
            queueSlice();
            return;
        }
        const Semtra::Wire::FrameReader::Status status = m_reader.next(&message);
        if (status == Semtra::Wire::FrameReader::NeedMore) {
            // Taken in pieces so that the reader holds at most one frame
            // more than the socket's buffer.
            if (m_socket->bytesAvailable() <= 0) {
                if (m_peerGone)
                    finish();
                return;
            }
            m_reader.append(m_socket->read(ReadBufferBytes));
            continue;
        }
        if (status == Semtra::Wire::FrameReader::Malformed) {
            // Nothing after a bad length can be trusted: drop this client only.
            drop(QStringLiteral("malformed frame"));
            return;
        }
        ++handled;
        emit frameReceived(this, message);
    }
}

void ClientSession::queueSlice()
{
    if (m_sliceQueued)
        return;
    m_sliceQueued = true;
    // Through the event loop, so that other clients' data is read in between.
    QMetaObject::invokeMethod(this, &ClientSession::readSlice, Qt::QueuedConnection);
}

void ClientSession::outputSent()
{
    if (!m_paused || m_socket->bytesToWrite() > m_limits.resumeAt())
        return;
    m_paused = false;
    m_stall.stop();
    // The socket does not announce again the data it already holds.
    queueSlice();
}

void ClientSession::outputStalled()
{
    if (m_paused)
        drop(QStringLiteral("output not down to %1 within %2 ms")
                 .arg(kib(m_limits.resumeAt()))
                 .arg(m_limits.stallMs));
}

void ClientSession::drop(const QString& reason)
{
    if (m_closed)
        return;
    emit dropped(this, reason);
    finish();
    m_socket->abort();
}

void ClientSession::close()
{
    if (m_closed)
        return;
    finish();
    m_socket->disconnectFromHost();
}

void ClientSession::socketClosed()
{
    if (m_closed || m_peerGone)
        return;
    // What the client sent before it hung up is still carried out, in slices
    // as ever; nothing can go out to it any more.
    m_peerGone = true;
    m_paused = false;
    m_stall.stop();
    queueSlice();
}

void ClientSession::finish()
{
    if (m_closed)
        return;
    m_closed = true;
    m_stall.stop();
    emit closed(this);
}

} // namespace Service
