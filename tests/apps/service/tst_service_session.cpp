#include "Velmora/format/Protocol.h"
#include "ClientSession.h"

#include <semtra/Wire.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <numeric>
#include <vector>

using Service::ClientSession;
using Semtra::Command::Message;

namespace {

QByteArray requests(int count)
{
    QByteArray bytes;
    for (int n = 1; n <= count; ++n)
        bytes += Semtra::Wire::encodeFrame({n, 7, Semtra::Command::Request, Velmora::Protocol::Tag, QByteArray(4, '\0')});
    return bytes;
}

} // namespace

// Sessions served by this test's own event loop, so that the order in which
// their requests are handled can be seen frame by frame.
class TestServiceSession : public QObject
{
    Q_OBJECT

private slots:
    void bursts_data();
    void bursts();
};

void TestServiceSession::bursts_data()
{
    QTest::addColumn<QVector<int>>("bursts"); // requests per client
    QTest::addColumn<int>("cut");             // bytes of one more frame, sent before hanging up
    QTest::addColumn<bool>("hangUp");         // without waiting for the replies

    // Each several slices long.
    QTest::newRow("two equal bursts") << QVector<int>{300, 300} << 0 << false;
    QTest::newRow("a burst and one request") << QVector<int>{400, 1} << 0 << false;
    QTest::newRow("three bursts") << QVector<int>{100, 200, 400} << 0 << false;
    QTest::newRow("a slice and one more, then gone") << QVector<int>{ClientSession::FramesPerSlice + 1} << 0 << true;
    // More than the session takes off its socket at once.
    QTest::newRow("many requests and part of one, then gone") << QVector<int>{5000} << 10 << true;
}

// Every request is handled, also of a client that has gone; while another
// client waits, none is served longer than a slice.
void TestServiceSession::bursts()
{
    QFETCH(QVector<int>, bursts);
    QFETCH(int, cut);
    QFETCH(bool, hangUp);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QVector<int> handled; // the client of every request handled, in order
    QVector<QVector<int>> numbers(bursts.size()); // per client
    QStringList drops;
    int closed = 0;
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    std::vector<std::unique_ptr<ClientSession>> sessions;
    // Every burst lies in the sessions' sockets before any of them is read.
    for (int i = 0; i < bursts.size(); ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(clients.back()->waitForConnected(5000) && server.waitForNewConnection(5000));
        sessions.push_back(std::make_unique<ClientSession>(i, server.nextPendingConnection()));
        connect(sessions.back().get(), &ClientSession::frameReceived, this, [&](ClientSession* s, const Message& m) {
            handled << s->number();
            numbers[s->number()] << m.number;
        });
        connect(sessions.back().get(), &ClientSession::dropped, this, [&](ClientSession*, const QString& why) { drops << why; });
        connect(sessions.back().get(), &ClientSession::closed, this, [&] { ++closed; });
        clients.back()->write(requests(bursts.at(i)) + requests(1).left(cut));
        while (clients.back()->bytesToWrite() > 0)
            QVERIFY(clients.back()->waitForBytesWritten(5000));
        if (hangUp)
            clients.back()->disconnectFromHost();
    }
    const int total = std::accumulate(bursts.cbegin(), bursts.cend(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(handled.size() == total && closed == (hangUp ? bursts.size() : 0), 10000);
    QCOMPARE(drops, QStringList());
    for (int i = 0; i < bursts.size(); ++i)
        QCOMPARE(numbers.at(i).value(bursts.at(i) - 1), bursts.at(i));

    QVector<int> left = bursts;
    int run = 0;
    int longest = 0;
    for (int k = 0; k < handled.size(); ++k) {
        const int client = handled.at(k);
        run = k > 0 && handled.at(k - 1) == client ? run + 1 : 1;
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

QTEST_GUILESS_MAIN(TestServiceSession)
#include "tst_service_session.moc"
