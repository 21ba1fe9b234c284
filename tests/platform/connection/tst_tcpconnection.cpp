#include "Until.h"
#include "Velmora/format/Protocol.h"
#include <connection/TcpConnection.h>
#include <semtra/Request.h>
#include <semtra/Wire.h>

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>

using Semtra::Command::Message;
using Semtra::Connection;
using Semtra::TcpConnection;
using Semtra::Wire::FrameReader;

namespace {

constexpr int ObjectId = 42;
constexpr int Tag = Velmora::Protocol::Tag;
// Retries after 10 ms rather than a quarter second: the tests wait on
// conditions, and a real delay would only make them slow.
constexpr int FirstDelay = 10;

// The service's end: a listening socket on a free port of the loopback.
class Service
{
public:
    bool listen(quint16 port = 0) { return server.listen(QHostAddress::LocalHost, port); }
    // Waits for the connection's next link; the event loop runs, so its retry timer fires.
    QTcpSocket* accept(int timeout = 5000)
    {
        if (!until([this] { return server.hasPendingConnections(); }, timeout))
            return nullptr;
        return socket = server.nextPendingConnection();
    }

    QTcpServer server;
    QPointer<QTcpSocket> socket;
};

// A connection to the service, linked.
struct Linked
{
    explicit Linked(Service* service)
    {
        connection.setFirstRetryDelay(FirstDelay);
        connection.setMaxRetryDelay(8 * FirstDelay);
        connection.connectToService(QStringLiteral("127.0.0.1"), service->server.serverPort());
        up = service->accept() && until([this] { return connection.state() == Connection::Connected; });
    }
    TcpConnection connection;
    QSignalSpy states{&connection, &Connection::stateChanged};
    QSignalSpy messages{&connection, &Connection::message};
    bool up = false;

    Message message(int i) const { return messages.at(i).at(0).value<Message>(); }
    // Recorded rather than polled: the retry may bring the link back within milliseconds.
    bool wentDown() const
    {
        for (const QList<QVariant>& change : states) {
            if (change.at(0).value<Connection::State>() < Connection::Connected)
                return true;
        }
        return false;
    }
};

// A frame of this kind (3: announced, 4: withdrawn) about an object, with 8 bytes of data.
QByteArray frame(int kind, int object = ObjectId)
{
    return Semtra::Wire::encodeFrame(Message{0, object, kind, Tag, QByteArray(8, '\0')});
}

} // namespace

class TestTcpConnection : public QObject
{
    Q_OBJECT
private slots:
    void linkLifecycle();
    void incomingBytes_data();
    void incomingBytes();
    void slicedDelivery_data();
    void slicedDelivery();
};

void TestTcpConnection::linkLifecycle()
{
    // Nothing goes out while there is no link.
    Request early(1, ObjectId, 4352, QVariant(), Tag);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not connected"));
    TcpConnection().request(&early);

    Service service;
    QVERIFY(service.listen());
    Linked link(&service);
    QVERIFY(link.up);

    // An announced object, known by protocol and id.
    const QByteArray stamp = Semtra::Wire::encodeReply(45000.5, 0, 0, {}).left(8);
    service.socket->write(Semtra::Wire::encodeFrame(Message{0, ObjectId, Semtra::Command::Connected, Tag, stamp}));
    QVERIFY(until([&] { return link.messages.size() == 1; }));
    QCOMPARE(link.message(0).data.toByteArray(), stamp);
    QVERIFY(link.connection.contains(Tag, ObjectId) && !link.connection.contains(Tag + 1, ObjectId));

    // A request goes out as a kind-2 frame: command code, then the block.
    Request request(5, ObjectId, 4097, QVariantList{2u, 60u}, Tag);
    link.connection.request(&request);
    FrameReader reader;
    Message sent;
    QVERIFY(until([&] {
        reader.append(service.socket->readAll());
        return reader.next(&sent) == FrameReader::Ready;
    }));
    QCOMPARE(QList<int>({sent.number, sent.objectId, sent.kind, sent.tag}), QList<int>({5, ObjectId, 2, Tag}));
    QCOMPARE(sent.data.toByteArray().toHex(), QByteArray("01100000" "02000000" "3c000000"));

    // The service drops the link: the announced object is reported lost, with
    // empty data, and the link comes back while the service listens.
    link.messages.clear();
    service.socket->close();
    QVERIFY(until([&] { return link.messages.size() == 1; }));
    const Message lost = link.message(0);
    QCOMPARE(QList<int>({lost.kind, lost.number, lost.objectId, lost.tag}), QList<int>({4, 0, ObjectId, Tag}));
    QCOMPARE(lost.data.userType(), int(QMetaType::QByteArray));
    QVERIFY(lost.data.toByteArray().isEmpty() && !link.connection.contains(Tag, ObjectId));
    QVERIFY(service.accept() && until([&] { return link.connection.state() == Connection::Connected; }));

    // Now it goes away altogether and returns on the same port: refused
    // attempts make the delay grow; the link resets it.
    const quint16 port = service.server.serverPort();
    service.server.close();
    service.socket->close();
    QVERIFY(until([&] { return link.connection.retryDelay() > FirstDelay; }));
    QVERIFY(link.connection.state() < Connection::Connected);
    QVERIFY(service.listen(port) && service.accept(10000));
    QVERIFY(until([&] { return link.connection.state() == Connection::Connected; }));
    QCOMPARE(link.connection.retryDelay(), FirstDelay);
    // Every change was announced: no two equal states in a row.
    for (int i = 1; i < link.states.size(); ++i)
        QVERIFY(link.states.at(i).at(0) != link.states.at(i - 1).at(0));

    // Disconnecting on purpose stops the retries.
    QSignalSpy closed(service.socket.data(), &QAbstractSocket::disconnected);
    link.connection.disconnectFromService();
    QVERIFY(until([&] { return link.connection.state() == Connection::Unconnected && closed.size() == 1; }));
    // Nothing to wait for but time: long enough for several retries, were there any.
    QVERIFY(!service.server.waitForNewConnection(FirstDelay * 5));
}

void TestTcpConnection::incomingBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frames");      // delivered before the fault
    QTest::addColumn<bool>("malformed");  // else the service hangs up after them
    QTest::addColumn<QList<int>>("lost"); // objects then reported lost, by id
    const QByteArray noLength = QByteArray::fromHex("ffffffff");
    QTest::newRow("shorter than a head") << QByteArray::fromHex("03000000aabbcc") << 0 << true << QList<int>{};
    QTest::newRow("length ffffffff") << noLength << 0 << true << QList<int>{};
    QTest::newRow("not the protocol") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n") << 0 << true << QList<int>{};
    QTest::newRow("announced, then length 0") << frame(3) + QByteArray(4, '\0') << 1 << true
                                              << QList<int>{ObjectId};
    QTest::newRow("withdrawn, then malformed") << frame(3, 1) + frame(3, 3) + frame(4, 3) + noLength << 3 << true
                                               << QList<int>{1};
    // Announced twice, withdrawn and announced again, withdrawn unannounced,
    // an event; then a frame cut short.
    QTest::newRow("announcements, then a frame cut short")
        << frame(3, 1) + frame(3, 1) + frame(3, 2) + frame(4, 2) + frame(4, 5) + frame(0, 7) + frame(3, 2)
               + frame(3, 9).left(20)
        << 7 << false << QList<int>{1, 2};
}

// Whatever arrives, the connection delivers the frames that stand before the
// first fault, cuts the link at a malformed one, reports every object still
// announced as lost, and tries again.
void TestTcpConnection::incomingBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, frames);
    QFETCH(bool, malformed);
    QFETCH(QList<int>, lost);
    Service service;
    QVERIFY(service.listen());
    Linked link(&service);
    QVERIFY(link.up);
    link.states.clear();
    if (malformed)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("malformed frame"));
    service.socket->write(bytes);
    if (malformed) {
        QVERIFY(until([&] { return service.socket->state() == QAbstractSocket::UnconnectedState; }));
    } else {
        QVERIFY(until([&] { return link.messages.size() == frames; }));
        for (int id : lost)
            QVERIFY(link.connection.contains(Tag, id));
        service.socket->abort();
    }
    // The frames, then one loss for each object still announced.
    QVERIFY(until([&] { return link.wentDown() && link.messages.size() == frames + lost.size(); }));
    QList<int> losses;
    for (int i = frames; i < link.messages.size(); ++i) {
        QCOMPARE(link.message(i).kind, int(Semtra::Command::Disconnected));
        losses << link.message(i).objectId;
    }
    std::sort(losses.begin(), losses.end());
    QCOMPARE(losses, lost);
    QVERIFY(service.accept() && until([&] { return link.connection.state() == Connection::Connected; }));
}

void TestTcpConnection::slicedDelivery_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("cost");   // microseconds a receiver spends on each frame
    QTest::addColumn<int>("budget"); // the connection's slice, in milliseconds
    QTest::addColumn<bool>("hangUp"); // the service closes right after sending
    // More than one read: what the socket still holds when the link goes counts too.
    QTest::newRow("burst, then the service hangs up") << 3000 << 20 << 2 << true;
    QTest::newRow("one frame, then the service hangs up") << 1 << 20 << 2 << true;
    // Several times what we may buffer: the service is held back, not read ahead.
    QTest::newRow("flood") << 20000 << 2 << 4 << false;
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
    Linked link(&service);
    QVERIFY(link.up);
    link.connection.setSliceBudget(budget);
    link.states.clear();

    // The event loop's turns, counted by a timer that fires at every one.
    int turn = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&turn] { ++turn; });
    ticker.start();
    struct Seen { int number, kind, turn; bool linkUp; };
    QVector<Seen> seen;
    qint64 largestBacklog = 0;
    QObject::connect(&link.connection, &Connection::message, [&](const Message& m) {
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < cost * 1000) {
        }
        seen.append({m.number, m.kind, turn, link.connection.state() == Connection::Connected});
        largestBacklog = qMax(largestBacklog, link.connection.backlog());
    });

    QByteArray burst = frame(3);
    for (int i = 1; i <= frames; ++i) {
        const QByteArray event = Semtra::Wire::encodeEvent(3, 45000.5, {3u, uint(i % 5), 0u});
        burst += Semtra::Wire::encodeFrame(Message{i, ObjectId, Semtra::Command::Event, Tag, event});
    }
    service.socket->write(burst);
    if (hangUp)
        service.socket->disconnectFromHost();

    QVERIFY(until([&] { return seen.size() == 1 + frames + int(hangUp); }, 30000));
    for (int i = 1; i <= frames; ++i)
        QVERIFY(seen.at(i).number == i && seen.at(i).kind == Semtra::Command::Event && seen.at(i).linkUp);
    if (hangUp) {
        // Reported lost while the state still said connected: the loss comes
        // first, then the link went down.
        QCOMPARE(seen.last().kind, int(Semtra::Command::Disconnected));
        QVERIFY(seen.last().linkUp);
        QVERIFY(until([&] { return !link.states.isEmpty(); }));
        QVERIFY(link.states.first().at(0).value<Connection::State>() < Connection::Connected);
    }

    // Each frame takes at least `cost`, so a slice holds at most budget / cost
    // of them, and one more that started just before the budget ran out. One
    // turn of the event loop may see two slices: the one due, and one for data
    // that has just come in.
    const int perSlice = 2 * (budget * 1000 / cost + 1);
    QHash<int, int> perTurn;
    int longest = 0;
    for (const Seen& s : qAsConst(seen))
        longest = qMax(longest, ++perTurn[s.turn]);
    QVERIFY2(longest <= perSlice, qPrintable(QStringLiteral("%1 frames in one turn").arg(longest)));
    if (frames > perSlice)
        QVERIFY(seen.last().turn > seen.first().turn);
    // Read as used: what waits on our side is bounded, whatever the service has sent.
    QVERIFY2(largestBacklog <= TcpConnection::ReadBufferSize + 2 * 64 * 1024,
             qPrintable(QStringLiteral("%1 bytes waiting").arg(largestBacklog)));
}

QTEST_MAIN(TestTcpConnection)
#include "tst_tcpconnection.moc"
