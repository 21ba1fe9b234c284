#include "Velmora/format/Protocol.h"
#include <connection/TcpConnection.h>
#include <semtra/Request.h>
#include <semtra/Wire.h>

#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using Semtra::Command::Message;
using Semtra::Connection;
using Semtra::TcpConnection;
using Semtra::Wire::FrameReader;

namespace {

constexpr int ObjectId = 42;
constexpr int Tag = Velmora::Protocol::Tag;

// The service's end: a listening socket on a free port of the loopback.
class Service
{
public:
    bool listen(quint16 port = 0) { return server.listen(QHostAddress::LocalHost, port); }

    // Waits for the connection's next link; the event loop runs, so its retry timer fires.
    QTcpSocket* accept(int timeout = 5000)
    {
        if (!QTest::qWaitFor([this] { return server.hasPendingConnections(); }, timeout))
            return nullptr;
        socket = server.nextPendingConnection();
        reader.clear();
        return socket;
    }

    void send(const Message& m) { socket->write(Semtra::Wire::encodeFrame(m)); }

    QTcpServer server;
    QPointer<QTcpSocket> socket;
    FrameReader reader;
};

// Retries after 10 ms rather than a quarter second: the tests wait on
// conditions, and a real delay would only make them slow.
class FastConnection : public TcpConnection
{
public:
    static constexpr int FirstDelay = 10;
    FastConnection()
    {
        setFirstRetryDelay(FirstDelay);
        setMaxRetryDelay(8 * FirstDelay);
    }
};

Message messageAt(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<Message>();
}

} // namespace

class TestTcpConnection : public QObject
{
    Q_OBJECT
private slots:
    void linkLifecycle();
    void incomingBytes();
    void slicedDelivery_data();
    void slicedDelivery();
};

void TestTcpConnection::linkLifecycle()
{
    FastConnection connection;
    // Nothing goes out while there is no link.
    Request early(1, ObjectId, 4352, QVariant(), Tag);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not connected"));
    connection.request(&early);

    Service service;
    QVERIFY(service.listen());
    QSignalSpy states(&connection, &Connection::stateChanged);
    QSignalSpy messages(&connection, &Connection::message);
    connection.connectToService(QStringLiteral("127.0.0.1"), service.server.serverPort());
    QVERIFY(service.accept());
    QTRY_COMPARE(connection.state(), Connection::Connected);
    QCOMPARE(states.last().at(0).value<Connection::State>(), Connection::Connected);

    // Announced objects, one of them withdrawn again.
    const QByteArray stamp = Semtra::Wire::encodeReply(45000.5, 0, 0, {}).left(8);
    service.send(Message{0, ObjectId, Semtra::Command::Connected, Tag, stamp});
    service.send(Message{0, 7, Semtra::Command::Connected, Tag, stamp});
    service.send(Message{0, 7, Semtra::Command::Disconnected, Tag, QByteArray()});
    QTRY_COMPARE(messages.size(), 3);
    QCOMPARE(messageAt(messages, 0).data.toByteArray(), stamp);
    QVERIFY(connection.contains(Tag, ObjectId));
    QVERIFY(!connection.contains(Tag, 7));
    QVERIFY(!connection.contains(Tag + 1, ObjectId));

    // A request goes out as a kind-2 frame: command code, then the block.
    Request request(5, ObjectId, 4097, QVariantList{2u, 60u}, Tag);
    connection.request(&request);
    Message sent;
    QVERIFY(QTest::qWaitFor([&] {
        service.reader.append(service.socket->readAll());
        return service.reader.next(&sent) == FrameReader::Ready;
    }, 5000));
    QCOMPARE(QList<int>({sent.number, sent.objectId, sent.kind, sent.tag}),
             QList<int>({5, ObjectId, int(Semtra::Command::Request), Tag}));
    QCOMPARE(sent.data.toByteArray().toHex(), QByteArray("01100000" "02000000" "3c000000"));

    // The service drops the link: the announced object is reported lost.
    messages.clear();
    service.socket->close();
    // The loss tells that the link went down; the quick retry may already
    // have it up again by the time anyone looks at the state.
    QTRY_COMPARE(messages.size(), 1);
    const Message lost = messageAt(messages, 0);
    QCOMPARE(QList<int>({lost.kind, lost.number, lost.objectId, lost.tag}),
             QList<int>({int(Semtra::Command::Disconnected), 0, ObjectId, Tag}));
    QCOMPARE(lost.data.userType(), int(QMetaType::QByteArray));
    QVERIFY(lost.data.toByteArray().isEmpty());
    QVERIFY(!connection.contains(Tag, ObjectId));

    // The service is still listening, so the link comes back.
    QVERIFY(service.accept());
    QTRY_COMPARE(connection.state(), Connection::Connected);

    // Now it goes away altogether and returns on the same port.
    const quint16 port = service.server.serverPort();
    service.server.close();
    service.socket->close();
    QTRY_VERIFY(connection.state() < Connection::Connected);
    // A few refused attempts make the delay grow; the link resets it.
    QTRY_VERIFY(connection.retryDelay() > FastConnection::FirstDelay);
    QVERIFY(service.listen(port));
    QVERIFY(service.accept(10000));
    QTRY_COMPARE(connection.state(), Connection::Connected);
    QCOMPARE(connection.retryDelay(), FastConnection::FirstDelay);
    // Every change was announced: no two equal states in a row.
    for (int i = 1; i < states.size(); ++i)
        QVERIFY(states.at(i).at(0) != states.at(i - 1).at(0));

    // Disconnecting on purpose stops the retries.
    QSignalSpy closed(service.socket.data(), &QAbstractSocket::disconnected);
    connection.disconnectFromService();
    QTRY_COMPARE(connection.state(), Connection::Unconnected);
    QTRY_COMPARE(closed.size(), 1);
    // Nothing to wait for but time: long enough for several retries, were there any.
    QTest::qWait(FastConnection::FirstDelay * 10);
    QVERIFY(!service.server.hasPendingConnections());
}

// Whatever arrives, the connection delivers the frames that stand before the
// first fault, cuts the link at a malformed one, reports every object still
// announced as lost, and tries again. Fixed cases first, then random ones.
void TestTcpConnection::incomingBytes()
{
    const QByteArray announce = Semtra::Wire::encodeFrame(
        Message{0, ObjectId, Semtra::Command::Connected, Tag, QByteArray(8, '\0')});
    QList<QByteArray> inputs{QByteArray::fromHex("03000000aabbcc"), QByteArray::fromHex("ffffffff"),
                             QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n"),
                             announce + QByteArray::fromHex("00000000")};
    QRandomGenerator random(99);
    while (inputs.size() < 34) {
        // Plausible heads with random bodies, so that some frames get through.
        QByteArray bytes;
        for (int i = random.bounded(1, 6); i > 0; --i) {
            QByteArray body(random.bounded(16, 40), '\0');
            for (char& c : body)
                c = char(random.bounded(256));
            if (random.bounded(4) != 0) {
                // Mostly announcements and withdrawals of a few objects.
                const int kinds[] = {0, 1, 3, 3, 4};
                qToLittleEndian(qint32(random.bounded(3)), body.data() + 4);
                qToLittleEndian(qint32(kinds[random.bounded(5)]), body.data() + 8);
                qToLittleEndian(qint32(Tag), body.data() + 12);
            }
            const quint32 length = random.bounded(8) == 0 ? random.generate() : quint32(body.size());
            bytes += QByteArray(4, '\0') + body;
            qToLittleEndian(length, bytes.data() + bytes.size() - body.size() - 4);
        }
        if (random.bounded(2))
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        inputs << bytes;
    }

    Service service;
    QVERIFY(service.listen());
    FastConnection connection;
    QSignalSpy messages(&connection, &Connection::message);
    connection.connectToService(QStringLiteral("127.0.0.1"), service.server.serverPort());
    for (const QByteArray& bytes : qAsConst(inputs)) {
        const QString input = QString::fromLatin1(bytes.toHex());
        QVERIFY2(service.accept(10000), qPrintable(input));
        QTRY_COMPARE(connection.state(), Connection::Connected);

        // What should come through, and which objects stay announced.
        FrameReader expected;
        expected.append(bytes);
        Message m;
        int frames = 0;
        QSet<QPair<int, int>> announced;
        FrameReader::Status status;
        while ((status = expected.next(&m)) == FrameReader::Ready) {
            ++frames;
            if (m.kind == Semtra::Command::Connected)
                announced.insert(qMakePair(m.tag, m.objectId));
            else if (m.kind == Semtra::Command::Disconnected)
                announced.remove(qMakePair(m.tag, m.objectId));
        }

        messages.clear();
        QSignalSpy closed(service.socket.data(), &QAbstractSocket::disconnected);
        // Recorded rather than polled: the retry may bring the link back
        // within milliseconds.
        QSignalSpy states(&connection, &Connection::stateChanged);
        const auto wentDown = [&states] {
            for (const QList<QVariant>& change : qAsConst(states)) {
                if (change.at(0).value<Connection::State>() < Connection::Connected)
                    return true;
            }
            return false;
        };
        const bool malformed = status == FrameReader::Malformed;
        if (malformed)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("malformed frame"));
        service.socket->write(bytes);
        if (malformed) {
            QTRY_COMPARE(closed.size(), 1);
        } else {
            QTRY_COMPARE(messages.size(), frames);
            for (const auto& object : qAsConst(announced))
                QVERIFY2(connection.contains(object.first, object.second), qPrintable(input));
            service.socket->abort();
        }
        QTRY_VERIFY2(wentDown(), qPrintable(input));
        // The frames, then one loss for each object still announced.
        QTRY_COMPARE(messages.size(), frames + announced.size());
        for (int i = frames; i < messages.size(); ++i) {
            const Message loss = messageAt(messages, i);
            QCOMPARE(loss.kind, int(Semtra::Command::Disconnected));
            QVERIFY2(announced.remove(qMakePair(loss.tag, loss.objectId)), qPrintable(input));
        }
    }
}

void TestTcpConnection::slicedDelivery_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("cost");   // microseconds a receiver spends on each frame
    QTest::addColumn<int>("budget"); // the connection's slice, in milliseconds
    QTest::addColumn<bool>("hangUp"); // the service closes right after sending

    QTest::newRow("burst, link stays") << 3000 << 20 << 2 << false;
    QTest::newRow("burst, then the service hangs up") << 3000 << 20 << 2 << true;
    QTest::newRow("one frame, then the service hangs up") << 1 << 20 << 2 << true;
    // More than the socket may buffer: the service is held back, not read ahead.
    QTest::newRow("flood") << 60000 << 2 << 4 << false;
}

// A burst of frames reaches the receivers whole and in order, but in slices
// with the event loop running between them; what the service sent before
// hanging up comes before the loss of its objects and before the link is down.
void TestTcpConnection::slicedDelivery()
{
    QFETCH(int, frames);
    QFETCH(int, cost);
    QFETCH(int, budget);
    QFETCH(bool, hangUp);

    Service service;
    QVERIFY(service.listen());
    FastConnection connection;
    connection.setSliceBudget(budget);
    QCOMPARE(connection.sliceBudget(), budget);
    connection.connectToService(QStringLiteral("127.0.0.1"), service.server.serverPort());
    QVERIFY(service.accept());
    QTRY_COMPARE(connection.state(), Connection::Connected);

    // The event loop's turns, counted by a timer that fires at every one.
    int turn = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&turn] { ++turn; });
    ticker.start();

    struct Seen
    {
        int number, kind, turn;
        bool linkUp;
    };
    QVector<Seen> seen;
    qint64 largestBacklog = 0;
    QSignalSpy states(&connection, &Connection::stateChanged);
    QObject::connect(&connection, &Connection::message, [&](const Message& m) {
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < cost * 1000) {
        }
        seen.append({m.number, m.kind, turn, connection.state() == Connection::Connected});
        largestBacklog = qMax(largestBacklog, connection.backlog());
    });

    QByteArray burst = Semtra::Wire::encodeFrame(Message{0, ObjectId, Semtra::Command::Connected, Tag, QByteArray(8, '\0')});
    for (int i = 1; i <= frames; ++i) {
        const QByteArray event = Semtra::Wire::encodeEvent(3, 45000.5, {3u, uint(i % 5), 0u});
        burst += Semtra::Wire::encodeFrame(Message{i, ObjectId, Semtra::Command::Event, Tag, event});
    }
    service.socket->write(burst);
    if (hangUp)
        service.socket->disconnectFromHost();

    const int expected = 1 + frames + (hangUp ? 1 : 0);
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), expected, 30000);
    for (int i = 1; i <= frames; ++i) {
        QCOMPARE(seen.at(i).number, i);
        QCOMPARE(seen.at(i).kind, int(Semtra::Command::Event));
        QVERIFY(seen.at(i).linkUp);
    }
    if (hangUp) {
        QCOMPARE(seen.last().kind, int(Semtra::Command::Disconnected));
        // Reported lost while the state still said connected: the loss comes first.
        QVERIFY(seen.last().linkUp);
        // Then the link went down (the quick retry may have it up again by now).
        QTRY_VERIFY(!states.isEmpty()
                    && states.first().at(0).value<Connection::State>() < Connection::Connected);
    }

    // Each frame takes at least `cost`, so a slice holds at most budget / cost
    // of them, and one more that started just before the budget ran out. One
    // turn of the event loop may see two slices: the one due, and one for data
    // that has just come in.
    const int perSlice = 2 * (budget * 1000 / cost + 1);
    int longest = 0;
    for (int i = 0; i < seen.size();) {
        int j = i;
        while (j < seen.size() && seen.at(j).turn == seen.at(i).turn)
            ++j;
        longest = qMax(longest, j - i);
        i = j;
    }
    QVERIFY2(longest <= perSlice, qPrintable(QStringLiteral("%1 frames in one turn").arg(longest)));
    if (frames > perSlice)
        QVERIFY(seen.last().turn > seen.first().turn);
    // Read as used: what waits on our side is bounded, whatever the service has sent.
    QVERIFY2(largestBacklog <= TcpConnection::ReadBufferSize + 2 * 64 * 1024,
             qPrintable(QStringLiteral("%1 bytes waiting").arg(largestBacklog)));
}

QTEST_MAIN(TestTcpConnection)
#include "tst_tcpconnection.moc"
