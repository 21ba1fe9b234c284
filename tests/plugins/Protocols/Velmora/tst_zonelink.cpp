#include "Area.h"
#include "CommandTable.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Zone.h"
#include "ZonePrivate.h"

#include <semtra/Connection.h>
#include <semtra/Notification.h>
#include <semtra/Rare.h>
#include <semtra/Request.h>
#include <semtra/Response.h>
#include <semtra/Wire.h>

#include <QGraphicsScene>
#include <QPointer>
#include <QtTest>

#include <climits>
#include <cstring>
#include <memory>

using Semtra::Command::Message;
using Velmora::Area;
using Velmora::Zone;

namespace {

constexpr int Tag = Semtra::VelmoraTag;
constexpr int ZoneId = 12;
constexpr int GetConfigHash = 0x1104;
constexpr int SetEvent = 0x1007;
constexpr int GetState = 0x1100;

const QString ZoneFile = QStringLiteral(VELMORA_TEST_DATA "/link/zone.xtsc");

QByteArray stampBytes(double stamp)
{
    QByteArray bytes(8, '\0');
    quint64 bits;
    std::memcpy(&bits, &stamp, sizeof bits);
    qToLittleEndian(bits, bytes.data());
    return bytes;
}

Message message(int number, int kind, const QVariant& data, int objectId = ZoneId, int tag = Tag)
{
    Message m;
    m.number = number;
    m.objectId = objectId;
    m.kind = kind;
    m.tag = tag;
    m.data = data;
    return m;
}

QByteArray replyData(int code, const QVariantList& values, quint32 result = 0)
{
    return Semtra::Wire::encodeReply(
        0.25, result, quint32(code),
        Semtra::Wire::encodeParams(values, Velmora::CommandTable::replyTypes(code)));
}

QByteArray stateReply(int source, int strategy, const QString& areas)
{
    return replyData(GetState, {uint(source), uint(strategy), areas});
}

// An event as the service sends it: [id, value, value, ...].
QByteArray eventData(const QVariantList& event)
{
    QVariantList values = event.mid(1);
    for (QVariant& value : values)
        value = value.toUInt();
    return Semtra::Wire::encodeEvent(event.first().toUInt(), 44000.5, values);
}

// The host's connection, driven by the test.
class FakeConnection : public Semtra::Connection
{
    Q_OBJECT
public:
    struct Sent
    {
        int number;
        int objectId;
        int command;
        QVariant param;
        int tag;
    };

    bool contains(int tag, int id) const override
    {
        containsCalls.append({tag, id});
        return answer;
    }
    void request(const Request* r) override
    {
        sent.append({r->number(), r->objectId(), r->command().toInt(), r->param(), r->tag()});
    }
    void deliver(const Message& m) { emit message(m); }
    void setLinkState(int state) { emit stateChanged(State(state)); }
    int listeners() const
    {
        return receivers(SIGNAL(message(Semtra::Command::Message)))
            + receivers(SIGNAL(stateChanged(Semtra::Connection::State)));
    }
    // Number of the last request with this command code.
    int numberOf(int command) const
    {
        for (int i = sent.size() - 1; i >= 0; --i) {
            if (sent.at(i).command == command)
                return sent.at(i).number;
        }
        return -1;
    }
    QList<int> numbers() const
    {
        QList<int> result;
        for (const Sent& s : sent)
            result << s.number;
        return result;
    }
    QList<int> commands() const
    {
        QList<int> result;
        for (const Sent& s : sent)
            result << s.command;
        return result;
    }

    bool answer = true;
    mutable QList<QPair<int, int>> containsCalls;
    QList<Sent> sent;
};

// A loaded zone on a scene with a fake connection, and what it tells the host.
class Link
{
public:
    Link()
    {
        if (!zone.load(ZoneFile))
            qFatal("cannot load %s", qPrintable(ZoneFile));
        zone.setScene(&scene);
        zone.setConnection(&connection);
        QObject::connect(&scene, &QGraphicsScene::changed, &scene,
                         [this](const QList<QRectF>& rects) { dirty += rects; });
        auto record = [this](const QString& what) { log << what; };
        QObject::connect(&zone, qOverload<const Request*>(&Zone::request), &zone,
                         [=] { record("request"); });
        QObject::connect(&zone, qOverload<const QObject*, QObject*>(&Zone::request), &zone,
                         [=] { record("request2"); });
        QObject::connect(&zone, qOverload<const Response*>(&Zone::responseFinished), &zone,
                         [=] { record("finished"); });
        QObject::connect(&zone, qOverload<const QObject*, QObject*>(&Zone::responseFinished), &zone,
                         [=] { record("finished2"); });
        QObject::connect(&zone, qOverload<const Notification*>(&Zone::notification), &zone,
                         [=] { record("notification"); });
        QObject::connect(&zone, qOverload<const QObject*, QObject*>(&Zone::notification), &zone,
                         [=] { record("notification2"); });
        QObject::connect(&zone, &Zone::connected, &zone,
                         [=](bool up) { record(QStringLiteral("connected:%1").arg(up)); });
        QObject::connect(&zone, &Zone::stateChanged, &zone, [=](const QObject* z) {
            record(z == &zone ? QStringLiteral("zone") : QStringLiteral("zone?"));
        });
        QObject::connect(&zone, &Zone::areaStateChanged, &zone, [=](const QObject* a) {
            record(QStringLiteral("area:%1").arg(static_cast<const Area*>(a)->id()));
        });
    }

    Zone::Private* d() { return Zone::Private::get(&zone); }
    bool deliver(const Message& m) { return zone.message(m); }
    void answer(int command, const QByteArray& data, int kind = 1)
    {
        deliver(message(connection.numberOf(command), kind, data));
    }
    // Link up, the hash check and the state query answered.
    void up(const QString& areas = QStringLiteral("3 1 1 0 4 2 2 0 7 1 1 0"), int source = 1,
            int strategy = 1)
    {
        deliver(message(0, 3, stampBytes(44000.0)));
        answer(GetConfigHash, replyData(GetConfigHash, {zone.property("localHash")}));
        answer(SetEvent, replyData(SetEvent, {}, 0x1200));
        answer(GetState, stateReply(source, strategy, areas));
        reset();
    }
    void reset()
    {
        QCoreApplication::processEvents();
        log.clear();
        dirty.clear();
    }
    // "cs,state,special" of each area, in id order.
    QString areas()
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
    // Areas that told the host of a change, in id order.
    QString signalled() const
    {
        QList<int> ids;
        for (const QString& entry : log) {
            if (entry.startsWith("area:"))
                ids << entry.mid(5).toInt();
        }
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        QStringList parts;
        for (int id : ids)
            parts << QString::number(id);
        return parts.join(' ');
    }
    // Areas whose map item asked for a repaint since the last reset.
    QString redrawn()
    {
        QCoreApplication::processEvents();
        QStringList parts;
        for (int id : {3, 4, 7}) {
            const QRectF rect = zone.area(uint(id))->graphicsItem()->sceneBoundingRect();
            for (const QRectF& r : qAsConst(dirty)) {
                if (r.contains(rect) && r.width() < 50) {
                    parts << QString::number(id);
                    break;
                }
            }
        }
        return parts.join(' ');
    }
    bool zoneRedrawn()
    {
        QCoreApplication::processEvents();
        for (const QRectF& r : qAsConst(dirty)) {
            if (r.contains(zone.graphicsItem()->sceneBoundingRect()))
                return true;
        }
        return false;
    }

    // Declared first: the recorders outlive everything that reports to them.
    QStringList log;
    QList<QRectF> dirty;
    QGraphicsScene scene;
    Zone zone;
    FakeConnection connection;
};

} // namespace

class TestZoneLink : public QObject
{
    Q_OBJECT
private slots:
    void refresh_data();
    void refresh();
    void linkUp_data();
    void linkUp();
    void secondAnnouncement();
    void numbering();
    void commandCode_data();
    void commandCode();
    void params_data();
    void params();
    void replies_data();
    void replies();
    void lastOpenResponse();
    void unknownResponse();
    void stateApplied();
    void areasState_data();
    void areasState();
    void events_data();
    void events();
    void hashCheck_data();
    void hashCheck();
    void linkDown_data();
    void linkDown();
    void counterWrap();
    void shortReply_data();
    void shortReply();
    void foreignMessages_data();
    void foreignMessages();
    void replaceConnection();
    void destroyedWhileConnected();
};

void TestZoneLink::refresh_data()
{
    QTest::addColumn<int>("target"); // 0 none, 1 fake, 2 plain QObject
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("warned");
    QTest::newRow("registered") << 1 << true << true << false;
    QTest::newRow("not registered") << 1 << false << false << false;
    QTest::newRow("no connection") << 0 << true << false << true;
    QTest::newRow("no contains") << 2 << true << false << true;
}

void TestZoneLink::refresh()
{
    QFETCH(int, target);
    QFETCH(bool, answer);
    QFETCH(bool, connected);
    QFETCH(bool, warned);
    Link link;
    QObject plain;
    link.connection.answer = answer;
    link.zone.setConnection(target == 0 ? nullptr : target == 1 ? &link.connection : &plain);
    MessageCapture capture;
    QVERIFY(QMetaObject::invokeMethod(&link.zone, "refresh"));
    QCOMPARE(capture.contains("Zone::refresh: error metacall connection::contains"), warned);
    QCOMPARE(link.zone.property("isConnected").toBool(), connected);
    if (target == 1)
        QCOMPARE(link.connection.containsCalls, (QList<QPair<int, int>>{{Tag, ZoneId}}));
    QCOMPARE(link.connection.commands(),
             connected ? (QList<int>{GetConfigHash, SetEvent, GetState}) : QList<int>());

    // Once up, refresh repeats the state query without asking the connection.
    if (connected) {
        QVERIFY(QMetaObject::invokeMethod(&link.zone, "refresh"));
        QCOMPARE(link.connection.containsCalls.size(), 1);
        QCOMPARE(link.connection.numbers(), (QList<int>{1, 2, 3, 4, 5, 6}));
    }
}

void TestZoneLink::linkUp_data()
{
    QTest::addColumn<QVariant>("data");
    QTest::addColumn<QDateTime>("time");
    QTest::newRow("stamp") << QVariant(stampBytes(44000.5)) << Rare::doubleToDateTime(44000.5);
    QTest::newRow("longer") << QVariant(stampBytes(44000.5) + "x") << Rare::doubleToDateTime(44000.5);
    QTest::newRow("7 bytes") << QVariant(stampBytes(44000.5).left(7)) << QDateTime();
    QTest::newRow("no data") << QVariant() << QDateTime();
    QTest::newRow("text") << QVariant(QStringLiteral("12345678")) << QDateTime();
}

void TestZoneLink::linkUp()
{
    QFETCH(QVariant, data);
    QFETCH(QDateTime, time);
    Link link;
    const QDateTime before = QDateTime::currentDateTime();
    link.connection.deliver(message(0, 3, data));
    QVERIFY(link.zone.property("isConnected").toBool());
    QCOMPARE(link.zone.property("connectionTime").toDateTime(), time);
    QVERIFY(link.zone.property("lastConnectionEventTime").toDateTime() >= before);
    QCOMPARE(link.log, (QStringList{"connected:1", "zone", "request", "request2", "zone", "request",
                                    "request2", "request", "request2"}));
    QCOMPARE(link.connection.commands(), (QList<int>{GetConfigHash, SetEvent, GetState}));
    QCOMPARE(link.connection.sent.at(1).param, QVariant(QByteArray::fromHex("ff000000")));
    for (const FakeConnection::Sent& s : qAsConst(link.connection.sent)) {
        QCOMPARE(s.tag, Tag);
        QCOMPARE(s.objectId, ZoneId);
    }
    QVERIFY(link.zoneRedrawn());
}

void TestZoneLink::secondAnnouncement()
{
    Link link;
    link.up();
    const QDateTime lastEvent = link.zone.property("lastConnectionEventTime").toDateTime();
    QTest::qWait(5);
    QVERIFY(link.deliver(message(0, 3, stampBytes(45000.25))));
    QCOMPARE(link.zone.property("connectionTime").toDateTime(), Rare::doubleToDateTime(45000.25));
    QCOMPARE(link.zone.property("lastConnectionEventTime").toDateTime(), lastEvent);
    QCOMPARE(link.connection.sent.size(), 3);
    QCOMPARE(link.log, QStringList());
    QCOMPARE(link.areas(), QStringLiteral("3:1,1,0 4:2,2,0 7:1,1,0"));
}

void TestZoneLink::numbering()
{
    Link link;
    QVERIFY(!link.zone.sendCommand("GET_STATE"));
    link.up();
    QCOMPARE(link.zone.sendCommand("GET_STATE")->request()->number(), 4);
    link.connection.setLinkState(Semtra::Connection::Unconnected);
    QVERIFY(!link.zone.sendCommand("GET_STATE"));
    link.connection.deliver(message(0, 3, stampBytes(44000)));
    QCOMPARE(link.connection.numbers(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
}

void TestZoneLink::commandCode_data()
{
    QTest::addColumn<QVariant>("command");
    QTest::addColumn<int>("code"); // -1: refused
    QTest::newRow("name") << QVariant("SET_STRAT") << 4097;
    QTest::newRow("lower-case name") << QVariant("get_state") << 4352;
    QTest::newRow("name as bytes") << QVariant(QByteArray("Get_Config")) << 4355;
    QTest::newRow("integer") << QVariant(4352) << 4352;
    QTest::newRow("unknown integer") << QVariant(9999) << 9999;
    QTest::newRow("number as text") << QVariant("9999") << 9999;
    QTest::newRow("unsigned") << QVariant(4103u) << 4103;
    QTest::newRow("unknown name") << QVariant("SET_NOTHING") << -1;
    QTest::newRow("padded name") << QVariant(" GET_STATE") << -1;
    QTest::newRow("invalid") << QVariant() << -1;
}

void TestZoneLink::commandCode()
{
    QFETCH(QVariant, command);
    QFETCH(int, code);
    Link link;
    link.up();
    Response* response = link.zone.sendCommand(command);
    QCOMPARE(response != nullptr, code >= 0);
    if (code < 0) {
        QCOMPARE(link.log, QStringList());
        QCOMPARE(link.zone.sendCommand("GET_STATE")->request()->number(), 4);
        return;
    }
    QCOMPARE(link.connection.sent.last().command, code);
    QCOMPARE(response->request()->command().userType(), int(QMetaType::Int));
    QCOMPARE(response->request()->parent(), response);
    QCOMPARE(link.log, (QStringList{"request", "request2", "zone"}));
}

void TestZoneLink::params_data()
{
    QTest::addColumn<QVariant>("param");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVariant>("sent");
    const QVariantList list{1u, QByteArray("ab")};
    QTest::newRow("none") << QVariant() << true << QVariant();
    QTest::newRow("int") << QVariant(-3) << true << QVariant(-3);
    QTest::newRow("uint") << QVariant(7u) << true << QVariant(7u);
    QTest::newRow("int64") << QVariant(Q_INT64_C(-5)) << true << QVariant(Q_INT64_C(-5));
    QTest::newRow("uint64") << QVariant(Q_UINT64_C(5)) << true << QVariant(Q_UINT64_C(5));
    QTest::newRow("list") << QVariant(list) << true << QVariant(list);
    QTest::newRow("bytes") << QVariant(QByteArray("\x01\x02", 2)) << true
                           << QVariant(QByteArray("\x01\x02", 2));
    QTest::newRow("text") << QVariant("2 60") << true << QVariant(QVariantList{2u, 60u});
    QTest::newRow("mixed text") << QVariant("  -4 \"a b\" #0aff 0x10") << true
                                << QVariant(QVariantList{-4, QStringLiteral("a b"),
                                                         QByteArray("\x0a\xff", 2), 16u});
    QTest::newRow("text stops at a bad value") << QVariant("3 x 4") << true
                                               << QVariant(QVariantList{3u});
    QTest::newRow("empty text") << QVariant("") << true << QVariant(QVariantList());
    QTest::newRow("bool") << QVariant(true) << false << QVariant();
    QTest::newRow("double") << QVariant(2.0) << false << QVariant();
    QTest::newRow("char") << QVariant(QChar('2')) << false << QVariant();
    QTest::newRow("map") << QVariant(QVariantMap{{"a", 1}}) << false << QVariant();
    QTest::newRow("string list") << QVariant(QStringList{"2"}) << false << QVariant();
}

void TestZoneLink::params()
{
    QFETCH(QVariant, param);
    QFETCH(bool, accepted);
    QFETCH(QVariant, sent);
    Link link;
    link.up();
    Response* response = link.zone.sendCommand("SET_STRAT", param);
    QCOMPARE(response != nullptr, accepted);
    if (!accepted) {
        QCOMPARE(link.connection.sent.size(), 3);
        QCOMPARE(link.zone.sendCommand("SET_STRAT", 1)->request()->number(), 4);
        return;
    }
    const QVariant got = link.connection.sent.last().param;
    QCOMPARE(got.userType(), sent.userType());
    QCOMPARE(got, sent);
    if (sent.userType() == QMetaType::QVariantList) {
        const QVariantList a = got.toList(), b = sent.toList();
        for (int i = 0; i < a.size(); ++i)
            QCOMPARE(a.at(i).userType(), b.at(i).userType());
    }
}

void TestZoneLink::replies_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("result");
    QTest::newRow("reply") << 1 << true;
    QTest::newRow("invalid device id") << 7 << false;
    QTest::newRow("connection lost") << 11 << false;
    QTest::newRow("request kind") << 2 << false;
    QTest::newRow("negative kind") << -9 << false;
}

void TestZoneLink::replies()
{
    QFETCH(int, kind);
    QFETCH(bool, result);
    Link link;
    link.up();
    QPointer<Response> response = link.zone.sendCommand("GET_CONFIG_SIZE");
    link.reset();
    const QByteArray data = replyData(0x1105, {123u});
    QCOMPARE(link.deliver(message(response->request()->number(), kind, data)), result);
    QVERIFY(response->isFinished());
    QCOMPARE(response->error(), kind == 1 ? 0 : kind);
    QCOMPARE(response->data(), kind == 1 ? QVariantList{123u} : QVariantList());
    QCOMPARE(link.log, (QStringList{"finished", "finished2", "zone"}));
    QVERIFY(link.zoneRedrawn());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!response);
    // Answered once: a second reply finds nothing open.
    MessageCapture capture;
    link.deliver(message(4, kind, data));
    QVERIFY(capture.contains("Object: Velmora::Zone: id:12 msg num:4. Invalid response!"));
}

void TestZoneLink::lastOpenResponse()
{
    Link link;
    link.up();
    Response* first = link.zone.sendCommand("GET_CONFIG_SIZE");
    QCOMPARE(link.log, (QStringList{"request", "request2", "zone"}));
    Response* second = link.zone.sendCommand("GET_CONFIG_SIZE");
    link.reset();
    QVERIFY(!link.deliver(message(first->request()->number(), 13, QVariant())));
    QCOMPARE(link.log, (QStringList{"finished", "finished2"}));
    link.log.clear();
    QVERIFY(link.deliver(message(second->request()->number(), 1, replyData(0x1105, {1u}))));
    QCOMPARE(link.log, (QStringList{"finished", "finished2", "zone"}));
}

void TestZoneLink::unknownResponse()
{
    // A state reply that lost its request still tells the truth about the zone.
    Link link;
    link.up();
    MessageCapture capture;
    QVERIFY(link.deliver(message(77, 1, stateReply(2, 2, "3 2 2 0"))));
    QVERIFY(capture.contains("Object: Velmora::Zone: id:12 msg num:77. Invalid response! in "));
    QCOMPARE(link.zone.controlSource(), 2);
    QCOMPARE(link.zone.currentStrategy(), 2);
    QCOMPARE(link.areas(), QStringLiteral("3:2,2,0 4:-1,-1,-1 7:-1,-1,-1"));
}

void TestZoneLink::stateApplied()
{
    Link link;
    link.up();
    QCOMPARE(link.zone.controlSource(), 1);
    QCOMPARE(link.zone.currentStrategy(), 1);
    QCOMPARE(link.areas(), QStringLiteral("3:1,1,0 4:2,2,0 7:1,1,0"));

    // The areas string is optional; a result other than success applies nothing.
    QPointer<Response> response = link.zone.sendCommand("GET_STATE");
    QVERIFY(link.deliver(message(response->request()->number(), 1,
                                 replyData(GetState, {2u, 2u, QString("3 0 0 0")}, 4609))));
    QVERIFY(response->isFinished());
    QCOMPARE(response->error(), 0);
    QCOMPARE(link.zone.controlSource(), 1);
    link.reset();
    QVERIFY(link.deliver(message(5, 1, replyData(GetState, {4u, 2u}))));
    QCOMPARE(link.zone.controlSource(), 4);
    QCOMPARE(link.zone.currentStrategy(), 2);
    QCOMPARE(link.areas(), QStringLiteral("3:1,1,0 4:2,2,0 7:1,1,0"));
    QCOMPARE(link.log.count("zone"), 1);

    // Too few parameters: the response is finished, the model untouched.
    MessageCapture capture;
    response = link.zone.sendCommand("GET_STATE");
    const QByteArray shortState = replyData(GetState, {3u});
    QVERIFY(!link.deliver(message(response->request()->number(), 1, shortState)));
    QVERIFY(capture.contains("Missing parameters (count = 1)"));
    QVERIFY(capture.contains(shortState.toHex()));
    QCOMPARE(response->reply(), shortState);
    QCOMPARE(link.zone.controlSource(), 4);
}

void TestZoneLink::areasState_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("warning");
    // Areas that must tell the host, and those that may: once one listed area
    // has changed, every listed area reached after it is signalled too.
    QTest::addColumn<QString>("changed");
    QTest::addColumn<QString>("upTo");
    QTest::addColumn<bool>("zoneSignal");
    const QString two = "3 1 1 0 4 2 2 0";
    const QString unset = "3:1,1,0 4:2,2,0 7:-1,-1,-1";
    QTest::newRow("blanks") << two << 1 << " \t7  1\n 2   0  " << "3:-1,-1,-1 4:-1,-1,-1 7:1,2,0"
                            << "" << "3 4 7" << "3 4 7" << true;
    QTest::newRow("empty") << two << 1 << "" << unset << "Invalid areas state string:" << ""
                           << "" << false;
    QTest::newRow("three tokens") << two << 1 << "3 1 1" << unset
                                  << "Invalid areas state string: 3 1 1" << "" << "" << false;
    QTest::newRow("letter in group 2") << two << 1 << "3 2 2 0 4 x 1 0" << unset
                                       << "Invalid areas state parametr: 4 in string: 3 2 2 0 4 x"
                                       << "" << "" << false;
    QTest::newRow("letter in group 1") << two << 1 << "3 2 q 0" << unset
                                       << "Invalid areas state parametr: 0 in string:" << "" << ""
                                       << false;
    QTest::newRow("beyond int") << two << 1 << "3 2 2 0 4 1 2147483648 0" << unset
                                << "Invalid areas state parametr: 4" << "" << "" << false;
    QTest::newRow("later group wins") << two << 1 << "3 1 1 0 4 2 2 0 3 2 5 1"
                                      << "3:2,5,1 4:2,2,0 7:-1,-1,-1" << "" << "3" << "3 4" << true;
    QTest::newRow("unknown id") << two << 1 << "3 1 1 0 4 2 2 0 99 4 4 4" << unset << "" << ""
                                << "" << false;
    QTest::newRow("signs") << two << 1 << "3 +2 -1 0 4 2 2 0" << "3:2,-1,0 4:2,2,0 7:-1,-1,-1"
                           << "" << "3" << "3 4" << true;
    QTest::newRow("zone value changed") << two << 2 << two << unset << "" << "3 4" << "3 4" << true;
    QTest::newRow("unlisted goes to -1") << two << 1 << "4 2 2 0" << "3:-1,-1,-1 4:2,2,0 7:-1,-1,-1"
                                         << "" << "3" << "3" << false;
}

void TestZoneLink::areasState()
{
    QFETCH(QString, before);
    QFETCH(int, source);
    QFETCH(QString, text);
    QFETCH(QString, after);
    QFETCH(QString, warning);
    QFETCH(QString, changed);
    QFETCH(QString, upTo);
    QFETCH(bool, zoneSignal);
    Link link;
    link.up(before);
    MessageCapture capture;
    QVERIFY(link.deliver(message(9, 1, stateReply(source, 1, text))));
    QCOMPARE(link.areas(), after);
    if (warning.isEmpty()) {
        QVERIFY2(capture.messages().filter("areas state").isEmpty(),
                 qPrintable(capture.messages().join('\n')));
    } else {
        QVERIFY2(capture.contains(warning), qPrintable(capture.messages().join('\n')));
        // Source-location form: path(line): ...
        QVERIFY(capture.contains(QStringLiteral("ZonePrivate.cpp(")));
    }
    const QStringList signalled = link.signalled().split(' ', Qt::SkipEmptyParts);
    for (const QString& id : changed.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(signalled.contains(id), qPrintable(link.signalled()));
    for (const QString& id : signalled)
        QVERIFY2(upTo.contains(id), qPrintable(link.signalled()));
    QCOMPARE(link.redrawn(), link.signalled());
    QCOMPARE(link.log.contains("zone"), zoneSignal);
}

void TestZoneLink::events_data()
{
    QTest::addColumn<QVariantList>("events");
    QTest::addColumn<QString>("after"); // zone source, strategy, then areas
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("log");
    const QString start = "1 1 3:1,1,0 4:2,2,0 7:1,1,0";
    auto ev = [](std::initializer_list<QVariant> values) { return QVariant(QVariantList(values)); };
    QTest::newRow("zone source") << QVariantList{ev({0, 2})} << "2 1 3:1,1,0 4:2,2,0 7:1,1,0"
                                 << "" << "notification notification2 zone";
    QTest::newRow("same zone source") << QVariantList{ev({0, 1})} << start << ""
                                      << "notification notification2";
    QTest::newRow("strategy") << QVariantList{ev({1, 2})} << "1 2 3:1,1,0 4:2,2,0 7:1,1,0" << ""
                              << "notification notification2 zone";
    QTest::newRow("area source") << QVariantList{ev({2, 3, 4})} << "1 1 3:4,1,0 4:2,2,0 7:1,1,0"
                                 << "" << "notification notification2 area:3";
    QTest::newRow("area state") << QVariantList{ev({3, 3, 5, 2})}
                                << "1 1 3:1,5,2 4:2,2,0 7:1,1,0" << ""
                                << "notification notification2 area:3 area:3";
    QTest::newRow("two areas, same state")
        << QVariantList{ev({3, 3, 5, 0}), ev({3, 4, 5, 0})} << "1 1 3:1,5,0 4:2,5,0 7:1,1,0" << ""
        << "notification notification2 area:3 notification notification2 area:4";
    QTest::newRow("same state, no special state")
        << QVariantList{ev({3, 3, 5, 0}), ev({3, 4, 5})} << "1 1 3:1,5,0 4:2,2,0 7:1,1,0" << ""
        << "notification notification2 area:3 notification notification2";
    QTest::newRow("special state only") << QVariantList{ev({3, 7, 1, 3})}
                                        << "1 1 3:1,1,0 4:2,2,0 7:1,1,3" << ""
                                        << "notification notification2 area:7";
    QTest::newRow("unknown area source")
        << QVariantList{ev({2, 99, 1})} << start
        << "Zone::Private::setEventAreaControlSource. Invalid area id: 99"
        << "notification notification2";
    QTest::newRow("unknown area state")
        << QVariantList{ev({3, 99, 6, 1})} << start
        << "Zone::Private::setEventAreaState. Invalid area id: 99|"
           "Zone::Private::setEventAreaSpecialState. Invalid area id: 99"
        << "notification notification2";
    QTest::newRow("unknown event") << QVariantList{ev({9, 2, 2})} << start << ""
                                   << "notification notification2";
    QTest::newRow("values missing") << QVariantList{ev({3, 4, 5})}
                                    << "1 1 3:1,1,0 4:2,5,0 7:1,1,0" << ""
                                    << "notification notification2 area:4";
    QTest::newRow("no values") << QVariantList{ev({0})} << start << ""
                               << "notification notification2";
}

void TestZoneLink::events()
{
    QFETCH(QVariantList, events);
    QFETCH(QString, after);
    QFETCH(QString, warning);
    QFETCH(QString, log);
    Link link;
    link.up();
    MessageCapture capture;
    for (const QVariant& event : qAsConst(events))
        QVERIFY(link.deliver(message(0, 0, eventData(event.toList()))));
    QCOMPARE(QStringLiteral("%1 %2 %3")
                 .arg(link.zone.controlSource())
                 .arg(link.zone.currentStrategy())
                 .arg(link.areas()),
             after);
    const QStringList warnings = warning.split('|', Qt::SkipEmptyParts);
    QCOMPARE(capture.messages().size(), warnings.size());
    for (const QString& w : warnings)
        QVERIFY2(capture.contains(w), qPrintable(capture.messages().join('\n')));
    QCOMPARE(link.log.join(' '), log);
    QCOMPARE(link.redrawn(), link.signalled());
    QCOMPARE(link.zoneRedrawn(), log.endsWith("zone"));
}

void TestZoneLink::hashCheck_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("same");
    QTest::addColumn<QByteArray>("block"); // used when not the same hash
    QTest::addColumn<bool>("invalid");
    QTest::newRow("equal") << 1 << true << QByteArray() << false;
    QTest::newRow("different") << 1 << false << QByteArray::fromHex("00112233") << true;
    QTest::newRow("empty reply") << 1 << false << QByteArray() << false;
    QTest::newRow("failed") << 11 << false << QByteArray() << false;
}

void TestZoneLink::hashCheck()
{
    QFETCH(int, kind);
    QFETCH(bool, same);
    QFETCH(QByteArray, block);
    QFETCH(bool, invalid);
    Link link;
    const QByteArray local = link.zone.property("localHash").toByteArray();
    QCOMPARE(local.size(), 16);
    const QByteArray remote = same ? local : block;
    const bool answered = kind == 1 && !remote.isEmpty();

    MessageCapture capture;
    link.deliver(message(0, 3, stampBytes(44000)));
    link.answer(GetConfigHash,
                remote.isEmpty() ? replyData(GetConfigHash, {}) : replyData(GetConfigHash, {remote}),
                kind);
    QCOMPARE(capture.contains("GET_CONFIG_HASH invalid response!"), !answered);
    QCOMPARE(link.zone.property("remoteHash"), answered ? QVariant(remote) : QVariant());
    QCOMPARE(link.zone.property("hashInvalid"), answered ? QVariant(invalid) : QVariant());
    link.answer(GetState, stateReply(2, 2, "3 2 5 0"));
    QCOMPARE(link.zone.currentStrategy(), invalid ? -1 : 2);
    QCOMPARE(link.areas(), invalid ? QStringLiteral("3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1")
                                   : QStringLiteral("3:2,5,0 4:-1,-1,-1 7:-1,-1,-1"));
    // Events keep the model current whatever the check said.
    link.deliver(message(0, 0, eventData({1, 7})));
    link.deliver(message(0, 0, eventData({2, 4, 3})));
    QCOMPARE(link.zone.currentStrategy(), 7);
    QCOMPARE(link.zone.area(4)->controlSource(), 3);
    // An areas text from anywhere is checked for its form, then ignored.
    capture.clear();
    link.d()->setProperty("areasState", "3 4");
    QVERIFY(capture.contains("Invalid areas state string: 3 4"));
    link.d()->setProperty("areasState", "4 4 4 4");
    QCOMPARE(link.zone.area(4)->currentState(), invalid ? -1 : 4);

    // The hash can only be invoked as the answer to a request.
    QVERIFY(QMetaObject::invokeMethod(&link.zone, "hashReaded"));
    QCOMPARE(link.zone.property("hashInvalid"), answered ? QVariant(invalid) : QVariant());

    // A later check that fails keeps the flag; one that matches clears it.
    link.deliver(message(0, 4, QVariant()));
    link.deliver(message(0, 3, stampBytes(44000)));
    link.answer(GetConfigHash, QByteArray(), 14);
    link.answer(GetState, stateReply(1, 1, "3 1 1 0"));
    QCOMPARE(link.zone.currentStrategy(), invalid ? -1 : 1);
    link.deliver(message(0, 4, QVariant()));
    link.deliver(message(0, 3, stampBytes(44000)));
    link.answer(GetConfigHash, replyData(GetConfigHash, {local}));
    QCOMPARE(link.zone.property("hashInvalid"), QVariant(false));
    link.answer(GetState, stateReply(1, 1, "3 1 1 0"));
    QCOMPARE(link.zone.currentStrategy(), 1);
}

void TestZoneLink::linkDown_data()
{
    QTest::addColumn<int>("state"); // -1: a kind-4 message
    QTest::addColumn<bool>("down");
    for (int state = 0; state <= 5; ++state)
        QTest::addRow("state %d", state) << state << (state < 4);
    QTest::newRow("lost message") << -1 << true;
}

void TestZoneLink::linkDown()
{
    QFETCH(int, state);
    QFETCH(bool, down);
    Link link;
    link.up("3 1 1 0 4 2 2 0");
    QPointer<Response> open = link.zone.sendCommand("GET_CONFIG_SIZE");
    link.reset();
    if (state == -1)
        QVERIFY(link.deliver(message(0, 4, QVariant())));
    else
        link.connection.setLinkState(state);
    QCOMPARE(link.zone.isConnected(), !down);
    if (!down) {
        QCOMPARE(link.log, QStringList());
        return;
    }
    QCOMPARE(link.log.first(), QStringLiteral("connected:0"));
    QCOMPARE(link.log.last(), QStringLiteral("zone"));
    QCOMPARE(link.signalled(), QStringLiteral("3 4"));
    QCOMPARE(link.redrawn(), QStringLiteral("3 4"));
    QCOMPARE(link.areas(), QStringLiteral("3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1"));
    QCOMPARE(link.zone.controlSource(), -1);
    QCOMPARE(link.zone.currentStrategy(), -1);
    // Open requests outlive the link going down, but not its coming back.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(open && !open->isFinished());
    link.connection.setLinkState(0);
    QCOMPARE(link.log.count("connected:0"), 1);
    const int number = open->request()->number();
    link.deliver(message(0, 3, stampBytes(44000)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!open);
    // Its late answer finds nothing open.
    MessageCapture capture;
    link.deliver(message(number, 1, replyData(0x1105, {1u})));
    QVERIFY(capture.contains("Invalid response!"));
}

void TestZoneLink::counterWrap()
{
    Link link;
    // The link-up requests 1 to 3 stay open.
    link.connection.deliver(message(0, 3, stampBytes(44000)));
    link.d()->messageCounter = INT_MAX - 1;
    link.zone.sendCommand(GetState);
    link.zone.sendCommand(GetState);
    link.deliver(message(2, 1, replyData(SetEvent, {}, 0x1200)));
    link.d()->messageCounter = INT_MAX;
    link.zone.sendCommand(GetState);
    link.d()->messageCounter = -7;
    link.zone.sendCommand(GetState);
    QCOMPARE(link.connection.numbers(), (QList<int>{1, 2, 3, INT_MAX, 4, 2, 5}));
    QCOMPARE(link.d()->responses.keys(), (QList<int>{1, 2, 3, 4, 5, INT_MAX}));
}

void TestZoneLink::shortReply_data()
{
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 8, 12, 15})
        QTest::addRow("%d bytes", size) << size;
}

void TestZoneLink::shortReply()
{
    QFETCH(int, size);
    Link link;
    link.up();
    QPointer<Response> response = link.zone.sendCommand(GetState);
    link.reset();
    const int number = response->request()->number();
    const QByteArray data = stateReply(3, 3, "3 3 3 3").left(size);
    MessageCapture capture;
    QVERIFY(!link.deliver(message(number, 1, data)));
    QVERIFY(response->isFinished());
    QCOMPARE(response->reply(), data);
    QCOMPARE(link.log.mid(0, 2), (QStringList{"finished", "finished2"}));
    QVERIFY2(capture.contains(QStringLiteral("msg num: %1").arg(number)),
             qPrintable(capture.messages().join('\n')));
    QVERIFY(capture.contains(QStringLiteral("ZonePrivate.cpp(")));
    if (size > 0)
        QVERIFY(capture.contains(data.toHex()));
    QCOMPARE(link.zone.controlSource(), 1);
    QCOMPARE(link.areas(), QStringLiteral("3:1,1,0 4:2,2,0 7:1,1,0"));
}

void TestZoneLink::foreignMessages_data()
{
    QTest::addColumn<int>("objectId");
    QTest::addColumn<int>("tag");
    QTest::newRow("other zone") << ZoneId + 1 << Tag;
    QTest::newRow("other protocol") << ZoneId << Tag + 1;
}

void TestZoneLink::foreignMessages()
{
    QFETCH(int, objectId);
    QFETCH(int, tag);
    Link link;
    MessageCapture capture;
    for (int kind : {3, 0, 1, 4, 7})
        QVERIFY(!link.deliver(message(1, kind, stampBytes(44000), objectId, tag)));
    QVERIFY(!link.zone.isConnected());
    QCOMPARE(link.log, QStringList());
    QCOMPARE(capture.messages(), QStringList());
}

void TestZoneLink::replaceConnection()
{
    Link link;
    FakeConnection other;
    link.zone.setConnection(&other);
    QCOMPARE(link.connection.listeners(), 0);
    link.connection.deliver(message(0, 3, stampBytes(44000)));
    QVERIFY(!link.zone.isConnected());
    other.deliver(message(0, 3, stampBytes(44000)));
    QVERIFY(link.zone.isConnected());
    QCOMPARE(other.sent.size(), 3);
    QCOMPARE(link.connection.sent.size(), 0);
    link.connection.setLinkState(0);
    QVERIFY(link.zone.isConnected());
    other.setLinkState(0);
    QVERIFY(!link.zone.isConnected());
    link.zone.setConnection(nullptr);
    QCOMPARE(other.listeners(), 0);
    QCOMPARE(link.zone.property("connection").value<QObject*>(), nullptr);
}

void TestZoneLink::destroyedWhileConnected()
{
    FakeConnection connection;
    auto zone = std::make_unique<Zone>();
    QVERIFY(zone->load(ZoneFile));
    zone->setConnection(&connection);
    connection.deliver(message(0, 3, stampBytes(44000)));
    QVERIFY(zone->isConnected());
    QPointer<Response> open = zone->sendCommand(GetState);
    QVERIFY(connection.listeners() > 0);
    zone.reset();
    QCOMPARE(connection.listeners(), 0);
    QVERIFY(!open);
    connection.deliver(message(0, 0, eventData({1, 3})));
    connection.setLinkState(0);
}

QTEST_MAIN(TestZoneLink)
#include "tst_zonelink.moc"
