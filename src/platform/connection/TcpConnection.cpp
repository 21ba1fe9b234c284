#include "TcpConnection.h"

#include "semtra/Request.h"

#include <QPointer>
#include <QTcpSocket>
#include <QtDebug>

namespace Semtra {

namespace {

Connection::State fromSocket(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::HostLookupState:
        return Connection::HostLookup;
    case QAbstractSocket::ConnectingState:
    case QAbstractSocket::BoundState:
        return Connection::Connecting;
    case QAbstractSocket::ConnectedState:
        return Connection::Connected;
    case QAbstractSocket::ClosingState:
        return Connection::Closing;
    default:
        return Connection::Unconnected;
    }
}

} // namespace

TcpConnection::TcpConnection(QObject* parent)
    : Connection(parent)
    , m_socket(new QTcpSocket(this))
{
    Command::registerMessageType();
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &TcpConnection::retry);
    connect(m_socket, &QAbstractSocket::stateChanged, this, &TcpConnection::socketStateChanged);
    connect(m_socket, &QIODevice::readyRead, this, &TcpConnection::readFrames);
}

TcpConnection::~TcpConnection()
{
    // Nobody listens to a half-destroyed object's socket.
    m_socket->disconnect(this);
    m_retryTimer.stop();
}

void TcpConnection::connectToService(const QString& host, quint16 port)
{
    m_wanted = false;
    m_retryTimer.stop();
    m_socket->abort();
    m_reader.clear();
    m_host = host;
    m_port = port;
    m_retryDelay = m_firstRetryDelay;
    m_wanted = true;
    m_socket->connectToHost(m_host, m_port);
}

void TcpConnection::disconnectFromService()
{
    m_wanted = false;
    m_retryTimer.stop();
    m_socket->disconnectFromHost();
}

Connection::State TcpConnection::state() const
{
    return m_state;
}

QString TcpConnection::hostName() const
{
    return m_host;
}

quint16 TcpConnection::port() const
{
    return m_port;
}

int TcpConnection::retryDelay() const
{
    return m_retryDelay;
}

int TcpConnection::firstRetryDelay() const
{
    return m_firstRetryDelay;
}

void TcpConnection::setFirstRetryDelay(int milliseconds)
{
    m_firstRetryDelay = qMax(1, milliseconds);
    m_maxRetryDelay = qMax(m_maxRetryDelay, m_firstRetryDelay);
    m_retryDelay = qMin(m_retryDelay, m_maxRetryDelay);
}

int TcpConnection::maxRetryDelay() const
{
    return m_maxRetryDelay;
}

void TcpConnection::setMaxRetryDelay(int milliseconds)
{
    m_maxRetryDelay = qMax(m_firstRetryDelay, milliseconds);
    m_retryDelay = qMin(m_retryDelay, m_maxRetryDelay);
}

bool TcpConnection::contains(int tag, int id) const
{
    return m_objects.contains(qMakePair(tag, id));
}

void TcpConnection::request(const Request* request)
{
    if (!request) {
        qWarning("TcpConnection::request: null request");
        return;
    }
    if (m_state != Connected) {
        // The module keeps its response open; it learns of the link by state.
        qWarning("TcpConnection::request: not connected, request %d for object %d dropped",
                 request->number(), request->objectId());
        return;
    }
    const QByteArray data =
        Wire::encodeRequestData(quint32(request->command().toInt()), request->param());
    if (data.size() > Wire::MaxFrameSize - 16) {
        qWarning("TcpConnection::request: request %d too large, dropped", request->number());
        return;
    }
    Command::Message frame;
    frame.number = request->number();
    frame.objectId = request->objectId();
    frame.kind = Command::Request;
    frame.tag = request->tag();
    frame.data = data;
    m_socket->write(Wire::encodeFrame(frame));
}

void TcpConnection::socketStateChanged(QAbstractSocket::SocketState socketState)
{
    const State next = fromSocket(socketState);
    if (next == m_state)
        return;
    if (m_state >= Connected && next < Connected) {
        m_reader.clear();
        withdrawAll();
    }
    if (next == Connected)
        m_retryDelay = m_firstRetryDelay;
    setState(next);
    if (next == Unconnected && m_wanted && !m_retryTimer.isActive()) {
        m_retryTimer.start(m_retryDelay);
        m_retryDelay = qMin(m_retryDelay * 2, m_maxRetryDelay);
    }
}

void TcpConnection::readFrames()
{
    m_reader.append(m_socket->readAll());
    // A receiver may delete us or drop the link from its slot.
    QPointer<TcpConnection> guard(this);
    while (guard && m_state == Connected) {
        Command::Message frame;
        const Wire::FrameReader::Status status = m_reader.next(&frame);
        if (status == Wire::FrameReader::NeedMore)
            return;
        if (status == Wire::FrameReader::Malformed) {
            qWarning("TcpConnection: malformed frame from %s:%u, closing the link",
                     qPrintable(m_host), unsigned(m_port));
            m_reader.clear();
            m_socket->abort();
            return;
        }
        const QPair<int, int> key(frame.tag, frame.objectId);
        if (frame.kind == Command::Connected)
            m_objects.insert(key);
        else if (frame.kind == Command::Disconnected)
            m_objects.remove(key);
        emit message(frame);
    }
}

void TcpConnection::retry()
{
    if (m_wanted && m_socket->state() == QAbstractSocket::UnconnectedState)
        m_socket->connectToHost(m_host, m_port);
}

void TcpConnection::setState(State state)
{
    m_state = state;
    emit stateChanged(state);
}

void TcpConnection::withdrawAll()
{
    // Cleared first: a receiver asking contains() already sees the link gone.
    const QSet<QPair<int, int>> objects = m_objects;
    m_objects.clear();
    QPointer<TcpConnection> guard(this);
    for (const QPair<int, int>& object : objects) {
        Command::Message lost;
        lost.objectId = object.second;
        lost.kind = Command::Disconnected;
        lost.tag = object.first;
        lost.data = QByteArray();
        emit message(lost);
        if (!guard)
            return;
    }
}

} // namespace Semtra
