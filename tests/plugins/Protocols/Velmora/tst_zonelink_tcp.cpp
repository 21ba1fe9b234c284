// The zone link against the control-service simulator over TCP.
#include "LinkTest.h"
#include "OffscreenLeaks.h"
#include "ServiceProcess.h"
#include "Velmora/graphics/Area.h"
#include "Velmora/graphics/Zone.h"

#include <connection/TcpConnection.h>
#include <semtra/Request.h>
#include <semtra/Response.h>

#include <QIcon>
#include <QImage>
#include <QtTest>

using namespace LinkTest;
using Velmora::Zone;
using AreaItem = Rare::Graphics::Area;

namespace {

const QString Initial = QStringLiteral("1 1 3:1,1,0 4:2,2,0 7:1,1,0");

// The icons show what the map shows: the centre is filled with the state's
// colour, and an overlay hatches it in its own colour.
bool iconShows(QObject* object, const QColor& fill, const QColor& overlay = QColor())
{
    QVariant icon;
    QMetaObject::invokeMethod(object, "modelData", Q_RETURN_ARG(QVariant, icon), Q_ARG(int, 0),
                              Q_ARG(int, Qt::DecorationRole));
    const QImage image = icon.value<QIcon>().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    auto near = [](QRgb pixel, const QColor& colour) {
        return qAbs(qRed(pixel) - colour.red()) <= 3 && qAbs(qGreen(pixel) - colour.green()) <= 3
            && qAbs(qBlue(pixel) - colour.blue()) <= 3;
    };
    if (image.isNull() || !overlay.isValid())
        return !image.isNull() && near(image.pixel(15, 15), fill);
    for (int y = 8; y < 24; ++y) {
        for (int x = 8; x < 24; ++x) {
            if (near(image.pixel(x, y), overlay))
                return true;
        }
    }
    return false;
}

// What a finished response said; the zone deletes it soon after.
struct Answer
{
    bool finished = false;
    int error = -1;
    int result = -1;
    QVariantList data;
};

// A zone on a TCP connection to a running service; records request numbers.
class TcpLink
{
public:
    explicit TcpLink(bool attached = true)
    {
        if (!zone.load(ZoneFile))
            qFatal("cannot load %s", qPrintable(ZoneFile));
        if (attached)
            zone.setConnection(&connection);
        // Retries in milliseconds: the tests wait on conditions, not on delays.
        connection.setFirstRetryDelay(20);
        connection.setMaxRetryDelay(200);
        QObject::connect(&zone, qOverload<const Request*>(&Zone::request), &zone,
                         [this](const Request* r) { numbers << r->number(); });
    }

    bool start(const QString& file, quint16 port = 0)
    {
        if (!service.start({file}, port))
            return false;
        connection.connectToService(QStringLiteral("127.0.0.1"), service.port());
        return true;
    }

    // Sends a command and waits for its answer.
    Answer command(const QString& name, const QVariant& param = QVariant())
    {
        Answer answer;
        Response* response = zone.sendCommand(name, param);
        if (!response)
            return answer;
        QObject::connect(response, &Response::finished, response, [&answer, response] {
            answer.finished = true;
            answer.error = response->error();
            answer.result = int(response->resultCode());
            answer.data = response->data();
        });
        if (!QTest::qWaitFor([&] { return answer.finished; }, 10000))
            qWarning("%s: no answer", qPrintable(name));
        return answer;
    }

    QString state() { return reportedState(zone); }

    ServiceProcess service;
    Zone zone;
    Semtra::TcpConnection connection;
    QList<int> numbers;
};

} // namespace

class TestZoneLinkTcp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commands();
    void serviceRestart();
};

void TestZoneLinkTcp::initTestCase()
{
    if (!ServiceProcess::isBuilt())
        QSKIP("bin/velmora-service is not built (configure with VELMORA_APPS containing service)");
}

void TestZoneLinkTcp::commands()
{
    TcpLink link(false);
    QVERIFY2(link.start(ZoneFile), qPrintable(link.service.errors()));
    QTRY_VERIFY_WITH_TIMEOUT(link.connection.contains(Tag, ZoneId), 10000);
    // The announcement went by before the zone listened: refresh asks the
    // connection, and the state query fills the model.
    link.zone.setConnection(&link.connection);
    QVERIFY(!link.zone.isConnected());
    link.zone.refresh();
    QVERIFY(link.zone.isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(link.state(), Initial, 10000);
    QCOMPARE(link.zone.property("hashInvalid"), QVariant(false));
    QCOMPARE(link.zone.property("remoteHash"), link.zone.property("localHash"));
    QCOMPARE(link.numbers, (QList<int>{1, 2, 3}));
    QVERIFY(iconShows(link.zone.area(4), AreaItem::fillColor(2)));

    // The strategy changes through the service's events, not the reply.
    int areaSignals = 0;
    QObject::connect(&link.zone, &Zone::areaStateChanged, &link.zone, [&] { ++areaSignals; });
    const Answer strategy = link.command("set_strat", "2 60");
    QCOMPARE(QList<int>({strategy.finished, strategy.error, strategy.result}), QList<int>({1, 0, 0x1200}));
    QTRY_COMPARE(link.state(), QStringLiteral("4 2 3:3,1,0 4:1,2,0 7:0,1,0"));
    QCOMPARE(areaSignals, 3);
    QVERIFY(iconShows(link.zone.area(3), AreaItem::fillColor(3)));
    QVERIFY(iconShows(link.zone.area(4), AreaItem::fillColor(1)));
    QVERIFY(iconShows(&link.zone, Rare::Graphics::Zone::fillColor(true, 4)));

    // Area commands: a state, then a special state with its hatching.
    QCOMPARE(link.command("SET_ASTATE", QVariantList{3u, 5u, 0u}).result, 0x1200);
    QCOMPARE(link.command("SET_APSTATE", "4 2 0").result, 0x1200);
    QTRY_COMPARE(link.state(), QStringLiteral("4 2 3:4,5,0 4:4,2,2 7:0,1,0"));
    QVERIFY(iconShows(link.zone.area(4), QColor(), AreaItem::overlayColor(2)));

    // A refused command changes nothing; the service's own account matches
    // what the events built.
    QCOMPARE(link.command("SET_STRAT", "9 60").result, 0x1201);
    const QString before = link.state();
    QCOMPARE(link.command("GET_STATE").data.size(), 3);
    QCOMPARE(link.state(), before);

    // Data requests decode through the module's reply types.
    const QVariantList refer = link.command("GET_REFER", 0u).data;
    QCOMPARE(refer.value(1).toInt(), ZoneId);
    QCOMPARE(refer.value(2).toString(), QStringLiteral("Link test"));
    QVERIFY(link.command("GET_CONFIG_SIZE").data.value(0).toUInt() > 0);
}

void TestZoneLinkTcp::serviceRestart()
{
    TcpLink link;
    QSignalSpy connected(&link.zone, &Zone::connected);
    QVERIFY2(link.start(ZoneFile), qPrintable(link.service.errors()));
    const quint16 port = link.service.port();
    // The announcement brings the link up.
    QTRY_COMPARE_WITH_TIMEOUT(link.state(), Initial, 10000);
    QVERIFY(link.zone.connectionTime().isValid());
    QVERIFY(link.command("SET_STRAT", "2 0").finished);
    QTRY_COMPARE(link.zone.currentStrategy(), 2);

    link.service.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!link.zone.isConnected(), 10000);
    QCOMPARE(link.state(), QStringLiteral("-1 -1 3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1"));
    QVERIFY(iconShows(&link.zone, Rare::Graphics::Zone::fillColor(false, -1)));
    QVERIFY(!link.zone.sendCommand("GET_STATE"));

    // The connection keeps trying; a fresh service starts from its defaults.
    QVERIFY2(link.service.start({ZoneFile}, port), qPrintable(link.service.errors()));
    QTRY_COMPARE_WITH_TIMEOUT(link.state(), Initial, 15000);
    QCOMPARE(connected.count(), 3);
    QCOMPARE(connected.at(1).at(0).toBool(), false);
    QCOMPARE(link.numbers, (QList<int>{1, 2, 3, 4, 5, 6, 7}));
}

QTEST_MAIN(TestZoneLinkTcp)
#include "tst_zonelink_tcp.moc"
