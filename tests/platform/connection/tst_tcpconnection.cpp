#include "Until.h"
#include "Velmora/format/Protocol.h"
#include <connection/TcpConnection.h>
#include <semtra/Request.h>
#include <semtra/Wire.h>

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
// Retries after 10 ms rather than a quarter second: the tests wait on
// conditions, and a real delay would only make them slow.
constexpr int FirstDelay = 10;

} // namespace

class TestTcpConnection : public QObject
{
    Q_OBJECT
private slots:
    void linkLifecycle()
    {
        // The service's end, on a free port of the loopback.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QPointer<QTcpSocket> socket;
        TcpConnection connection;
        QSignalSpy messages(&connection, &Connection::message);
        const auto message = [&](int i) { return messages.at(i).at(0).value<Message>(); };
        // Waits for the connection's next link; the event loop runs, so its retry timer fires.
        const auto accept = [&] {
            socket = until([&] { return server.hasPendingConnections(); }) ? server.nextPendingConnection() : nullptr;
            return socket && until([&] { return connection.state() == Connection::Connected; });
        };
        connection.setFirstRetryDelay(FirstDelay);
        connection.setMaxRetryDelay(8 * FirstDelay);
        connection.connectToService(QStringLiteral("127.0.0.1"), server.serverPort());
        QVERIFY(accept());

        // An announced object, known by protocol and id.
        const QByteArray stamp = Semtra::Wire::encodeReply(45000.5, 0, 0, {}).left(8);
        socket->write(Semtra::Wire::encodeFrame(Message{0, ObjectId, Semtra::Command::Connected, Tag, stamp}));
        QVERIFY(until([&] { return messages.size() == 1; }));
        QCOMPARE(message(0).data.toByteArray(), stamp);
        QVERIFY(connection.contains(Tag, ObjectId) && !connection.contains(Tag + 1, ObjectId));

        // A request goes out as a kind-2 frame: command code, then the block.
        Request request(5, ObjectId, 4097, QVariantList{2u, 60u}, Tag);
        connection.request(&request);
        FrameReader reader;
        Message sent;
        QVERIFY(until([&] {
            reader.append(socket->readAll());
            return reader.next(&sent) == FrameReader::Ready;
        }));
        QCOMPARE(QList<int>({sent.number, sent.objectId, sent.kind, sent.tag}), QList<int>({5, ObjectId, 2, Tag}));
        QCOMPARE(sent.data.toByteArray().toHex(), QByteArray("01100000" "02000000" "3c000000"));

        // The service drops the link: the announced object is reported lost, with
        // empty data, and the link comes back while the service listens.
        messages.clear();
        socket->close();
        QVERIFY(until([&] { return messages.size() == 1; }));
        const Message lost = message(0);
        QCOMPARE(QList<int>({lost.kind, lost.number, lost.objectId, lost.tag}), QList<int>({4, 0, ObjectId, Tag}));
        QCOMPARE(lost.data.userType(), int(QMetaType::QByteArray));
        QVERIFY(lost.data.toByteArray().isEmpty() && !connection.contains(Tag, ObjectId));
        QVERIFY(accept());

        // Disconnecting on purpose stops the retries.
        QSignalSpy closed(socket.data(), &QAbstractSocket::disconnected);
        connection.disconnectFromService();
        QVERIFY(until([&] { return connection.state() == Connection::Unconnected && closed.size() == 1; }));
        // Nothing to wait for but time: long enough for several retries, were there any.
        QVERIFY(!server.waitForNewConnection(FirstDelay * 5));
    }

    void slicedDelivery_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("cost");    // microseconds a receiver spends on each frame
        QTest::addColumn<int>("budget");  // the connection's slice, in milliseconds
        QTest::addColumn<bool>("hangUp"); // the service closes right after sending
        // More than one read: what the socket still holds when the link goes counts too.
        QTest::newRow("burst, then the service hangs up") << 3000 << 20 << 2 << true;
        // Several times what we may buffer: the service is held back, not read ahead.
        QTest::newRow("flood") << 20000 << 2 << 4 << false;
    }

    // A burst of frames reaches the receivers whole and in order, in slices with
    // the event loop running between them; what the service sent before hanging
    // up comes before the loss of its objects, and our buffer stays bounded.
    void slicedDelivery()
    {
        QFETCH(int, frames);
        QFETCH(int, cost);
        QFETCH(int, budget);
        QFETCH(bool, hangUp);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        TcpConnection connection;
        connection.setSliceBudget(budget);
        connection.connectToService(QStringLiteral("127.0.0.1"), server.serverPort());
        QVERIFY(until([&] { return server.hasPendingConnections(); }));
        QTcpSocket* socket = server.nextPendingConnection();
        QVERIFY(until([&] { return connection.state() == Connection::Connected; }));

        int turn = 0; // the event loop's turns, counted by a timer that fires at every one
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&turn] { ++turn; });
        ticker.start(0);
        struct Seen { int number, kind, turn; bool linkUp; };
        QVector<Seen> seen;
        qint64 largestBacklog = 0;
        QObject::connect(&connection, &Connection::message, [&](const Message& m) {
            QElapsedTimer busy;
            busy.start();
            while (busy.nsecsElapsed() < cost * 1000) {
            }
            seen.append({m.number, m.kind, turn, connection.state() == Connection::Connected});
            largestBacklog = qMax(largestBacklog, connection.backlog());
        });

        QByteArray burst = Semtra::Wire::encodeFrame(Message{0, ObjectId, Semtra::Command::Connected, Tag, QByteArray(8, 0)});
        for (int i = 1; i <= frames; ++i) {
            const QByteArray event = Semtra::Wire::encodeEvent(3, 45000.5, {3u, uint(i % 5), 0u});
            burst += Semtra::Wire::encodeFrame(Message{i, ObjectId, Semtra::Command::Event, Tag, event});
        }
        socket->write(burst);
        if (hangUp)
            socket->disconnectFromHost();

        QVERIFY(until([&] { return seen.size() == 1 + frames + int(hangUp); }, 30000));
        for (int i = 1; i <= frames; ++i)
            QVERIFY(seen.at(i).number == i && seen.at(i).kind == Semtra::Command::Event && seen.at(i).linkUp);
        if (hangUp) // the loss comes last, while the state still says connected
            QVERIFY(seen.last().kind == Semtra::Command::Disconnected && seen.last().linkUp);
        // A slice holds at most budget / cost frames and one more begun just before
        // the budget ran out, and a turn has one slice, however much new data came.
        const int perSlice = budget * 1000 / cost + 1;
        QHash<int, int> perTurn;
        int longest = 0;
        for (const Seen& s : qAsConst(seen))
            longest = qMax(longest, ++perTurn[s.turn]);
        QVERIFY2(longest <= perSlice, qPrintable(QStringLiteral("%1 frames in one turn").arg(longest)));
        QVERIFY(seen.last().turn > seen.first().turn);
        QVERIFY2(largestBacklog <= TcpConnection::ReadBufferSize + 2 * 64 * 1024,
                 qPrintable(QStringLiteral("%1 bytes waiting").arg(largestBacklog)));
    }
};

QTEST_MAIN(TestTcpConnection)
#include "tst_tcpconnection.moc"
