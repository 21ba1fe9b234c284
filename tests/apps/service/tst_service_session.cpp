#include "Velmora/format/Protocol.h"
#include "ClientSession.h"

#include <semtra/Wire.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

using Service::ClientSession;
using Semtra::Command::Message;

// Sessions served by this test's own event loop, so that the order in which
// their requests are handled can be seen frame by frame.
class TestServiceSession : public QObject
{
    Q_OBJECT

private slots:
    void takesTurns_data();
    void takesTurns();
    void handlesAllBeforeHangUp_data();
    void handlesAllBeforeHangUp();
};

namespace {

QByteArray requests(int count)
{
    QByteArray bytes;
    for (int n = 1; n <= count; ++n)
        bytes += Semtra::Wire::encodeFrame({n, 7, Semtra::Command::Request, Velmora::Protocol::Tag, QByteArray(4, '\0')});
    return bytes;
}

} // namespace

void TestServiceSession::takesTurns_data()
{
    QTest::addColumn<QVector<int>>("bursts"); // requests per client

    QTest::newRow("two equal bursts") << QVector<int>{2000, 2000};
    QTest::newRow("a burst and one request") << QVector<int>{2500, 1};
    QTest::newRow("three bursts") << QVector<int>{300, 1200, 2500};
}

void TestServiceSession::takesTurns()
{
    QFETCH(QVector<int>, bursts);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    std::vector<std::unique_ptr<ClientSession>> sessions;
    QVector<int> order; // the client of every request handled
    QStringList drops;
    for (int i = 0; i < bursts.size(); ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(clients.back()->waitForConnected(5000));
        QVERIFY(server.waitForNewConnection(5000));
        sessions.push_back(std::make_unique<ClientSession>(i, server.nextPendingConnection()));
        connect(sessions.back().get(), &ClientSession::frameReceived,
                [&order](ClientSession* session, const Message&) { order << session->number(); });
        connect(sessions.back().get(), &ClientSession::dropped,
                [&drops](ClientSession*, const QString& reason) { drops << reason; });
    }

    // Every burst lies in the service's sockets before it reads any of them.
    for (int i = 0; i < bursts.size(); ++i) {
        clients.at(i)->write(requests(bursts.at(i)));
        while (clients.at(i)->bytesToWrite() > 0)
            QVERIFY(clients.at(i)->waitForBytesWritten(5000));
    }
    const int total = std::accumulate(bursts.cbegin(), bursts.cend(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), total, 10000);
    QCOMPARE(drops, QStringList());

    // While another client waits, no client is served longer than a slice.
    QVector<int> left = bursts;
    int run = 0;
    int longest = 0;
    for (int k = 0; k < order.size(); ++k) {
        const int client = order.at(k);
        run = k > 0 && order.at(k - 1) == client ? run + 1 : 1;
        bool othersWait = false;
        for (int other = 0; other < left.size(); ++other)
            othersWait = othersWait || (other != client && left.at(other) > 0);
        if (othersWait)
            longest = std::max(longest, run);
        --left[client];
    }
    QVERIFY2(longest <= ClientSession::FramesPerSlice,
             qPrintable(QStringLiteral("%1 requests of one client in a row").arg(longest)));
}

void TestServiceSession::handlesAllBeforeHangUp_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("cut"); // bytes of one more frame sent before hanging up

    QTest::newRow("one request") << 1 << 0;
    QTest::newRow("a slice and one more") << ClientSession::FramesPerSlice + 1 << 0;
    // More than the session takes off its socket at once.
    QTest::newRow("many requests") << 5000 << 0;
    QTest::newRow("many requests and part of one") << 5000 << 10;
}

void TestServiceSession::handlesAllBeforeHangUp()
{
    QFETCH(int, count);
    QFETCH(int, cut);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(client.waitForConnected(5000));
    QVERIFY(server.waitForNewConnection(5000));
    ClientSession session(1, server.nextPendingConnection());
    QVector<int> numbers;
    QStringList drops;
    int closed = 0;
    connect(&session, &ClientSession::frameReceived,
            [&numbers](ClientSession*, const Message& message) { numbers << message.number; });
    connect(&session, &ClientSession::dropped, [&drops](ClientSession*, const QString& reason) { drops << reason; });
    connect(&session, &ClientSession::closed, [&closed] { ++closed; });

    // A client that does not wait for the replies: what it asked is still done.
    client.write(requests(count) + requests(1).left(cut));
    client.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(closed, 1, 10000);
    QCOMPARE(numbers.size(), count);
    QCOMPARE(numbers.last(), count);
    QCOMPARE(drops, QStringList());
}

QTEST_GUILESS_MAIN(TestServiceSession)
#include "tst_service_session.moc"
