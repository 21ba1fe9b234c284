#include "ServiceHarness.h"

#include "TokenDigest.h"

#include <semtra/Rare.h>

#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

using Semtra::Command::Message;

constexpr int Zone = 7;
constexpr int SecondZone = 12;
constexpr QVariant::Type U = QVariant::UInt;
constexpr QVariant::Type S = QVariant::String;
constexpr QVariant::Type B = QVariant::ByteArray;

// Commands and results by code, as a workstation knows them.
enum : quint32 {
    SET_LOCAL = 4096, SET_STRAT, SET_ASTATE, SET_APSTATE, SET_DPROG, SET_DEFAULT,
    SET_ADEFAULT, SET_EVENT,
    GET_STATE = 4352, GET_REFER, GET_DPROG, GET_CONFIG, GET_CONFIG_HASH, GET_CONFIG_SIZE,
};
enum : quint32 {
    DONE = 4608, INV_STRAT = 4609, INV_AREA = 4611, INV_STATE = 4612, INV_PSTATE = 4614,
    INV_CONT = 4615, UNIDENT = 4617, INV_ARG_COUNT = 4620,
};

const QList<QVariant::Type> StateTypes{U, U, S};

QString dataFile(const char* name)
{
    return QStringLiteral(VELMORA_TEST_DATA "/service/") + QLatin1String(name);
}

QByteArray fileBytes(const char* name)
{
    QFile file(dataFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// GET_STATE as "cs strategy | areas-state string".
QString stateOf(TestClient& client, int zone = Zone)
{
    const Reply reply = client.call(zone, command(GET_STATE), StateTypes);
    if (reply.kind != Semtra::Command::Reply || reply.values.size() != 3)
        return QStringLiteral("no state");
    return QStringLiteral("%1 %2 | %3")
        .arg(reply.values.at(0).toUInt())
        .arg(reply.values.at(1).toUInt())
        .arg(reply.values.at(2).toString());
}

// Runs a request and returns the events it caused: a following GET_STATE
// reply proves that every earlier frame has arrived.
QStringList eventsOf(TestClient& client, const QByteArray& request, Reply* reply = nullptr)
{
    client.takeEvents(Zone);
    const Reply answer = client.call(Zone, request);
    if (reply)
        *reply = answer;
    stateOf(client);
    return client.takeEvents(Zone);
}

QDateTime stampOf(const Message& message)
{
    const QByteArray data = message.data.toByteArray();
    if (data.size() != 8)
        return {};
    const quint64 bits = qFromLittleEndian<quint64>(data.constData());
    double stamp;
    std::memcpy(&stamp, &bits, sizeof stamp);
    return Rare::doubleToDateTime(stamp);
}

const QString InitialState = QStringLiteral("1 1 | 3 1 1 0 4 2 1 0");

} // namespace

class TestService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void announcesEveryZone();
    void configHashIsTheFileDigest();
    void refer();
    void initialState();
    void commands_data();
    void commands();
    void requestsForOtherObjects_data();
    void requestsForOtherObjects();
    void eventMask_data();
    void eventMask();
    void configChunksReassemble();
    void dynamicProgramRoundTrip_data();
    void dynamicProgramRoundTrip();
    void garbageDropsOnlyThatClient_data();
    void garbageDropsOnlyThatClient();
    void splitAndVanishingFrames();
    void manyClients();

    void calendarAdvancesStrategy();
    void timeoutReverts_data();
    void timeoutReverts();
    void logsRequestsAndReplies();
    void badInput_data();
    void badInput();

private:
    // Starts a service and connects one client that has seen the announcements.
    bool startService(const QStringList& arguments);

    std::unique_ptr<ServiceProcess> m_service;
    std::unique_ptr<TestClient> m_client;
};

bool TestService::startService(const QStringList& arguments)
{
    m_service = std::make_unique<ServiceProcess>();
    if (!m_service->startWith(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments))
        return false;
    m_client = std::make_unique<TestClient>();
    if (!m_client->connectTo(m_service->port()))
        return false;
    return m_client->waitFor([](const Message& m) { return m.kind == Semtra::Command::Connected; });
}

void TestService::init()
{
    const QString test = QString::fromLatin1(QTest::currentTestFunction());
    // These start their own service with other options.
    if (test == QLatin1String("calendarAdvancesStrategy") || test.startsWith(QLatin1String("timeout"))
        || test == QLatin1String("logsRequestsAndReplies") || test == QLatin1String("badInput"))
        return;
    QVERIFY(startService({QStringLiteral("--quiet"), dataFile("zone.xtsc"), dataFile("second.xtsc")}));
}

void TestService::cleanup()
{
    m_client.reset();
    m_service.reset();
}

void TestService::announcesEveryZone()
{
    QVERIFY(m_client->waitFor([](const Message& m) { return m.objectId == SecondZone; }));
    QList<int> zones;
    for (const Message& m : qAsConst(m_client->frames)) {
        QCOMPARE(m.kind, int(Semtra::Command::Connected));
        QCOMPARE(m.tag, Semtra::VelmoraTag);
        const QDateTime stamp = stampOf(m);
        QVERIFY2(stamp.isValid(), "the data must be an 8-byte time stamp");
        // Without --start the service clock is the real one.
        QVERIFY(qAbs(stamp.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        zones << m.objectId;
    }
    QCOMPARE(zones, (QList<int>{Zone, SecondZone}));
}

void TestService::configHashIsTheFileDigest()
{
    for (const auto& [zone, file] : {std::make_pair(Zone, "zone.xtsc"), std::make_pair(SecondZone, "second.xtsc")}) {
        const Reply reply = m_client->call(zone, command(GET_CONFIG_HASH), {B});
        QCOMPARE(reply.kind, int(Semtra::Command::Reply));
        QCOMPARE(reply.result, 0u);
        QCOMPARE(reply.code, quint32(GET_CONFIG_HASH));
        QCOMPARE(reply.values.size(), 1);
        const QByteArray expected = Velmora::tokenDigest(fileBytes(file));
        QCOMPARE(expected.size(), 16);
        QCOMPARE(reply.values.at(0).toByteArray(), expected);
    }
}

void TestService::refer()
{
    const Reply reply = m_client->call(Zone, command(GET_REFER, {0u}), {S, U, S});
    QCOMPARE(reply.result, 0u);
    QCOMPARE(reply.values, (QVariantList{QStringLiteral("zone"), 7u, QStringLiteral("North")}));
}

void TestService::initialState()
{
    const Reply reply = m_client->call(Zone, command(GET_STATE), StateTypes);
    QCOMPARE(reply.result, 0u);
    QCOMPARE(reply.code, quint32(GET_STATE));
    QCOMPARE(reply.values.size(), 3);
    // Groups of "id cs state special" joined by single blanks, areas in file order.
    const QString areas = reply.values.at(2).toString();
    QCOMPARE(areas, areas.simplified());
    QCOMPARE(areas.split(QLatin1Char(' ')).size() % 4, 0);
    QCOMPARE(stateOf(*m_client), InitialState);
    // The second zone names no default, so its first strategy runs.
    QCOMPARE(stateOf(*m_client, SecondZone), QStringLiteral("1 5 | 1 0 10 0"));
}

void TestService::commands_data()
{
    QTest::addColumn<QList<QByteArray>>("before");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<quint32>("result");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("state");

    const QList<QByteArray> none;
    const QStringList noEvents;
    const QString initial = InitialState;

    QTest::newRow("SET_STRAT") << none << command(SET_STRAT, {3u, 0u}) << quint32(DONE)
                               << QStringList{"0:4", "1:3", "2:3,3", "2:4,3"}
                               << "4 3 | 3 3 1 0 4 3 1 0";
    QTest::newRow("SET_STRAT leaves areas out") << none << command(SET_STRAT, {2u, 0u}) << quint32(DONE)
                                                << QStringList{"0:4", "1:2", "2:4,0"}
                                                << "4 2 | 3 1 1 0 4 0 1 0";
    QTest::newRow("SET_STRAT current one") << none << command(SET_STRAT, {1u, 0u}) << quint32(DONE)
                                           << QStringList{"0:4"} << "4 1 | 3 1 1 0 4 2 1 0";
    QTest::newRow("SET_STRAT unknown") << none << command(SET_STRAT, {9u, 0u}) << quint32(INV_STRAT)
                                       << noEvents << initial;
    QTest::newRow("SET_ASTATE") << none << command(SET_ASTATE, {3u, 2u, 0u}) << quint32(DONE)
                                << QStringList{"2:3,4", "3:3,2,0"} << "1 1 | 3 4 2 0 4 2 1 0";
    QTest::newRow("SET_ASTATE unknown area") << none << command(SET_ASTATE, {99u, 1u, 0u})
                                             << quint32(INV_AREA) << noEvents << initial;
    QTest::newRow("SET_ASTATE unknown state") << none << command(SET_ASTATE, {3u, 9u, 0u})
                                              << quint32(INV_STATE) << noEvents << initial;
    QTest::newRow("SET_ASTATE another area's state") << none << command(SET_ASTATE, {4u, 3u, 0u})
                                                     << quint32(INV_STATE) << noEvents << initial;
    QTest::newRow("SET_APSTATE") << none << command(SET_APSTATE, {4u, 2u, 0u}) << quint32(DONE)
                                 << QStringList{"2:4,4", "3:4,1,2"} << "1 1 | 3 1 1 0 4 4 1 2";
    QTest::newRow("SET_APSTATE 4") << none << command(SET_APSTATE, {4u, 4u, 0u}) << quint32(INV_PSTATE)
                                   << noEvents << initial;
    QTest::newRow("SET_APSTATE unknown area") << none << command(SET_APSTATE, {5u, 1u, 0u})
                                              << quint32(INV_AREA) << noEvents << initial;
    QTest::newRow("SET_LOCAL") << none << command(SET_LOCAL, {0u}) << quint32(DONE) << QStringList{"0:3"}
                               << "3 1 | 3 1 1 0 4 2 1 0";
    QTest::newRow("SET_STRAT after SET_LOCAL") << QList<QByteArray>{command(SET_LOCAL, {0u})}
                                               << command(SET_STRAT, {1u, 0u}) << quint32(DONE)
                                               << QStringList{"0:4"} << "4 1 | 3 1 1 0 4 2 1 0";
    QTest::newRow("SET_DEFAULT unchanged") << none << command(SET_DEFAULT) << quint32(DONE) << noEvents
                                           << initial;
    QTest::newRow("SET_DEFAULT after SET_STRAT") << QList<QByteArray>{command(SET_STRAT, {3u, 0u})}
                                                 << command(SET_DEFAULT) << quint32(DONE)
                                                 << QStringList{"0:1", "1:1", "2:3,1", "2:4,2"} << initial;
    QTest::newRow("SET_ADEFAULT after SET_ASTATE") << QList<QByteArray>{command(SET_ASTATE, {3u, 3u, 0u})}
                                                   << command(SET_ADEFAULT, {3u}) << quint32(DONE)
                                                   << QStringList{"2:3,1", "3:3,1,0"} << initial;
    QTest::newRow("SET_ADEFAULT unknown area") << none << command(SET_ADEFAULT, {8u}) << quint32(INV_AREA)
                                               << noEvents << initial;
    QTest::newRow("SET_STRAT ends an area command") << QList<QByteArray>{command(SET_APSTATE, {4u, 3u, 0u})}
                                                    << command(SET_STRAT, {2u, 0u}) << quint32(DONE)
                                                    << QStringList{"0:4", "1:2", "2:4,0", "3:4,1,0"}
                                                    << "4 2 | 3 1 1 0 4 0 1 0";
    QTest::newRow("SET_EVENT") << none << command(SET_EVENT, {255u}) << quint32(DONE) << noEvents << initial;
    QTest::newRow("SET_DPROG unknown controller") << none << command(SET_DPROG, {999u, 0u, QByteArray("p")})
                                                  << quint32(INV_CONT) << noEvents << initial;

    QTest::newRow("unknown code") << none << command(9999) << quint32(UNIDENT) << noEvents << initial;
    QTest::newRow("code after SET_EVENT") << none << command(4104, {1u}) << quint32(UNIDENT) << noEvents
                                          << initial;
    QTest::newRow("no room for a code") << none << QByteArray("\x01\x10", 2) << quint32(UNIDENT) << noEvents
                                        << initial;
    QTest::newRow("one value short") << none << command(SET_STRAT, {3u}) << quint32(INV_ARG_COUNT) << noEvents
                                     << initial;
    QTest::newRow("bytes left over") << none << command(SET_STRAT, {3u, 0u}) + "xy" << quint32(INV_ARG_COUNT)
                                     << noEvents << initial;
    QTest::newRow("a value for GET_STATE") << none << command(GET_STATE, {0u}) << quint32(INV_ARG_COUNT)
                                           << noEvents << initial;
    QTest::newRow("content longer than the data")
        << none << command(SET_DPROG, {101u, 0u}) + QByteArray::fromHex("64000000") + "abc"
        << quint32(INV_ARG_COUNT) << noEvents << initial;
}

void TestService::commands()
{
    QFETCH(QList<QByteArray>, before);
    QFETCH(QByteArray, request);
    QFETCH(quint32, result);
    QFETCH(QStringList, events);
    QFETCH(QString, state);

    for (const QByteArray& earlier : before)
        QCOMPARE(m_client->call(Zone, earlier).result, quint32(DONE));
    Reply reply;
    QCOMPARE(eventsOf(*m_client, request, &reply), events);
    QCOMPARE(reply.kind, int(Semtra::Command::Reply));
    QCOMPARE(reply.result, result);
    // The reply names the command it answers; a request without code gives 0.
    const quint32 code = request.size() >= 4 ? qFromLittleEndian<quint32>(request.constData()) : 0u;
    QCOMPARE(reply.code, code);
    QCOMPARE(stateOf(*m_client), state);
}

void TestService::requestsForOtherObjects_data()
{
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("kind");

    QTest::newRow("zone not served") << 999 << Semtra::VelmoraTag << 7;
    QTest::newRow("other protocol") << Zone << 0x12345678 << 6;
}

void TestService::requestsForOtherObjects()
{
    QFETCH(int, zone);
    QFETCH(int, tag);
    QFETCH(int, kind);

    const int number = m_client->send(zone, command(GET_STATE), tag);
    QVERIFY(m_client->waitFor([&](const Message& m) { return m.number == number; }));
    const auto it = std::find_if(m_client->frames.cbegin(), m_client->frames.cend(),
                                 [&](const Message& m) { return m.number == number; });
    QCOMPARE(it->kind, kind);
    QCOMPARE(it->objectId, zone);
    QVERIFY(it->data.toByteArray().isEmpty());
    // The connection stays usable.
    QCOMPARE(stateOf(*m_client), InitialState);
}

void TestService::eventMask_data()
{
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<QStringList>("events");

    const QStringList all{"0:4", "1:3", "2:3,3", "2:4,3"};
    QTest::newRow("all") << 0xFFu << all;
    QTest::newRow("none") << 0u << QStringList{};
    QTest::newRow("strategy only") << 0x02u << QStringList{"1:3"};
    QTest::newRow("area control sources") << 0x04u << QStringList{"2:3,3", "2:4,3"};
    QTest::newRow("zone control source") << 0x01u << QStringList{"0:4"};
    QTest::newRow("higher bits do not matter") << 0xFFFFFF02u << QStringList{"1:3"};
}

void TestService::eventMask()
{
    QFETCH(quint32, mask);
    QFETCH(QStringList, events);

    TestClient other;
    QVERIFY(other.connectTo(m_service->port()));
    QCOMPARE(m_client->call(Zone, command(SET_EVENT, {mask})).result, quint32(DONE));
    // The mask of one zone leaves the other zone's events alone.
    QCOMPARE(m_client->call(SecondZone, command(SET_EVENT, {0u})).result, quint32(DONE));

    QCOMPARE(eventsOf(*m_client, command(SET_STRAT, {3u, 0u})), events);
    stateOf(other);
    QCOMPARE(other.takeEvents(Zone), (QStringList{"0:4", "1:3", "2:3,3", "2:4,3"}));

    m_client->takeEvents(SecondZone);
    QCOMPARE(m_client->call(SecondZone, command(SET_STRAT, {6u, 0u})).result, quint32(DONE));
    stateOf(*m_client, SecondZone);
    QVERIFY(m_client->takeEvents(SecondZone).isEmpty());
}

void TestService::configChunksReassemble()
{
    const QByteArray expected = fileBytes("zone.xtsc").toBase64();
    const Reply size = m_client->call(Zone, command(GET_CONFIG_SIZE), {U});
    QCOMPARE(size.result, 0u);
    QCOMPARE(size.values.value(0).toUInt(), uint(expected.size()));
    QVERIFY2(expected.size() > 4096, "the fixture must need more than one chunk");

    QByteArray text;
    int chunks = 0;
    for (;;) {
        const Reply chunk = m_client->call(Zone, command(GET_CONFIG, {uint(text.size())}), {B});
        QCOMPARE(chunk.result, 0u);
        QCOMPARE(chunk.values.size(), 1);
        const QByteArray bytes = chunk.values.at(0).toByteArray();
        QVERIFY(bytes.size() <= 4096);
        if (bytes.isEmpty())
            break;
        text += bytes;
        QVERIFY(++chunks < 10);
    }
    QCOMPARE(text, expected);
    QCOMPARE(chunks, 2);

    const Reply middle = m_client->call(Zone, command(GET_CONFIG, {100u}), {B});
    QCOMPARE(middle.values.value(0).toByteArray(), expected.mid(100, 4096));
    const Reply beyond = m_client->call(Zone, command(GET_CONFIG, {uint(expected.size() + 100)}), {B});
    QCOMPARE(beyond.values, (QVariantList{QByteArray()}));
}

void TestService::dynamicProgramRoundTrip_data()
{
    QTest::addColumn<uint>("controller");
    QTest::addColumn<QByteArray>("content");

    QByteArray large(10000, '\0');
    for (int i = 0; i < large.size(); ++i)
        large[i] = char(i * 7);
    QTest::newRow("area controller") << 101u << QByteArray("phase 1 20; phase 2 35");
    QTest::newRow("zone-listed controller") << 106u << large;
    QTest::newRow("empty program") << 103u << QByteArray();
}

void TestService::dynamicProgramRoundTrip()
{
    QFETCH(uint, controller);
    QFETCH(QByteArray, content);

    const Reply before = m_client->call(Zone, command(GET_DPROG, {controller}), {U, B});
    QCOMPARE(before.result, 0u);
    QCOMPARE(before.values, (QVariantList{controller, QByteArray()}));

    QCOMPARE(m_client->call(Zone, command(SET_DPROG, {controller, 0u, content})).result, quint32(DONE));
    const Reply after = m_client->call(Zone, command(GET_DPROG, {controller}), {U, B});
    QCOMPARE(after.result, 0u);
    QCOMPARE(after.code, quint32(GET_DPROG));
    QCOMPARE(after.values, (QVariantList{controller, content}));
    // Programs belong to their zone.
    QCOMPARE(m_client->call(SecondZone, command(GET_DPROG, {controller})).result, quint32(INV_CONT));
}

void TestService::garbageDropsOnlyThatClient_data()
{
    QTest::addColumn<QByteArray>("garbage");

    QTest::newRow("length below a header") << QByteArray::fromHex("03000000aabbcc");
    QTest::newRow("length above the limit") << QByteArray::fromHex("ffffff7f00000000");
    QTest::newRow("text") << QByteArray("GET / HTTP/1.0\r\n\r\n");
    QTest::newRow("good frame, then garbage")
        << Semtra::Wire::encodeFrame({1, Zone, Semtra::Command::Request, Semtra::VelmoraTag,
                                      command(GET_STATE)})
               + QByteArray::fromHex("0000000000");
}

void TestService::garbageDropsOnlyThatClient()
{
    QFETCH(QByteArray, garbage);

    TestClient bad;
    QVERIFY(bad.connectTo(m_service->port()));
    bad.sendRaw(garbage);
    QVERIFY(bad.waitDisconnected());

    QCOMPARE(stateOf(*m_client), InitialState);
    TestClient late;
    QVERIFY(late.connectTo(m_service->port()));
    QCOMPARE(stateOf(late), InitialState);
}

void TestService::splitAndVanishingFrames()
{
    // A frame arriving byte by byte is still one request.
    const QByteArray frame = Semtra::Wire::encodeFrame(
        {41, Zone, Semtra::Command::Request, Semtra::VelmoraTag, command(SET_STRAT, {2u, 0u})});
    for (char byte : frame) {
        m_client->sendRaw(QByteArray(1, byte));
        QTest::qWait(1);
    }
    QCOMPARE(m_client->waitReply(41).result, quint32(DONE));

    // Clients that leave halfway through a frame take nothing with them.
    for (int i = 0; i < 5; ++i) {
        QTcpSocket gone;
        gone.connectToHost(QHostAddress::LocalHost, m_service->port());
        QVERIFY(gone.waitForConnected(5000));
        gone.write(frame.left(3 + i * 4));
        gone.waitForBytesWritten(1000);
        gone.abort();
    }
    QCOMPARE(stateOf(*m_client), QStringLiteral("4 2 | 3 1 1 0 4 0 1 0"));
}

void TestService::manyClients()
{
    constexpr int Count = 25;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < Count; ++i) {
        clients.push_back(std::make_unique<TestClient>());
        QVERIFY(clients.back()->connectTo(m_service->port()));
    }
    // Everyone asks at once; each gets its own answers.
    QVector<int> numbers;
    for (auto& client : clients) {
        client->send(Zone, command(GET_CONFIG_HASH));
        numbers << client->send(Zone, command(GET_STATE));
    }
    for (int i = 0; i < Count; ++i)
        QCOMPARE(clients[i]->waitReply(numbers[i], StateTypes).values.value(1).toUInt(), 1u);

    QCOMPARE(m_client->call(Zone, command(SET_STRAT, {2u, 0u})).result, quint32(DONE));
    for (auto& client : clients) {
        QVERIFY(client->waitFor([](const Message& m) { return m.kind == Semtra::Command::Event; }));
        stateOf(*client);
        QCOMPARE(client->takeEvents(Zone), (QStringList{"0:4", "1:2", "2:4,0"}));
    }
}

void TestService::calendarAdvancesStrategy()
{
    // Monday 21:58 at 120 times real speed: the 22:00 entries start after a second.
    QVERIFY(startService({QStringLiteral("--quiet"), QStringLiteral("--calendar"),
                          QStringLiteral("--start"), QStringLiteral("2027-05-03T21:58"),
                          QStringLiteral("--speed"), QStringLiteral("120"), dataFile("zone.xtsc")}));
    const QDateTime announced = stampOf(m_client->frames.first());
    QCOMPARE(announced.toLocalTime().date(), QDate(2027, 5, 3));
    QCOMPARE(announced.toLocalTime().time().hour(), 21);
    // The area calendar has Off-peak (3) from 10:00.
    QCOMPARE(stateOf(*m_client), QStringLiteral("1 1 | 3 1 3 0 4 2 1 0"));

    QVERIFY(m_client->waitFor([](const Message& m) { return m.kind == Semtra::Command::Event; }, 10000));
    stateOf(*m_client);
    QCOMPARE(m_client->takeEvents(Zone), (QStringList{"1:2", "3:3,2,0", "2:4,0"}));
    QCOMPARE(stateOf(*m_client), QStringLiteral("1 2 | 3 1 2 0 4 0 1 0"));
}

void TestService::timeoutReverts_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QStringList>("applied");
    QTest::addColumn<QStringList>("reverted");

    // Monday noon: Day strategy, area 3 Off-peak by its calendar.
    QTest::newRow("SET_STRAT") << command(SET_STRAT, {3u, 60u})
                               << QStringList{"0:4", "1:3", "2:3,3", "2:4,3"}
                               << QStringList{"0:1", "1:1", "2:3,1", "2:4,2"};
    QTest::newRow("SET_LOCAL") << command(SET_LOCAL, {60u}) << QStringList{"0:3"} << QStringList{"0:1"};
    QTest::newRow("SET_ASTATE") << command(SET_ASTATE, {3u, 1u, 60u}) << QStringList{"2:3,4", "3:3,1,0"}
                                << QStringList{"2:3,1", "3:3,3,0"};
    QTest::newRow("SET_APSTATE") << command(SET_APSTATE, {4u, 3u, 60u}) << QStringList{"2:4,4", "3:4,1,3"}
                                 << QStringList{"2:4,2", "3:4,1,0"};
}

void TestService::timeoutReverts()
{
    QFETCH(QByteArray, request);
    QFETCH(QStringList, applied);
    QFETCH(QStringList, reverted);

    // A minute of service time passes in a second.
    QVERIFY(startService({QStringLiteral("--quiet"), QStringLiteral("--calendar"),
                          QStringLiteral("--start"), QStringLiteral("2027-05-03T12:00"),
                          QStringLiteral("--speed"), QStringLiteral("60"), dataFile("zone.xtsc")}));
    QCOMPARE(stateOf(*m_client), QStringLiteral("1 1 | 3 1 3 0 4 2 1 0"));
    QCOMPARE(eventsOf(*m_client, request), applied);
    QVERIFY(m_client->waitFor([](const Message& m) { return m.kind == Semtra::Command::Event; }, 10000));
    stateOf(*m_client);
    QCOMPARE(m_client->takeEvents(Zone), reverted);
    QCOMPARE(stateOf(*m_client), QStringLiteral("1 1 | 3 1 3 0 4 2 1 0"));
}

void TestService::logsRequestsAndReplies()
{
    QVERIFY(startService({dataFile("zone.xtsc")}));
    QCOMPARE(m_client->call(Zone, command(SET_STRAT, {3u, 0u})).result, quint32(DONE));
    QCOMPARE(m_client->call(Zone, command(SET_ASTATE, {99u, 1u, 0u})).result, quint32(INV_AREA));
    m_service->stop();
    const QStringList lines = m_service->errors().split(QLatin1Char('\n'));
    auto has = [&](const QString& pattern) {
        const QRegularExpression re(pattern);
        return std::any_of(lines.cbegin(), lines.cend(),
                           [&](const QString& line) { return re.match(line).hasMatch(); });
    };
    QVERIFY(has(QStringLiteral("client 1 #1 zone 7 -> SET_STRAT\\(3, 0\\)")));
    QVERIFY(has(QStringLiteral("client 1 #1 zone 7 <- SET_STRAT result 4608 >OK")));
    QVERIFY(has(QStringLiteral("client 1 #2 zone 7 <- SET_ASTATE result 4611 >INV_AREA")));
    QVERIFY(has(QStringLiteral("zone 7 event 1 \\[3\\]")));
}

void TestService::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("area without id") << QStringList{dataFile("missing-id.xtsc")} << "missing attribute id";
    QTest::newRow("not XML") << QStringList{dataFile("not-xml.xtsc")} << "not-xml.xtsc:4:";
    QTest::newRow("no such file") << QStringList{dataFile("absent.xtsc")} << "cannot open";
    QTest::newRow("zone twice") << QStringList{dataFile("zone.xtsc"), dataFile("zone.xtsc")}
                                << "zone 7 is already served";
    QTest::newRow("speed 0") << QStringList{"--speed", "0", dataFile("zone.xtsc")} << "invalid speed";
    QTest::newRow("bad start") << QStringList{"--start", "03.05.2027", dataFile("zone.xtsc")}
                               << "invalid start";
}

void TestService::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    ServiceProcess service;
    QVERIFY(!service.startWith(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments));
    QCOMPARE(service.waitExit(), 1);
    QVERIFY2(service.errors().contains(message), qPrintable(message));
}

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
