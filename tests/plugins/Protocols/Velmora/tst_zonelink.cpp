// The zone's link to the control service, driven through a fake connection.
#include "MessageCapture.h"
#include "QtOwnLeaks.h"
#include "Velmora/Area.h"
#include "Velmora/CommandTable.h"
#include "Velmora/Zone.h"
#include "Velmora/ZonePrivate.h"
#include "Velmora/format/Protocol.h"

#include <semtra/Connection.h>
#include <semtra/Notification.h>
#include <semtra/Rare.h>
#include <semtra/Request.h>
#include <semtra/Response.h>
#include <semtra/Wire.h>

#include <QGraphicsScene>
#include <QtTest>

#include <climits>
#include <memory>
#include <vector>

using Semtra::Command::Message;
using Velmora::Area;
using Velmora::CommandTable;
using Velmora::Zone;
using namespace Velmora::Protocol;

namespace {

// tests/data/link/zone.xtsc: zone 12 with areas 3, 4 and 7.
constexpr int ZoneId = 12;
const QString ZoneFile = QStringLiteral(VELMORA_TEST_DATA "/link/zone.xtsc");
// "control source, strategy, areas" right after Link::up().
const QString UpState = QStringLiteral("1 1 3:1,1,0 4:2,2,0 7:1,1,0");
const QString AllUnset = QStringLiteral("3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1");

Message message(int number, int kind, const QVariant& data, int objectId = ZoneId, int tag = Tag)
{
    return Message{number, objectId, kind, tag, data};
}

// The data of an announcement (kind 3): the stamp that also heads a reply.
QByteArray stampBytes(double stamp)
{
    return Semtra::Wire::encodeReply(stamp, 0, 0, {}).left(8);
}

QByteArray replyData(int code, const QVariantList& values, quint32 result = 0)
{
    return Semtra::Wire::encodeReply(0.25, result, quint32(code),
                                     Semtra::Wire::encodeParams(values, CommandTable::replyTypes(code)));
}

QByteArray stateReply(int source, int strategy, const QString& areas)
{
    return replyData(GetState, {uint(source), uint(strategy), areas});
}

// An event as the service sends it, from "id value value ...".
QByteArray eventData(const QString& event)
{
    QVariantList values;
    for (const QString& value : event.split(' ', Qt::SkipEmptyParts))
        values << value.toUInt();
    return Semtra::Wire::encodeEvent(values.takeFirst().toUInt(), 44000.5, values);
}

// The host's connection, driven by the test.
class FakeConnection : public Semtra::Connection
{
    Q_OBJECT
public:
    bool contains(int tag, int id) const override
    {
        containsCalls.append({tag, id});
        return answer;
    }
    void request(const Request* r) override
    {
        numbers << r->number();
        commands << r->command().toInt();
        params << r->param();
        targets << qMakePair(r->objectId(), r->tag());
    }
    void deliver(const Message& m) { emit message(m); }
    void setLinkState(int state) { emit stateChanged(State(state)); }
    int listeners() const
    {
        return receivers(SIGNAL(message(Semtra::Command::Message)))
            + receivers(SIGNAL(stateChanged(Semtra::Connection::State)));
    }

    bool answer = true;
    mutable QList<QPair<int, int>> containsCalls;
    QList<int> numbers, commands; // of each request, in the order sent
    QVariantList params;
    QVector<QPair<int, int>> targets; // object id, tag
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
        record(qOverload<const Request*>(&Zone::request), "request");
        record(qOverload<const QObject*, QObject*>(&Zone::request), "request2");
        record(qOverload<const Response*>(&Zone::responseFinished), "finished");
        record(qOverload<const QObject*, QObject*>(&Zone::responseFinished), "finished2");
        record(qOverload<const Notification*>(&Zone::notification), "notification");
        record(qOverload<const QObject*, QObject*>(&Zone::notification), "notification2");
        QObject::connect(&zone, &Zone::connected, &zone, [this](bool up) { log << QStringLiteral("connected:%1").arg(up); });
        QObject::connect(&zone, &Zone::stateChanged, &zone,
                         [this](const QObject* z) { log << (z == &zone ? "zone" : "zone?"); });
        QObject::connect(&zone, &Zone::areaStateChanged, &zone, [this](const QObject* a) {
            log << QStringLiteral("area:%1").arg(static_cast<const Area*>(a)->id());
        });
    }

    Zone::Private* d() { return Zone::Private::get(&zone); }
    bool deliver(const Message& m) { return zone.message(m); }
    bool announce(double stamp = 44000) { return deliver(message(0, 3, stampBytes(stamp))); }
    // Answers the last request with this command code.
    void answer(int command, const QByteArray& data, int kind = 1)
    {
        deliver(message(connection.numbers.value(connection.commands.lastIndexOf(command)), kind, data));
    }
    // Link up, the hash check and the state query answered.
    void up(const QString& areas = QStringLiteral("3 1 1 0 4 2 2 0 7 1 1 0"))
    {
        announce();
        answer(GetConfigHash, replyData(GetConfigHash, {zone.property("localHash")}));
        answer(SetEvent, replyData(SetEvent, {}, 0x1200));
        answer(GetState, stateReply(1, 1, areas));
        reset();
    }
    void reset()
    {
        QCoreApplication::processEvents();
        log.clear();
    }
    QString said() const { return log.join(' '); }
    // "source strategy 3:source,state,special 4:... 7:...": what the service has reported into the zone.
    QString state()
    {
        QString text = QStringLiteral("%1 %2").arg(zone.controlSource()).arg(zone.currentStrategy());
        for (uint id : {3u, 4u, 7u}) {
            const Area* area = zone.area(id);
            text += QStringLiteral(" %1:%2,%3,%4").arg(id).arg(area->controlSource()).arg(area->currentState())
                        .arg(area->specialState());
        }
        return text;
    }
    // Areas that told the host of a change since the last reset, in id order.
    QString signalled() const
    {
        QStringList told;
        for (int id : {3, 4, 7}) {
            if (log.contains(QStringLiteral("area:%1").arg(id)))
                told << QString::number(id);
        }
        return told.join(' ');
    }

    // Declared first: the recorders outlive everything that reports to them.
    QStringList log;
    QGraphicsScene scene;
    Zone zone;
    FakeConnection connection;

private:
    template <typename Signal>
    void record(Signal signal, const char* what)
    {
        QObject::connect(&zone, signal, &zone, [this, what] { log << QString::fromLatin1(what); });
    }
};

// A valid message damaged: cut short, bytes overwritten or a length field inflated.
QByteArray damage(QByteArray bytes, QRandomGenerator* random)
{
    const int kind = random->bounded(3);
    if (kind == 0)
        bytes.truncate(random->bounded(bytes.size() + 1));
    for (int n = kind == 1 ? 1 + random->bounded(3) : 0; n > 0; --n)
        bytes[random->bounded(bytes.size())] = char(random->generate());
    if (kind == 2 && bytes.size() >= 20)
        qToLittleEndian(random->generate(), bytes.data() + 12 + random->bounded(bytes.size() - 15));
    return bytes;
}

// The source files that logged while it lives, as the messages' context names
// them; the messages go on to the handler that was there before.
class SourceCapture
{
public:
    SourceCapture() { previous = qInstallMessageHandler(handler); }
    ~SourceCapture() { qInstallMessageHandler(previous); }
    QStringList files() const { return logged; }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        logged << QFileInfo(QString::fromUtf8(context.file)).fileName();
        previous(type, context, message);
    }

    static inline QtMessageHandler previous = nullptr;
    static inline QStringList logged;
};

} // namespace

class TestZoneLink : public QObject
{
    Q_OBJECT
private slots:
    void linkUp_data();
    void linkUp();
    void numbering();
    void sendCommand_data();
    void sendCommand();
    void replies_data();
    void replies();
    void areasState_data();
    void areasState();
    void events_data();
    void events();
    void hashCheck_data();
    void hashCheck();
    void linkDown_data();
    void linkDown();
    void connectionLifetime();
    void chainedRequest();
    void randomInput();
};

void TestZoneLink::linkUp_data()
{
    QTest::addColumn<int>("via"); // -1: announced; else refresh on 1 the fake, 2 a QObject
    QTest::addColumn<QVariant>("data"); // announced, or the fake's answer to contains()
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<bool>("connected");
    QTest::newRow("stamp") << -1 << QVariant(stampBytes(44000.5)) << Rare::doubleToDateTime(44000.5) << true;
    QTest::newRow("7 bytes") << -1 << QVariant(stampBytes(44000.5).left(7)) << QDateTime() << true;
    QTest::newRow("refresh, registered") << 1 << QVariant(true) << QDateTime() << true;
    QTest::newRow("refresh, not registered") << 1 << QVariant(false) << QDateTime() << false;
    QTest::newRow("refresh, no contains()") << 2 << QVariant(true) << QDateTime() << false;
}

void TestZoneLink::linkUp()
{
    QFETCH(int, via);
    QFETCH(QVariant, data);
    QFETCH(QDateTime, time);
    QFETCH(bool, connected);
    Link link;
    QObject plain;
    MessageCapture capture;
    if (via < 0) {
        link.connection.deliver(message(0, 3, data));
    } else {
        link.connection.answer = data.toBool();
        link.zone.setConnection(via == 1 ? &link.connection : &plain);
        QVERIFY(QMetaObject::invokeMethod(&link.zone, "refresh"));
    }
    QCOMPARE(capture.contains("Zone::refresh: error metacall connection::contains"), via == 2);
    QCOMPARE(link.connection.containsCalls.size(), int(via == 1));
    QCOMPARE(link.zone.property("isConnected").toBool(), connected);
    if (!connected) {
        QCOMPARE(link.said(), QString());
        return;
    }
    QCOMPARE(link.zone.property("connectionTime").toDateTime(), time);
    QCOMPARE(link.said(), "connected:1 zone request request2 zone request request2 request request2");
    QCOMPARE(link.connection.commands, (QList<int>{GetConfigHash, SetEvent, GetState}));
    // The event mask: all eight events.
    QCOMPARE(link.connection.params.at(1), QVariant(QByteArray::fromHex("ff000000")));
    QCOMPARE(link.connection.targets, (QVector<QPair<int, int>>(3, {ZoneId, Tag})));

    // Once up, an announcement only updates the time, and refresh repeats the
    // queries without asking the connection; the model stays.
    link.answer(GetState, stateReply(1, 1, "3 1 1 0 4 2 2 0 7 1 1 0"));
    link.reset();
    if (via < 0) {
        QVERIFY(link.announce(45000.25));
        QCOMPARE(link.zone.property("connectionTime").toDateTime(), Rare::doubleToDateTime(45000.25));
        QCOMPARE(link.said(), QString());
        // A later announcement without a whole stamp leaves no time, not the last one.
        link.connection.deliver(message(0, 3, data));
        QCOMPARE(link.zone.property("connectionTime").toDateTime(), time);
    } else {
        QVERIFY(QMetaObject::invokeMethod(&link.zone, "refresh"));
        QCOMPARE(link.connection.containsCalls, (QList<QPair<int, int>>{{Tag, ZoneId}}));
    }
    QCOMPARE(link.connection.numbers.size(), via < 0 ? 3 : 6);
    QCOMPARE(link.state(), UpState);
}

void TestZoneLink::numbering()
{
    Link link;
    QVERIFY(!link.zone.sendCommand(GetState));
    link.up();
    link.connection.setLinkState(Semtra::Connection::Unconnected);
    QVERIFY(!link.zone.sendCommand(GetState));
    link.connection.deliver(message(0, 3, stampBytes(44000)));
    // Numbers go on across links (4 to 6: the new link's queries, 5 answered),
    // skip open requests, and restart at 1 past INT_MAX or from a broken counter.
    link.deliver(message(5, 1, replyData(SetEvent, {}, 0x1200)));
    link.d()->messageCounter = 3;
    link.zone.sendCommand(GetState);
    link.d()->messageCounter = INT_MAX - 1;
    link.zone.sendCommand(GetState);
    link.zone.sendCommand(GetState);
    link.d()->messageCounter = -7;
    link.zone.sendCommand(GetState);
    QCOMPARE(link.connection.numbers, (QList<int>{1, 2, 3, 4, 5, 6, 5, INT_MAX, 1, 2}));
    QCOMPARE(link.d()->responses.keys(), (QList<int>{1, 2, 4, 5, 6, INT_MAX}));
}

void TestZoneLink::sendCommand_data()
{
    QTest::addColumn<QVariant>("command");
    QTest::addColumn<QVariant>("param");
    QTest::addColumn<int>("code"); // -1: refused
    QTest::addColumn<QVariant>("sent");
    const auto command = [](const char* name, const QVariant& command, int code) {
        QTest::newRow(name) << command << QVariant() << code << QVariant();
    };
    command("name as bytes", QByteArray("Get_Config"), GetConfig);
    command("number as text", "9999", 9999);
    command("reply name", "CONFIG_HASH", -1);
    const auto param = [](const char* name, const QVariant& param, const QVariant& sent) {
        QTest::newRow(name) << QVariant("SET_STRAT") << param << (sent.isValid() ? 4097 : -1) << sent;
    };
    const QVariantList list{1u, QByteArray("ab")};
    param("list", list, list);
    param("text", "  -4 \"a b\" #0aff 0x10", QVariantList{-4, QStringLiteral("a b"), QByteArray("\x0a\xff", 2), 16u});
    param("double", 2.0, QVariant());
}

void TestZoneLink::sendCommand()
{
    QFETCH(QVariant, command);
    QFETCH(QVariant, param);
    QFETCH(int, code);
    QFETCH(QVariant, sent);
    Link link;
    link.up();
    Response* response = link.zone.sendCommand(command, param);
    QCOMPARE(response != nullptr, code >= 0);
    if (code < 0) {
        // Nothing sent, no number used up.
        QCOMPARE(link.said(), QString());
        QCOMPARE(link.zone.sendCommand(GetState)->request()->number(), 4);
        return;
    }
    QCOMPARE(link.said(), QStringLiteral("request request2 zone"));
    QCOMPARE(response->request()->command().userType(), int(QMetaType::Int));
    QCOMPARE(link.connection.commands.last(), code);
    QCOMPARE(link.connection.params.last(), sent);
}

void TestZoneLink::replies_data()
{
    QTest::addColumn<int>("kind"); // 0: a reply to a number never sent
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QStringList>("warnings"); // "{n}": the reply's number
    QTest::addColumn<QString>("loggedIn"); // the source file the context names, kept out of the text
    const auto row = [](const char* name, int kind, const QByteArray& reply, bool result, const QString& after,
                        const QVariantList& values, const QStringList& warnings = {}, const char* loggedIn = "") {
        QTest::newRow(name) << kind << reply << result << after << values << warnings << QString(loggedIn);
    };
    const QByteArray size = replyData(GetConfigSize, {123u});
    const QByteArray tooFew = replyData(GetState, {3u});
    const QByteArray headless = stateReply(3, 3, "3 3 3 3").left(15);
    row("reply", 1, size, true, UpState, {123u});
    row("connection lost", 11, size, false, UpState, {});
    // A state reply that lost its request still tells the truth about the zone.
    row("never requested", 0, stateReply(2, 2, "3 2 2 0"), true, "2 2 3:2,2,0 4:-1,-1,-1 7:-1,-1,-1", {},
        {"Zone: id:12 msg num:{n}. Invalid response! in ZoneLink.cpp:"});
    row("refused", 1, replyData(GetState, {2u, 2u, QString("3 0 0 0")}, 4609), true, UpState, {2u, 2u, "3 0 0 0"});
    row("areas optional", 1, replyData(GetState, {4u, 2u}, 0x1200), true, "4 2 3:1,1,0 4:2,2,0 7:1,1,0", {4u, 2u});
    row("too few values", 1, tooFew, false, UpState, {3u},
        {"Missing parameters (count = 1)", tooFew.toHex()}, "ZonePrivate.cpp");
    row("15 bytes", 1, headless, false, UpState, {}, {"msg num: {n}", headless.toHex()}, "ZonePrivate.cpp");
}

void TestZoneLink::replies()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, reply);
    QFETCH(bool, result);
    QFETCH(QString, after);
    QFETCH(QVariantList, values);
    QFETCH(QStringList, warnings);
    QFETCH(QString, loggedIn);
    Link link;
    link.up();
    QPointer<Response> response = kind ? link.zone.sendCommand(GetConfigSize) : nullptr;
    QPointer<Response> last = link.zone.sendCommand(GetConfigSize);
    const int number = kind ? response->request()->number() : 77;
    link.reset();
    MessageCapture capture;
    const SourceCapture sources;
    QCOMPARE(link.deliver(message(number, qMax(kind, 1), reply)), result);
    QCOMPARE(link.state(), after);
    QCOMPARE(capture.messages().isEmpty(), warnings.isEmpty());
    for (const QString& warning : warnings.replaceInStrings("{n}", QString::number(number)))
        QVERIFY2(capture.contains(warning), qPrintable(capture.messages().join('\n')));
    if (!loggedIn.isEmpty()) {
        QVERIFY2(sources.files().contains(loggedIn), qPrintable(sources.files().join(' ')));
        QVERIFY2(!capture.contains(loggedIn), qPrintable(capture.messages().join('\n')));
    }
    // The zone's state changes with its values, and when its last open request is answered.
    QCOMPARE(link.log.count("zone"), int(after != UpState));
    if (kind) {
        QVERIFY(response->isFinished());
        QCOMPARE(response->error(), kind == 1 ? 0 : kind);
        QCOMPARE(response->data(), values);
        QCOMPARE(response->reply(), kind == 1 ? reply : QByteArray());
        QVERIFY(link.said().startsWith("finished finished2"));
    }
    link.reset();
    QVERIFY(link.deliver(message(last->request()->number(), 1, replyData(GetConfigSize, {1u}))));
    QCOMPARE(link.said(), QStringLiteral("finished finished2 zone"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!response && !last);
    // Answered once: a second reply finds nothing open.
    capture.clear();
    link.deliver(message(number, 1, replyData(GetConfigSize, {1u})));
    QVERIFY(capture.contains(QStringLiteral("msg num:%1. Invalid response!").arg(number)));
}

void TestZoneLink::areasState_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("changed"); // areas that must tell the host; others reached after them may
    QTest::addColumn<bool>("zoneSignal");
    QTest::addColumn<QString>("warning");
    const auto row = [](const char* name, int source, const char* text, const QString& after, const char* changed,
                        bool zoneSignal, const char* warning = "") {
        QTest::newRow(name) << source << text << after << changed << zoneSignal << warning;
    };
    // Refused: nothing of the text is applied.
    const QString unset = "3:1,1,0 4:2,2,0 7:-1,-1,-1";
    row("empty", 1, "", unset, "", false, "Invalid areas state string:");
    row("letter in group 2", 1, "3 2 2 0 4 x 1 0", unset, "", false,
        "Invalid areas state parametr: 4 in string: 3 2 2 0 4 x");
    row("unknown id", 1, "3 1 1 0 4 2 2 0 99 4 4 4", unset, "", false);
    row("blanks of every kind", 1, " \t7  1\n 2 \r\n  0  ", "3:-1,-1,-1 4:-1,-1,-1 7:1,2,0", "3 4 7", true);
    row("later group wins", 1, "3 1 1 0 4 2 2 0 3 2 5 1", "3:2,5,1 4:2,2,0 7:-1,-1,-1", "3", true);
    row("zone value changed", 2, "3 1 1 0 4 2 2 0", unset, "3 4", true);
    row("unlisted goes to -1", 1, "4 2 2 0", "3:-1,-1,-1 4:2,2,0 7:-1,-1,-1", "3", false);
    row("leading zero", 1, "3 1 1 0 4 2 010 0", "3:1,1,0 4:2,10,0 7:-1,-1,-1", "4", true);
}

void TestZoneLink::areasState()
{
    QFETCH(int, source);
    QFETCH(QString, text);
    QFETCH(QString, after);
    QFETCH(QString, changed);
    QFETCH(bool, zoneSignal);
    QFETCH(QString, warning);
    Link link;
    link.up("3 1 1 0 4 2 2 0");
    MessageCapture capture;
    QVERIFY(link.deliver(message(9, 1, stateReply(source, 1, text))));
    QCOMPARE(link.state().section(' ', 2), after);
    const QString messages = capture.messages().join('\n');
    QVERIFY2(warning.isEmpty() ? !messages.contains("areas state") : capture.contains(warning), qPrintable(messages));
    const QStringList told = link.signalled().split(' ', Qt::SkipEmptyParts);
    for (const QString& id : changed.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(told.contains(id), qPrintable(told.join(' ')));
    QCOMPARE(told.isEmpty(), changed.isEmpty());
    QCOMPARE(link.log.contains("zone"), zoneSignal);
}

void TestZoneLink::events_data()
{
    QTest::addColumn<QString>("events"); // separated by ';'
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("log"); // "N" stands for "notification notification2"
    QTest::addColumn<QStringList>("warnings");
    const auto row = [](const char* name, const char* events, const QString& after, const char* log,
                        const QStringList& warnings = {}) { QTest::newRow(name) << events << after << log << warnings; };
    const QString invalidId = "Zone::Private::setEventArea%1. Invalid area id: 99";
    row("zone source", "0 2", "2 1 3:1,1,0 4:2,2,0 7:1,1,0", "N zone");
    row("same zone source", "0 1", UpState, "N");
    row("strategy", "1 2", "1 2 3:1,1,0 4:2,2,0 7:1,1,0", "N zone");
    row("area source", "2 3 4", "1 1 3:4,1,0 4:2,2,0 7:1,1,0", "N area:3");
    row("area state", "3 3 5 2", "1 1 3:1,5,2 4:2,2,0 7:1,1,0", "N area:3 area:3");
    row("two areas, same state", "3 3 5 0; 3 4 5 0", "1 1 3:1,5,0 4:2,5,0 7:1,1,0", "N area:3 N area:4");
    row("values missing", "3 4 5", "1 1 3:1,1,0 4:2,5,0 7:1,1,0", "N area:4");
    row("same state, special missing", "3 3 5 0; 3 4 5", "1 1 3:1,5,0 4:2,2,0 7:1,1,0", "N area:3 N");
    row("unknown area source", "2 99 1", UpState, "N", {invalidId.arg("ControlSource")});
    row("unknown area state", "3 99 6 1", UpState, "N", {invalidId.arg("State"), invalidId.arg("SpecialState")});
    row("unknown event", "9 2 2", UpState, "N");
}

void TestZoneLink::events()
{
    QFETCH(QString, events);
    QFETCH(QString, after);
    QFETCH(QString, log);
    QFETCH(QStringList, warnings);
    Link link;
    link.up();
    // A host may read events later, from its event loop.
    QStringList queued, sent;
    connect(&link.zone, qOverload<const Notification*>(&Zone::notification), this,
            [&](const Notification* n) { queued << QStringLiteral("%1 %2").arg(n->id()).arg(n->data().value(0).toInt()); },
            Qt::QueuedConnection);
    connect(&link.zone, qOverload<const QObject*, QObject*>(&Zone::notification), this,
            [&](const QObject* n, QObject* zone) {
                queued << (zone == &link.zone && qobject_cast<const Notification*>(n) ? "zone" : "?");
            },
            Qt::QueuedConnection);
    MessageCapture capture;
    for (const QString& event : events.split(';')) {
        QVERIFY(link.deliver(message(0, 0, eventData(event))));
        sent << event.simplified().section(' ', 0, 1) << "zone";
    }
    QVERIFY(queued.isEmpty());
    QCOMPARE(link.state(), after);
    QCOMPARE(capture.messages().size(), warnings.size());
    for (const QString& w : warnings)
        QVERIFY2(capture.contains(w), qPrintable(capture.messages().join('\n')));
    QCOMPARE(link.said(), log.replace("N", "notification notification2"));
    QCoreApplication::processEvents();
    QCOMPARE(queued, sent);
    // Once every receiver has run, the events are freed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(link.d()->findChildren<Notification*>().isEmpty());
}

void TestZoneLink::hashCheck_data()
{
    QTest::addColumn<QByteArray>("remote"); // "LOCAL": the file's own hash, "LAST": its last byte changed, "FIRST15": cut short
    QTest::addColumn<bool>("invalid");
    QTest::newRow("equal") << QByteArray("LOCAL") << false;
    QTest::newRow("last byte differs") << QByteArray("LAST") << true;
    QTest::newRow("shorter") << QByteArray::fromHex("00112233") << true;
    QTest::newRow("first 15 bytes") << QByteArray("FIRST15") << true;
    QTest::newRow("empty reply") << QByteArray() << false;
}

void TestZoneLink::hashCheck()
{
    QFETCH(QByteArray, remote);
    QFETCH(bool, invalid);
    Link link;
    const QByteArray local = link.zone.property("localHash").toByteArray();
    if (remote == "FIRST15")
        remote = local.left(15);
    if (remote == "LOCAL" || remote == "LAST")
        remote = remote == "LAST" ? local.left(15) + char(local.at(15) ^ 1) : local;
    const bool answered = !remote.isEmpty();
    const auto linkUp = [&](const QByteArray& hashReply, int hashKind) {
        link.deliver(message(0, 4, QVariant()));
        link.announce();
        link.answer(GetConfigHash, hashReply, hashKind);
    };

    MessageCapture capture;
    linkUp(replyData(GetConfigHash, answered ? QVariantList{remote} : QVariantList()), 1);
    QCOMPARE(capture.contains("GET_CONFIG_HASH invalid response!"), !answered);
    QCOMPARE(link.zone.property("remoteHash"), answered ? QVariant(remote) : QVariant());
    QCOMPARE(link.zone.property("hashInvalid"), answered ? QVariant(invalid) : QVariant());
    link.answer(GetState, stateReply(2, 2, "3 2 5 0"));
    QCOMPARE(link.state(), invalid ? "-1 -1 " + AllUnset : "2 2 3:2,5,0 4:-1,-1,-1 7:-1,-1,-1");
    // Written any other way, an areas-state string is checked, then ignored alike.
    link.d()->setProperty("areasState", QStringLiteral("7 1 2"));
    QVERIFY(capture.contains("Invalid areas state string:"));
    link.d()->setProperty("areasState", QStringLiteral("7 1 2 0"));
    QCOMPARE(link.state().section(' ', 4), invalid ? "7:-1,-1,-1" : "7:1,2,0");
    // The hash can only be taken from the answer to a request.
    QVERIFY(QMetaObject::invokeMethod(&link.zone, "hashReaded"));
    QCOMPARE(link.zone.property("hashInvalid"), answered ? QVariant(invalid) : QVariant());

    // A later check that fails keeps the flag; one that matches clears it.
    linkUp(QByteArray(), 14);
    link.answer(GetState, stateReply(1, 1, "3 1 1 0"));
    QCOMPARE(link.zone.currentStrategy(), invalid ? -1 : 1);
    linkUp(replyData(GetConfigHash, {local}), 1);
    QCOMPARE(link.zone.property("hashInvalid"), QVariant(false));
    link.answer(GetState, stateReply(1, 1, "3 1 1 0"));
    QCOMPARE(link.zone.currentStrategy(), 1);
}

void TestZoneLink::linkDown_data()
{
    QTest::addColumn<int>("state"); // -1: a kind-4 message
    // Around the bound: Connected (4) keeps the link.
    for (int state : {3, 4})
        QTest::addRow("state %d", state) << state;
    QTest::newRow("lost message") << -1;
}

void TestZoneLink::linkDown()
{
    QFETCH(int, state);
    Link link;
    link.up("3 1 1 0 4 2 2 0");
    QPointer<Response> open = link.zone.sendCommand(GetConfigSize);
    link.reset();
    if (state == -1)
        QVERIFY(link.deliver(message(0, 4, QVariant())));
    else
        link.connection.setLinkState(state);
    const bool down = state < Semtra::Connection::Connected;
    QCOMPARE(link.zone.isConnected(), !down);
    if (!down) {
        QCOMPARE(link.said(), QString());
        return;
    }
    QVERIFY2(link.said().startsWith("connected:0") && link.said().endsWith("zone"), qPrintable(link.said()));
    QCOMPARE(link.signalled(), QStringLiteral("3 4"));
    QCOMPARE(link.state(), "-1 -1 " + AllUnset);
    // Open requests outlive the link going down, but not its coming back.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(open && !open->isFinished());
    link.connection.setLinkState(0);
    QCOMPARE(link.log.count("connected:0"), 1);
    const int number = open->request()->number();
    link.announce();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!open && !link.d()->responses.contains(number));
}

// A zone listens to one connection at a time, and to none once it is gone.
void TestZoneLink::connectionLifetime()
{
    auto link = std::make_unique<Link>();
    FakeConnection other;
    const Message announced = message(0, 3, stampBytes(44000));
    link->zone.setConnection(&other);
    QCOMPARE(link->connection.listeners(), 0);
    link->connection.deliver(announced);
    QVERIFY(!link->zone.isConnected());
    other.deliver(announced);
    QVERIFY(link->zone.isConnected());
    QCOMPARE(QList<int>({other.numbers.size(), link->connection.numbers.size()}), QList<int>({3, 0}));
    link->connection.setLinkState(0);
    QVERIFY(link->zone.isConnected());
    other.setLinkState(0);
    QVERIFY(!link->zone.isConnected());
    link->zone.setConnection(nullptr);
    QCOMPARE(other.listeners(), 0);

    // Destroyed while connected, with a request open: the response goes too.
    link->zone.setConnection(&other);
    other.deliver(announced);
    QPointer<Response> open = link->zone.sendCommand(GetState);
    QVERIFY(open && other.listeners() > 0);
    link.reset();
    QCOMPARE(other.listeners(), 0);
    QVERIFY(!open);
}

// A next request sent from the finished() of the old one is not the first one opened: no stateChanged ("zone"), and
// the old response is reported finished before anything else.
void TestZoneLink::chainedRequest()
{
    Link link;
    link.up();
    Response* first = link.zone.sendCommand(GetState);
    QPointer<Response> next;
    connect(first, &Response::finished, this, [&] { next = link.zone.sendCommand(GetConfigSize); });
    link.reset();
    QVERIFY(link.deliver(message(first->request()->number(), 1, stateReply(1, 1, "3 1 1 0 4 2 2 0 7 1 1 0"))));
    QCOMPARE(link.said(), QStringLiteral("request request2 finished finished2"));
    QVERIFY(next);
    QCOMPARE(link.d()->responses.keys(), QList<int>{next->request()->number()});
}

// Damaged replies and events, now and then of another kind or for another
// object: they change nothing they should not, and the sanitizer watches the reads.
void TestZoneLink::randomInput()
{
    const QList<QByteArray> replies{
        stateReply(1, 2, "3 1 1 0 4 2 2 0"), stateReply(3, 1, " 7 2 2 1  3 x 1 1"),
        replyData(GetState, {1u, 2u, QString("3 1 1 0")}, 4609), replyData(GetConfigHash, {QByteArray(16, 'x')}),
        replyData(GetConfigSize, {5u}), Semtra::Wire::encodeReply(0.5, 0, 0x7777, "\x01\x02\x03\x04\x05")};
    const QList<QByteArray> events{eventData("0 2"), eventData("1 3"), eventData("2 3 4"), eventData("3 4 5 1"),
                                   Semtra::Wire::encodeEvent(3, 1.5, {4u, QStringLiteral("x"), QByteArray("ab")})};
    Link link;
    link.up("3 1 1 0 4 2 2 0");
    QRandomGenerator random(20240611u);
    MessageCapture capture;
    for (int i = 0; i < 1000; ++i) {
        const bool isReply = random.bounded(2);
        const QList<QByteArray>& samples = isReply ? replies : events;
        // In a heap block of exactly its size, so that the sanitizer sees any read past it.
        const QByteArray damaged = damage(samples.at(random.bounded(samples.size())), &random);
        const std::vector<char> exact(damaged.begin(), damaged.end());
        const QByteArray bytes = QByteArray::fromRawData(exact.data(), int(exact.size()));
        const int kind = random.bounded(10) == 0 ? random.bounded(20) : int(isReply);
        const QString before = link.state();
        const auto seen = [&] {
            return QStringLiteral("%1 %2 %3 %4").arg(link.state()).arg(link.zone.isConnected()).arg(link.log.size())
                .arg(capture.messages().size());
        };
        if (random.bounded(10) == 0) {
            // Another zone's messages, and our zone id in another protocol, of
            // every kind the link reads: not ours, so nothing changes or is said.
            const bool otherZone = random.bounded(2);
            const QString unchanged = seen();
            QVERIFY(!link.deliver(message(1, QList<int>{0, 1, 3, 4}.at(random.bounded(4)), bytes,
                                          ZoneId + int(otherZone), Tag + int(!otherZone))));
            QCOMPARE(seen(), unchanged);
        } else if (kind == 1) {
            // Half the replies answer a request, so that responses decode them too.
            QPointer<Response> response = random.bounded(2) ? link.zone.sendCommand(GetState) : nullptr;
            const bool used = link.deliver(message(response ? response->request()->number() : 1000000 + i, 1, bytes));
            if (response)
                QVERIFY(response->isFinished() && response->data().size() <= 3);
            const bool shortHead = bytes.size() < 16;
            const quint32 result = shortHead ? 0 : qFromLittleEndian<quint32>(bytes.constData() + 8);
            const bool failing = result != 0 && result != 0x1200;
            QVERIFY(shortHead ? !used : used || !failing);
            // Refused replies and replies with a failing result change nothing.
            if (!used || failing)
                QCOMPARE(link.state(), before);
        } else if (kind == 0) {
            QVERIFY(link.deliver(message(0, 0, bytes)));
            const quint32 id = bytes.size() >= 4 ? qFromLittleEndian<quint32>(bytes.constData()) : 99;
            const QString after = link.state();
            if (id > 3 || bytes.size() < 13)
                QCOMPARE(after, before);
            // Events never move the values of another event: area events keep
            // the zone's values, zone events the areas'.
            const int first = id >= 2 ? 0 : 2, last = id >= 2 ? 1 : -1;
            QCOMPARE(after.section(' ', first, last), before.section(' ', first, last));
        } else {
            link.deliver(message(int(random.bounded(8)), kind, bytes));
        }
        if (i % 100 == 0) {
            capture.clear();
            link.reset();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}

QTEST_MAIN(TestZoneLink)
#include "tst_zonelink.moc"
