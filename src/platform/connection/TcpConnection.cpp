#include "TcpConnection.h"

#include "semtra/Request.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpSocket>
#include <QtDebug>

namespace Semtra {

namespace {

// Bytes taken off the socket at a time, when the frames read so far are used up.
constexpr qint64 ReadChunk = 64 * 1024;

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
    m_sliceTimer.setSingleShot(true);
    m_sliceTimer.setInterval(0);
    connect(&m_sliceTimer, &QTimer::timeout, this, &TcpConnection::readFrames);
    m_socket->setReadBufferSize(ReadBufferSize);
    connect(m_socket, &QAbstractSocket::stateChanged, this, &TcpConnection::socketStateChanged);
    // New data is read by the slice timer too, not at once: a slice cut short
    // continues in the next turn of the event loop, and data arriving in that
    // turn must not add a second slice to it.
    connect(m_socket, &QIODevice::readyRead, this, [this] {
        if (!m_sliceTimer.isActive())
            m_sliceTimer.start();
    });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this] {
        m_lastError = m_socket->errorString();
        emit errorOccurred(m_lastError);
    });
}

TcpConnection::~TcpConnection()
{
    // Nobody listens to a half-destroyed object's socket.
    m_socket->disconnect(this);
    m_retryTimer.stop();
    m_sliceTimer.stop();
}

void TcpConnection::connectToService(const QString& host, quint16 port)
{
    m_wanted = false;
    m_retryTimer.stop();
    // What the old link still had to deliver is of no use on the new one.
    m_sliceTimer.stop();
    m_reader.clear();
    m_socket->abort();
    if (m_linkLost)
        finishLinkLoss();
    m_host = host;
    m_port = port;
    m_lastError.clear();
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

int TcpConnection::sliceBudget() const
{
    return m_sliceBudget;
}

void TcpConnection::setSliceBudget(int milliseconds)
{
    m_sliceBudget = qMax(1, milliseconds);
}

qint64 TcpConnection::backlog() const
{
    return m_reader.pending() + m_socket->bytesAvailable();
}

QString TcpConnection::lastError() const
{
    return m_lastError;
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
    if (m_state != Connected || m_linkLost) {
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
    if (m_linkLost) {
        // Still delivering what the lost link brought; the state follows after.
        return;
    }
    const State next = fromSocket(socketState);
    if (next == m_state)
        return;
    if (socketState == QAbstractSocket::ConnectedState)
        m_lastError.clear();
    if (m_state >= Connected && next < Connected) {
        // The service's last words count: whatever it sent before the link
        // went is delivered first, in slices like any other frames.
        if (m_socket->isOpen())
            m_reader.append(m_socket->readAll());
        m_linkLost = true;
        m_sliceTimer.start();
        return;
    }
    enterState(next);
}

void TcpConnection::enterState(State next)
{
    if (next == m_state)
        return;
    if (next == Connected)
        m_retryDelay = m_firstRetryDelay;
    setState(next);
    if (next == Unconnected && m_wanted && !m_retryTimer.isActive()) {
        m_retryTimer.start(m_retryDelay);
        m_retryDelay = qMin(m_retryDelay * 2, m_maxRetryDelay);
    }
}

void TcpConnection::finishLinkLoss()
{
    m_linkLost = false;
    m_sliceTimer.stop();
    m_reader.clear();
    QPointer<TcpConnection> guard(this);
    withdrawAll();
    if (!guard)
        return;
    // The socket may have gone on to unconnected meanwhile.
    enterState(fromSocket(m_socket->state()));
}

void TcpConnection::readFrames()
{
    m_sliceTimer.stop();
    // A receiver may delete us or drop the link from its slot.
    QPointer<TcpConnection> guard(this);
    QElapsedTimer slice;
    slice.start();
    while (guard && m_state == Connected) {
        Command::Message frame;
        const Wire::FrameReader::Status status = m_reader.next(&frame);
        if (status == Wire::FrameReader::NeedMore) {
            if (m_linkLost) {
                finishLinkLoss();
                return;
            }
            // Read in chunks as the frames are used up: the rest waits in the
            // socket's bounded buffer, and beyond it on the service's side.
            if (m_socket->bytesAvailable() <= 0)
                return;
            m_reader.append(m_socket->read(ReadChunk));
            continue;
        }
        if (status == Wire::FrameReader::Malformed) {
            qWarning("TcpConnection: malformed frame from %s:%u, closing the link",
                     qPrintable(m_host), unsigned(m_port));
            m_reader.clear();
            if (m_linkLost)
                finishLinkLoss();
            else
                m_socket->abort();
            return;
        }
        const QPair<int, int> key(frame.tag, frame.objectId);
        if (frame.kind == Command::Connected)
            m_objects.insert(key);
        else if (frame.kind == Command::Disconnected)
            m_objects.remove(key);
        emit message(frame);
        if (guard && slice.elapsed() >= m_sliceBudget) {
            // The event loop's turn; the next slice follows right after it.
            m_sliceTimer.start();
            return;
        }
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
