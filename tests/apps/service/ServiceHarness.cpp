#include "Velmora/format/Protocol.h"
#include "ServiceHarness.h"

#include <semtra/Notification.h>
#include <semtra/Rare.h>

#include <QtEndian>
#include <QtTest>

namespace {

void putU32(QByteArray* out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out->append(bytes, 4);
}

} // namespace

qint64 childProcess(const QString& program)
{
    const QString wanted = QFileInfo(program).canonicalFilePath();
    const QString parent = QString::number(QCoreApplication::applicationPid());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == parent.toLatin1()
            && QFileInfo(QStringLiteral("/proc/%1/exe").arg(entry)).canonicalFilePath() == wanted)
            return pid;
    }
    return 0;
}

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QByteArray command(quint32 code, const QVariantList& values)
{
    QByteArray data;
    putU32(&data, code);
    for (const QVariant& value : values) {
        if (value.userType() == QMetaType::QByteArray) {
            putU32(&data, quint32(value.toByteArray().size()));
            data.append(value.toByteArray());
        } else {
            putU32(&data, value.toUInt());
        }
    }
    return data;
}

bool TestClient::connectTo(quint16 port)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &TestClient::readFrames, Qt::UniqueConnection);
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(5000);
}

int TestClient::send(int zone, const QByteArray& data, int tag)
{
    Semtra::Command::Message message;
    message.number = ++m_number;
    message.objectId = zone;
    message.kind = Semtra::Command::Request;
    message.tag = tag;
    message.data = data;
    sendRaw(Semtra::Wire::encodeFrame(message));
    return message.number;
}

int TestClient::sendBurst(int zone, const QByteArray& data, int count)
{
    // One frame repeated, each copy numbered.
    const QByteArray frame =
        Semtra::Wire::encodeFrame({0, zone, Semtra::Command::Request, Velmora::Protocol::Tag, data});
    QByteArray bytes = frame.repeated(count);
    for (int i = 0; i < count; ++i)
        qToLittleEndian(quint32(++m_number), bytes.data() + qsizetype(i) * frame.size() + 4);
    sendRaw(bytes);
    return m_number;
}

void TestClient::setReading(bool on)
{
    m_reading = on;
    m_socket.setReadBufferSize(on ? 0 : 4096);
    if (on)
        readFrames();
}

void TestClient::sendRaw(const QByteArray& bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

Reply TestClient::waitReply(int number, const QList<QVariant::Type>& types, int ms)
{
    Reply reply;
    auto isReply = [number](const Semtra::Command::Message& m) {
        return m.number == number && m.kind != Semtra::Command::Event
            && m.kind != Semtra::Command::Connected && m.kind != Semtra::Command::Disconnected;
    };
    if (!waitFor(isReply, ms))
        return reply;
    auto it = std::find_if(frames.cbegin(), frames.cend(), isReply);
    reply.kind = it->kind;
    reply.objectId = it->objectId;
    const QByteArray data = it->data.toByteArray();
    reply.size = data.size();
    if (reply.kind != Semtra::Command::Reply || data.size() < 16)
        return reply;
    reply.result = qFromLittleEndian<quint32>(data.constData() + 8);
    reply.code = qFromLittleEndian<quint32>(data.constData() + 12);
    const QByteArray block = data.mid(16);
    reply.values = Rare::getParams(reinterpret_cast<const uchar*>(block.constData()),
                                   block.size(), types);
    return reply;
}

Reply TestClient::call(int zone, const QByteArray& data, const QList<QVariant::Type>& types)
{
    return waitReply(send(zone, data), types);
}

bool TestClient::waitFor(const std::function<bool(const Semtra::Command::Message&)>& match, int ms)
{
    return waitUntil([&] { return std::any_of(frames.cbegin(), frames.cend(), match); }, ms);
}

bool TestClient::waitDisconnected(int ms)
{
    return waitUntil([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, ms);
}

// Wakes on every frame and state change instead of polling.
bool TestClient::waitUntil(const std::function<bool()>& done, int ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &TestClient::framesArrived, &loop, [&] {
        if (done())
            loop.quit();
    });
    connect(&m_socket, &QTcpSocket::stateChanged, &loop, [&] {
        if (done())
            loop.quit();
    });
    timeout.start(ms);
    loop.exec();
    return done();
}

QStringList TestClient::takeEvents(int zone)
{
    QStringList events;
    for (auto it = frames.begin(); it != frames.end();) {
        if (it->kind != Semtra::Command::Event || it->objectId != zone) {
            ++it;
            continue;
        }
        const Notification event(it->data.toByteArray(), it->tag);
        QStringList values;
        for (const QVariant& value : event.data())
            values << value.toString();
        events << QStringLiteral("%1:%2").arg(event.id()).arg(values.join(QLatin1Char(',')));
        it = frames.erase(it);
    }
    return events;
}

void TestClient::readFrames()
{
    if (!m_reading)
        return;
    m_reader.append(m_socket.readAll());
    Semtra::Command::Message message;
    while (m_reader.next(&message) == Semtra::Wire::FrameReader::Ready)
        frames.append(message);
    emit framesArrived();
}
