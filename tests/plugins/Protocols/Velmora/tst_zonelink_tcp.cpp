// The zone link against the control-service simulator over TCP.
#include "LinkTest.h"
#include "OffscreenLeaks.h"
#include "ServiceProcess.h"

#include <connection/TcpConnection.h>
#include <semtra/Request.h>
#include <semtra/Response.h>

#include <QtTest>

using namespace LinkTest;
using Velmora::Zone;

namespace {

const QString Initial = QStringLiteral("1 1 3:1,1,0 4:2,2,0 7:1,1,0");

// Runs the event loop until the condition holds, looking after every batch of
// events: QTRY_* and qWaitFor sleep between their looks.
template<typename Condition>
bool until(Condition condition, int timeout = 10000)
{
    QTimer wake; // so that the time limit holds when nothing happens
    wake.start(5);
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.hasExpired(timeout))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// What a finished response said; the zone deletes it soon after.
struct Answer
{
    bool finished = false;
    int result = -1;
    QVariantList data;
};

// Sends a command and waits for its answer.
Answer command(Zone& zone, const QString& name, const QVariant& param = QVariant())
{
    Answer answer;
    Response* response = zone.sendCommand(name, param);
    if (!response)
        return answer;
    QObject::connect(response, &Response::finished, response, [&answer, response] {
        answer = Answer{response->error() == 0, int(response->resultCode()), response->data()};
    });
    if (!until([&] { return answer.finished; }))
        qWarning("%s: no answer", qPrintable(name));
    return answer;
}

} // namespace

class TestZoneLinkTcp : public QObject
{
    Q_OBJECT
private slots:
    void commandsAndRestart();
};

void TestZoneLinkTcp::commandsAndRestart()
{
    if (!ServiceProcess::isBuilt())
        QSKIP("bin/velmora-service is not built (configure with VELMORA_APPS containing service)");
    ServiceProcess service;
    Semtra::TcpConnection connection;
    Zone zone;
    QVERIFY(zone.load(ZoneFile));
    // Retries in milliseconds: the test waits on conditions, not on delays.
    connection.setFirstRetryDelay(20);
    connection.setMaxRetryDelay(200);
    QList<int> numbers;
    connect(&zone, qOverload<const Request*>(&Zone::request), this, [&](const Request* r) { numbers << r->number(); });
    QSignalSpy connected(&zone, &Zone::connected);
    const auto stateBecomes = [&](const QString& state) {
        until([&] { return reportedState(zone) == state; });
        return reportedState(zone);
    };
    QVERIFY2(service.start({ZoneFile}), qPrintable(service.errors()));
    const quint16 port = service.port();
    connection.connectToService(QStringLiteral("127.0.0.1"), port);
    QVERIFY(until([&] { return connection.contains(Tag, ZoneId); }));

    // The announcement went by before the zone listened: refresh asks the
    // connection, and the state query fills the model.
    zone.setConnection(&connection);
    QVERIFY(!zone.isConnected());
    zone.refresh();
    QVERIFY(zone.isConnected());
    QCOMPARE(stateBecomes(Initial), Initial);
    QCOMPARE(zone.property("hashInvalid"), QVariant(false));
    QCOMPARE(zone.property("remoteHash"), zone.property("localHash"));
    QCOMPARE(numbers, (QList<int>{1, 2, 3}));

    // The strategy changes through the service's events, not the reply.
    int areaSignals = 0;
    connect(&zone, &Zone::areaStateChanged, this, [&] { ++areaSignals; });
    const Answer strategy = command(zone, "set_strat", "2 60");
    QCOMPARE(QList<int>({strategy.finished, strategy.result}), QList<int>({1, 0x1200}));
    const QString evening = QStringLiteral("4 2 3:3,1,0 4:1,2,0 7:0,1,0");
    QCOMPARE(stateBecomes(evening), evening);
    QCOMPARE(areaSignals, 3);

    // Area commands: a state, then a special state.
    QCOMPARE(command(zone, "SET_ASTATE", QVariantList{3u, 5u, 0u}).result, 0x1200);
    QCOMPARE(command(zone, "SET_APSTATE", "4 2 0").result, 0x1200);
    const QString areasSet = QStringLiteral("4 2 3:4,5,0 4:4,2,2 7:0,1,0");
    QCOMPARE(stateBecomes(areasSet), areasSet);

    // A refused command changes nothing; the service's own account matches
    // what the events built.
    QCOMPARE(command(zone, "SET_STRAT", "9 60").result, 0x1201);
    const QString before = reportedState(zone);
    QCOMPARE(command(zone, "GET_STATE").data.size(), 3);
    QCOMPARE(reportedState(zone), before);

    // The service goes away: the link goes down and the model forgets.
    service.stop();
    QVERIFY(until([&] { return !zone.isConnected(); }));
    QCOMPARE(reportedState(zone), QStringLiteral("-1 -1 3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1"));
    QVERIFY(!zone.sendCommand("GET_STATE"));

    // The connection keeps trying; the announcement of a fresh service brings
    // the link up, from the service's defaults, and numbering goes on.
    const int sent = numbers.size();
    QVERIFY2(service.start({ZoneFile}, port), qPrintable(service.errors()));
    QCOMPARE(stateBecomes(Initial), Initial);
    QVERIFY(zone.connectionTime().isValid());
    QCOMPARE(connected.count(), 3);
    QCOMPARE(connected.at(1).at(0).toBool(), false);
    QCOMPARE(numbers.mid(sent), (QList<int>{sent + 1, sent + 2, sent + 3}));
}

QTEST_MAIN(TestZoneLinkTcp)
#include "tst_zonelink_tcp.moc"
