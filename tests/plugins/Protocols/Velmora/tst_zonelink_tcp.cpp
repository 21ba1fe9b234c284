// The zone link against the control-service simulator over TCP.
#include "Velmora/format/Protocol.h"
#include "Velmora/Area.h"
#include "OffscreenLeaks.h"
#include "ServiceProcess.h"
#include "Velmora/Zone.h"
#include "Velmora/graphics/Area.h"
#include "Velmora/graphics/Zone.h"

#include <connection/TcpConnection.h>
#include <semtra/Request.h>
#include <semtra/Response.h>

#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QtTest>

using Velmora::Area;
using Velmora::Zone;

namespace {

constexpr int ZoneId = 12;
const QString ZoneFile = QStringLiteral(VELMORA_TEST_DATA "/link/zone.xtsc");
// The same zone with one strategy renamed: another hash.
const QString EditedFile = QStringLiteral(VELMORA_TEST_DATA "/link/zone-edited.xtsc");

QString areaValues(Zone& zone)
{
    QStringList parts;
    for (int id : {3, 4, 7}) {
        const Area* a = zone.area(uint(id));
        parts << QStringLiteral("%1:%2,%3,%4")
                     .arg(id)
                     .arg(a->controlSource())
                     .arg(a->currentState())
                     .arg(a->specialState());
    }
    return parts.join(' ');
}

QImage iconImage(QObject* object)
{
    QVariant icon;
    QMetaObject::invokeMethod(object, "modelData", Q_RETURN_ARG(QVariant, icon), Q_ARG(int, 0),
                              Q_ARG(int, Qt::DecorationRole));
    return icon.value<QIcon>().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool near(QRgb pixel, const QColor& colour)
{
    return qAbs(qRed(pixel) - colour.red()) <= 3 && qAbs(qGreen(pixel) - colour.green()) <= 3
        && qAbs(qBlue(pixel) - colour.blue()) <= 3;
}

// The icons show what the map shows: the centre is filled with the state's
// colour, and an overlay hatches it in its own colour.
bool iconShows(QObject* object, const QColor& fill, const QColor& overlay = QColor())
{
    const QImage image = iconImage(object);
    if (image.isNull())
        return false;
    if (!overlay.isValid())
        return near(image.pixel(15, 15), fill);
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
    TcpLink()
    {
        if (!zone.load(ZoneFile))
            qFatal("cannot load %s", qPrintable(ZoneFile));
        QObject::connect(&zone, qOverload<const Request*>(&Zone::request), &zone,
                         [this](const Request* r) { numbers << r->number(); });
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
        QDeadlineTimer deadline(10000);
        while (!answer.finished && !deadline.hasExpired())
            QTest::qWait(5);
        return answer;
    }

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
    void refreshAfterAnnouncement();
    void otherConfiguration();
    void serviceRestart();
};

void TestZoneLinkTcp::initTestCase()
{
    if (!ServiceProcess::isBuilt())
        QSKIP("bin/velmora-service is not built (configure with VELMORA_APPS containing service)");
}

void TestZoneLinkTcp::commands()
{
    ServiceProcess service;
    QVERIFY2(service.start({ZoneFile}), qPrintable(service.errors()));
    TcpLink link;
    link.zone.setConnection(&link.connection);
    link.connection.connectToService(QStringLiteral("127.0.0.1"), service.port());

    // The announcement brings the link up; the state query fills the model.
    QTRY_VERIFY_WITH_TIMEOUT(link.zone.currentStrategy() == 1, 10000);
    QVERIFY(link.zone.isConnected());
    QVERIFY(link.zone.connectionTime().isValid());
    QCOMPARE(link.zone.property("hashInvalid"), QVariant(false));
    QCOMPARE(link.zone.property("remoteHash"), link.zone.property("localHash"));
    QCOMPARE(link.zone.controlSource(), 1);
    QCOMPARE(areaValues(link.zone), QStringLiteral("3:1,1,0 4:2,2,0 7:1,1,0"));
    QCOMPARE(link.numbers, (QList<int>{1, 2, 3}));
    QVERIFY(iconShows(link.zone.area(4), Rare::Graphics::Area::fillColor(2)));

    // The strategy changes through the service's events, not the reply.
    int areaSignals = 0;
    QObject::connect(&link.zone, &Zone::areaStateChanged, &link.zone, [&] { ++areaSignals; });
    const Answer strategy = link.command("set_strat", "2 60");
    QVERIFY(strategy.finished);
    QCOMPARE(strategy.error, 0);
    QCOMPARE(strategy.result, 0x1200);
    QTRY_COMPARE(link.zone.currentStrategy(), 2);
    QTRY_COMPARE(areaValues(link.zone), QStringLiteral("3:3,1,0 4:1,2,0 7:0,1,0"));
    QCOMPARE(link.zone.controlSource(), 4);
    QCOMPARE(areaSignals, 3);
    QVERIFY(iconShows(link.zone.area(3), Rare::Graphics::Area::fillColor(3)));
    QVERIFY(iconShows(link.zone.area(4), Rare::Graphics::Area::fillColor(1)));
    QVERIFY(iconShows(&link.zone, Rare::Graphics::Zone::fillColor(true, 4)));

    // Area commands: a state, then a special state with its hatching.
    QCOMPARE(link.command("SET_ASTATE", QVariantList{3u, 5u, 0u}).result, 0x1200);
    QCOMPARE(link.command("SET_APSTATE", "4 2 0").result, 0x1200);
    QTRY_COMPARE(areaValues(link.zone), QStringLiteral("3:4,5,0 4:4,2,2 7:0,1,0"));
    QVERIFY(iconShows(link.zone.area(4), QColor(), Rare::Graphics::Area::overlayColor(2)));

    // Refused commands change nothing.
    QCOMPARE(link.command("SET_STRAT", "9 60").result, 0x1201);
    QCOMPARE(link.command("SET_ASTATE", "3 77 0").result, 0x1204);

    // After all that, the service's own account matches what events built.
    const QString before = areaValues(link.zone);
    QCOMPARE(link.command("GET_STATE").data.size(), 3);
    QCOMPARE(areaValues(link.zone), before);
    QCOMPARE(link.zone.currentStrategy(), 2);
    QCOMPARE(link.zone.controlSource(), 4);

    // Data requests decode through the module's reply types.
    const QVariantList refer = link.command("GET_REFER", 0u).data;
    QCOMPARE(refer.value(1).toInt(), ZoneId);
    QCOMPARE(refer.value(2).toString(), QStringLiteral("Link test"));
    QVERIFY(link.command("GET_CONFIG_SIZE").data.value(0).toUInt() > 0);
}

void TestZoneLinkTcp::refreshAfterAnnouncement()
{
    ServiceProcess service;
    QVERIFY2(service.start({ZoneFile}), qPrintable(service.errors()));
    TcpLink link;
    link.connection.connectToService(QStringLiteral("127.0.0.1"), service.port());
    QTRY_VERIFY_WITH_TIMEOUT(link.connection.contains(Velmora::Protocol::Tag, ZoneId), 10000);

    // The announcement went by before the zone listened: refresh asks.
    link.zone.setConnection(&link.connection);
    QVERIFY(!link.zone.isConnected());
    link.zone.refresh();
    QVERIFY(link.zone.isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(areaValues(link.zone), QStringLiteral("3:1,1,0 4:2,2,0 7:1,1,0"),
                              10000);
}

void TestZoneLinkTcp::otherConfiguration()
{
    ServiceProcess service;
    QVERIFY2(service.start({EditedFile}), qPrintable(service.errors()));
    TcpLink link;
    link.zone.setConnection(&link.connection);
    link.connection.connectToService(QStringLiteral("127.0.0.1"), service.port());

    QTRY_VERIFY_WITH_TIMEOUT(link.zone.property("hashInvalid").isValid(), 10000);
    QCOMPARE(link.zone.property("hashInvalid"), QVariant(true));
    const QByteArray remote = link.zone.property("remoteHash").toByteArray();
    QCOMPARE(remote.size(), 16);
    QVERIFY(remote != link.zone.property("localHash").toByteArray());
    // The state reply is ignored, events are not.
    QVERIFY(link.command("GET_STATE").finished);
    QCOMPARE(link.zone.currentStrategy(), -1);
    QCOMPARE(areaValues(link.zone), QStringLiteral("3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1"));
    QCOMPARE(link.command("SET_STRAT", "2 0").result, 0x1200);
    QTRY_COMPARE(link.zone.currentStrategy(), 2);
    QTRY_COMPARE(areaValues(link.zone), QStringLiteral("3:3,-1,-1 4:1,-1,-1 7:0,-1,-1"));
}

void TestZoneLinkTcp::serviceRestart()
{
    ServiceProcess service;
    QVERIFY2(service.start({ZoneFile}), qPrintable(service.errors()));
    const quint16 port = service.port();
    TcpLink link;
    link.zone.setConnection(&link.connection);
    QSignalSpy connected(&link.zone, &Zone::connected);
    link.connection.connectToService(QStringLiteral("127.0.0.1"), port);
    QTRY_VERIFY_WITH_TIMEOUT(link.zone.currentStrategy() == 1, 10000);
    QVERIFY(link.command("SET_STRAT", "2 0").finished);
    QTRY_COMPARE(link.zone.currentStrategy(), 2);

    service.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!link.zone.isConnected(), 10000);
    QCOMPARE(link.zone.controlSource(), -1);
    QCOMPARE(link.zone.currentStrategy(), -1);
    QCOMPARE(areaValues(link.zone), QStringLiteral("3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1"));
    QVERIFY(iconShows(&link.zone, Rare::Graphics::Zone::fillColor(false, -1)));
    QVERIFY(!link.zone.sendCommand("GET_STATE"));

    // The connection keeps trying; a fresh service starts from its defaults.
    QVERIFY2(service.start({ZoneFile}, port), qPrintable(service.errors()));
    QTRY_VERIFY_WITH_TIMEOUT(link.zone.currentStrategy() == 1, 15000);
    QCOMPARE(areaValues(link.zone), QStringLiteral("3:1,1,0 4:2,2,0 7:1,1,0"));
    QCOMPARE(connected.count(), 3);
    QCOMPARE(connected.at(1).at(0).toBool(), false);
    QCOMPARE(link.numbers, (QList<int>{1, 2, 3, 4, 5, 6, 7}));
}

QTEST_MAIN(TestZoneLinkTcp)
#include "tst_zonelink_tcp.moc"
