#include "Velmora/format/Protocol.h"
#include "ServiceHarness.h"

#include "Velmora/format/TokenDigest.h"

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

// Waits for the next event, then takes every event up to a GET_STATE reply.
QStringList nextEvents(TestClient& client, int ms = 5000)
{
    if (!client.waitFor([](const Message& m) { return m.kind == Semtra::Command::Event; }, ms))
        return {QStringLiteral("no event")};
    stateOf(client);
    return client.takeEvents(Zone);
}

QDateTime stampOf(const Message& message)
{
    const QByteArray data = message.data.toByteArray();
    const quint64 bits = data.size() == 8 ? qFromLittleEndian<quint64>(data.constData()) : 0;
    double stamp;
    std::memcpy(&stamp, &bits, sizeof stamp);
    return data.size() == 8 ? Rare::doubleToDateTime(stamp) : QDateTime();
}

const QString InitialState = QStringLiteral("1 1 | 3 1 1 0 4 2 1 0");

} // namespace

Q_DECLARE_METATYPE(QList<QVariant::Type>)

class TestService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void announcesEveryZone();
    void queries_data();
    void queries();
    void commands_data();
    void commands();
    void eventMask_data();
    void eventMask();
    void configChunksReassemble();
    void brokenFrames_data();
    void brokenFrames();
    void manyClients();
    void greedyClient_data();
    void greedyClient();

    void clock_data();
    void clock();
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
    // These start their own service with other options.
    static const QStringList own{"clock", "logsRequestsAndReplies", "badInput"};
    const QString test = QLatin1String(QTest::currentTestFunction());
    // Greedy clients meet small limits, so that a flood of a few megabytes
    // shows what the defaults do with a hundred.
    const QStringList limits = test == QLatin1String("greedyClient")
        ? QStringList{QStringLiteral("--client-limits"), QStringLiteral("256,2048,500")}
        : QStringList();
    if (!own.contains(test))
        QVERIFY(startService(QStringList{QStringLiteral("--quiet"), dataFile("zone.xtsc"), dataFile("second.xtsc")}
                             + limits));
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
        QCOMPARE(m.tag, Velmora::Protocol::Tag);
        // An 8-byte time stamp; without --start the service clock is the real one.
        const QDateTime stamp = stampOf(m);
        QVERIFY(stamp.isValid() && qAbs(stamp.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        zones << m.objectId;
    }
    QCOMPARE(zones, (QList<int>{Zone, SecondZone}));
}

void TestService::queries_data()
{
    QTest::addColumn<QByteArray>("before"); // sent to the first zone first
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<QVariant::Type>>("types");
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint32>("result");
    QTest::addColumn<QVariantList>("values");

    auto ask = [](const char* name, int zone, const QByteArray& request, const QList<QVariant::Type>& types,
                  const QVariantList& values, const QByteArray& before = {}, quint32 result = 0) {
        QTest::newRow(name) << before << zone << int(Velmora::Protocol::Tag) << request << types
                            << int(Semtra::Command::Reply) << result << values;
    };
    const QByteArray config = fileBytes("zone.xtsc").toBase64();
    QByteArray program(10000, '\0');
    for (int i = 0; i < program.size(); ++i)
        program[i] = char(i * 7);

    ask("hash", Zone, command(GET_CONFIG_HASH), {B}, {Velmora::tokenDigest(fileBytes("zone.xtsc"))});
    ask("hash of the second zone", SecondZone, command(GET_CONFIG_HASH), {B},
        {Velmora::tokenDigest(fileBytes("second.xtsc"))});
    ask("refer", Zone, command(GET_REFER, {0u}), {S, U, S}, {"zone", 7u, "North"});
    // Groups of "id cs state special", areas in file order.
    ask("state", Zone, command(GET_STATE), StateTypes, {1u, 1u, "3 1 1 0 4 2 1 0"});
    // The second zone names no default, so its first strategy runs.
    ask("state of the second zone", SecondZone, command(GET_STATE), StateTypes, {1u, 5u, "1 0 10 0"});
    ask("config size", Zone, command(GET_CONFIG_SIZE), {U}, {uint(config.size())});
    ask("no program yet", Zone, command(GET_DPROG, {101u}), {U, B}, {101u, QByteArray()});
    ask("program of a zone-listed controller", Zone, command(GET_DPROG, {106u}), {U, B}, {106u, program},
        command(SET_DPROG, {106u, 0u, program}));
    ask("empty program of an area-listed controller", Zone, command(GET_DPROG, {103u}), {U, B},
        {103u, QByteArray()}, command(SET_DPROG, {103u, 0u, QByteArray()}));
    // Programs belong to their zone.
    ask("program of another zone", SecondZone, command(GET_DPROG, {106u}), {U, B}, {},
        command(SET_DPROG, {106u, 0u, QByteArray("p")}), INV_CONT);
    // Not ours to answer: an empty frame of that kind.
    QTest::newRow("zone not served") << QByteArray() << 999 << int(Velmora::Protocol::Tag) << command(GET_STATE)
                                     << StateTypes << 7 << 0u << QVariantList();
    QTest::newRow("other protocol") << QByteArray() << Zone << 0x12345678 << command(GET_STATE) << StateTypes << 6
                                    << 0u << QVariantList();
}

void TestService::queries()
{
    QFETCH(QByteArray, before);
    QFETCH(int, zone);
    QFETCH(int, tag);
    QFETCH(QByteArray, request);
    QFETCH(QList<QVariant::Type>, types);
    QFETCH(int, kind);
    QFETCH(quint32, result);
    QFETCH(QVariantList, values);

    if (!before.isEmpty())
        QCOMPARE(m_client->call(Zone, before).result, quint32(DONE));
    const Reply reply = m_client->waitReply(m_client->send(zone, request, tag), types);
    QCOMPARE(reply.kind, kind);
    QCOMPARE(reply.objectId, zone);
    QCOMPARE(reply.size == 0, kind != Semtra::Command::Reply);
    QCOMPARE(reply.result, result);
    if (kind == Semtra::Command::Reply)
        QCOMPARE(reply.code, qFromLittleEndian<quint32>(request.constData()));
    QCOMPARE(reply.values, values);
    // The connection stays usable, the zone as it was.
    QCOMPARE(stateOf(*m_client), InitialState);
}

void TestService::commands_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<quint32>("result");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("state");

    auto done = [](const char* name, const QByteArray& before, const QByteArray& request, const QStringList& events,
                   const QString& state) {
        QTest::newRow(name) << before << request << quint32(DONE) << events << state;
    };
    // Refused: no events, nothing changed.
    auto refused = [](const char* name, const QByteArray& request, quint32 result) {
        QTest::newRow(name) << QByteArray() << request << result << QStringList() << InitialState;
    };

    done("SET_STRAT", {}, command(SET_STRAT, {3u, 0u}), {"0:4", "1:3", "2:3,3", "2:4,3"}, "4 3 | 3 3 1 0 4 3 1 0");
    done("SET_STRAT current one", {}, command(SET_STRAT, {1u, 0u}), {"0:4"}, "4 1 | 3 1 1 0 4 2 1 0");
    done("SET_ASTATE", {}, command(SET_ASTATE, {3u, 2u, 0u}), {"2:3,4", "3:3,2,0"}, "1 1 | 3 4 2 0 4 2 1 0");
    done("SET_APSTATE", {}, command(SET_APSTATE, {4u, 2u, 0u}), {"2:4,4", "3:4,1,2"}, "1 1 | 3 1 1 0 4 4 1 2");
    done("SET_LOCAL", {}, command(SET_LOCAL, {0u}), {"0:3"}, "3 1 | 3 1 1 0 4 2 1 0");
    done("SET_DEFAULT unchanged", {}, command(SET_DEFAULT), {}, InitialState);
    done("SET_DEFAULT after SET_STRAT", command(SET_STRAT, {3u, 0u}), command(SET_DEFAULT),
         {"0:1", "1:1", "2:3,1", "2:4,2"}, InitialState);
    done("SET_ADEFAULT after SET_ASTATE", command(SET_ASTATE, {3u, 3u, 0u}), command(SET_ADEFAULT, {3u}),
         {"2:3,1", "3:3,1,0"}, InitialState);
    done("SET_STRAT ends an area command", command(SET_APSTATE, {4u, 3u, 0u}), command(SET_STRAT, {2u, 0u}),
         {"0:4", "1:2", "2:4,0", "3:4,1,0"}, "4 2 | 3 1 1 0 4 0 1 0");

    refused("SET_STRAT unknown", command(SET_STRAT, {9u, 0u}), INV_STRAT);
    refused("SET_ASTATE unknown area", command(SET_ASTATE, {99u, 1u, 0u}), INV_AREA);
    refused("SET_ASTATE another area's state", command(SET_ASTATE, {4u, 3u, 0u}), INV_STATE);
    refused("SET_APSTATE 4", command(SET_APSTATE, {4u, 4u, 0u}), INV_PSTATE);
    refused("SET_APSTATE unknown area", command(SET_APSTATE, {5u, 1u, 0u}), INV_AREA);
    refused("SET_ADEFAULT unknown area", command(SET_ADEFAULT, {8u}), INV_AREA);
    refused("SET_DPROG unknown controller", command(SET_DPROG, {999u, 0u, QByteArray("p")}), INV_CONT);
    refused("code after SET_EVENT", command(4104, {1u}), UNIDENT);
    refused("no room for a code", QByteArray("\x01\x10", 2), UNIDENT);
    refused("one value short", command(SET_STRAT, {3u}), INV_ARG_COUNT);
    refused("bytes left over", command(SET_STRAT, {3u, 0u}) + "xy", INV_ARG_COUNT);
    refused("content longer than the data",
            command(SET_DPROG, {101u, 0u}) + QByteArray::fromHex("64000000") + "abc", INV_ARG_COUNT);
}

void TestService::commands()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, request);
    QFETCH(quint32, result);
    QFETCH(QStringList, events);
    QFETCH(QString, state);

    if (!before.isEmpty())
        QCOMPARE(m_client->call(Zone, before).result, quint32(DONE));
    Reply reply;
    QCOMPARE(eventsOf(*m_client, request, &reply), events);
    QCOMPARE(reply.kind, int(Semtra::Command::Reply));
    QCOMPARE(reply.result, result);
    // The reply names the command it answers; a request without code gives 0.
    const quint32 code = request.size() >= 4 ? qFromLittleEndian<quint32>(request.constData()) : 0u;
    QCOMPARE(reply.code, code);
    QCOMPARE(stateOf(*m_client), state);
}

void TestService::eventMask_data()
{
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("none") << 0u << QStringList{};
    QTest::newRow("zone control source") << 0x01u << QStringList{"0:4"};
    QTest::newRow("strategy only") << 0x02u << QStringList{"1:3"};
    QTest::newRow("area control sources") << 0x04u << QStringList{"2:3,3", "2:4,3"};
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
    QCOMPARE(nextEvents(other), (QStringList{"0:4", "1:3", "2:3,3", "2:4,3"}));

    m_client->takeEvents(SecondZone);
    QCOMPARE(m_client->call(SecondZone, command(SET_STRAT, {6u, 0u})).result, quint32(DONE));
    stateOf(*m_client, SecondZone);
    QVERIFY(m_client->takeEvents(SecondZone).isEmpty());
}

// Chunks from each offset, up to the empty one past the end, give the text.
void TestService::configChunksReassemble()
{
    QByteArray text;
    for (int chunks = 0; chunks < 10; ++chunks) {
        const Reply chunk = m_client->call(Zone, command(GET_CONFIG, {uint(text.size())}), {B});
        QCOMPARE(chunk.values.size(), 1);
        const QByteArray bytes = chunk.values.at(0).toByteArray();
        QVERIFY(bytes.size() <= 4096);
        if (bytes.isEmpty())
            break;
        text += bytes;
    }
    QCOMPARE(text, fileBytes("zone.xtsc").toBase64());
    QVERIFY2(text.size() > 4096, "the fixture must need more than one chunk");
}

void TestService::brokenFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("how"); // 0: garbage, 1: the client leaves after them, 2: sent byte by byte

    auto frame = [](const QByteArray& data) {
        return Semtra::Wire::encodeFrame({41, Zone, Semtra::Command::Request, Velmora::Protocol::Tag, data});
    };
    QTest::newRow("length below a header") << QByteArray::fromHex("03000000aabbcc") << 0;
    QTest::newRow("text, read as a length above the limit") << QByteArray("GET / HTTP/1.0\r\n\r\n") << 0;
    QTest::newRow("good frame, then garbage") << frame(command(GET_STATE)) + QByteArray::fromHex("0000000000") << 0;
    // A command that would show if it ran; cut in the length, the head and the data.
    for (int cut : {3, 11, 31})
        QTest::addRow("%d bytes of a frame, then gone", cut) << frame(command(SET_STRAT, {2u, 0u})).left(cut) << 1;
    QTest::newRow("byte by byte") << frame(command(GET_STATE)) << 2;
}

void TestService::brokenFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, how);

    auto client = std::make_unique<TestClient>();
    QVERIFY(client->connectTo(m_service->port()));
    if (how == 2) {
        for (char byte : bytes) {
            client->sendRaw(QByteArray(1, byte));
            QTest::qWait(1);
        }
        QCOMPARE(client->waitReply(41).kind, int(Semtra::Command::Reply));
    } else {
        client->sendRaw(bytes);
        if (how == 0)
            QVERIFY(client->waitDisconnected()); // that client only
        else
            client.reset();
    }

    QCOMPARE(stateOf(*m_client), InitialState);
    TestClient late;
    QVERIFY(late.connectTo(m_service->port()));
    QCOMPARE(stateOf(late), InitialState);
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
    for (auto& client : clients)
        QCOMPARE(nextEvents(*client), (QStringList{"0:4", "1:2", "2:4,0"}));
}

void TestService::greedyClient_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("count"); // sent in one go
    QTest::addColumn<int>("readAfter"); // ms; -1: never
    QTest::addColumn<QByteArray>("more"); // sent on and on while the client does not read
    QTest::addColumn<bool>("dropped");
    // How much the service's resident size may grow, -1: not measured. Under
    // AddressSanitizer freed memory stays resident for a while, so only a
    // flood that the service stops handling early can be measured this way.
    QTest::addColumn<int>("growthMiB");

    // The service runs with 256 KiB to pause, 2 MiB to drop, 500 ms to drain.
    // 6 MB of replies, more than a client may leave unsent: the service waits
    // for the client to read instead of piling them up.
    QTest::newRow("large replies, read late")
        << command(GET_CONFIG, {0u}) << 1500 << 200 << command(GET_CONFIG, {0u}) << false << -1;
    // 40 MB of replies nobody reads, and 1 MB programs sent as fast as the
    // service takes them: they must stay with the client.
    QTest::newRow("large replies, never read")
        << command(GET_CONFIG, {0u}) << 10000 << -1 << command(SET_DPROG, {106u, 0u, QByteArray(1 << 20, 'p')})
        << true << 150;
}

void TestService::greedyClient()
{
    QFETCH(QByteArray, request);
    QFETCH(int, count);
    QFETCH(int, readAfter);
    QFETCH(QByteArray, more);
    QFETCH(bool, dropped);
    QFETCH(int, growthMiB);

    const qint64 service = childProcess(ServiceProcess::program());
    QVERIFY(service > 0);
    const qint64 before = residentKiB(service);

    TestClient greedy;
    QVERIFY(greedy.connectTo(m_service->port()));
    QVERIFY(greedy.waitFor([](const Message& m) { return m.objectId == SecondZone; }));
    const int announced = greedy.frames.size();
    greedy.setReading(false);
    int last = greedy.sendBurst(Zone, request, count);

    // The other client asks throughout and must not wait for the greedy one.
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 slowest = 0;
    qint64 peak = before;
    auto settled = [&] {
        return dropped ? !greedy.isConnected() : greedy.frames.size() >= announced + last;
    };
    while (!settled() && elapsed.elapsed() < 15000) {
        const bool reading = readAfter >= 0 && elapsed.elapsed() >= readAfter;
        greedy.setReading(reading);
        // Sending on also shows the greedy client when the service hangs up.
        if (!reading && greedy.isConnected() && greedy.unsent() < (16 << 20))
            last = greedy.send(Zone, more);
        QElapsedTimer asked;
        asked.start();
        QCOMPARE(m_client->call(Zone, command(GET_STATE), StateTypes).kind, int(Semtra::Command::Reply));
        slowest = qMax(slowest, asked.elapsed());
        peak = qMax(peak, residentKiB(service));
        QTest::qWait(50);
    }
    QVERIFY2(slowest < 1500, qPrintable(QStringLiteral("a reply took %1 ms").arg(slowest)));
    if (growthMiB >= 0)
        QVERIFY2(peak - before < growthMiB * 1024,
                 qPrintable(QStringLiteral("the service grew by %1 MiB").arg((peak - before) / 1024)));
    QCOMPARE(greedy.isConnected(), !dropped);
    if (!dropped) {
        // Every request answered once, in order.
        QCOMPARE(greedy.frames.size(), announced + last);
        for (int i = 0; i < last; ++i)
            QCOMPARE(greedy.frames.at(announced + i).number, i + 1);
    }
    QCOMPARE(stateOf(*m_client), InitialState);
}

void TestService::clock_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QStringList>("applied");
    QTest::addColumn<QStringList>("later");
    QTest::addColumn<QString>("state");

    // Monday. At 21:58 the 22:00 entries start a second later; a minute at
    // speed 60 is a second too. The area calendar has Off-peak (3) from 10:00.
    const QString start = QStringLiteral("2027-05-03T%1");
    QTest::newRow("calendar advances the strategy")
        << start.arg("21:58") << "120" << QByteArray() << QStringList()
        << QStringList{"1:2", "3:3,2,0", "2:4,0"} << "1 2 | 3 1 2 0 4 0 1 0";
    // Counted in service seconds: at speed 60 a minute's hold ends within a second.
    QTest::newRow("command times out")
        << start.arg("12:00") << "60" << command(SET_STRAT, {3u, 60u}) << QStringList{"0:4", "1:3", "2:3,3", "2:4,3"}
        << QStringList{"0:1", "1:1", "2:3,1", "2:4,2"} << "1 1 | 3 1 3 0 4 2 1 0";
}

void TestService::clock()
{
    QFETCH(QString, start);
    QFETCH(QString, speed);
    QFETCH(QByteArray, request);
    QFETCH(QStringList, applied);
    QFETCH(QStringList, later);
    QFETCH(QString, state);

    QVERIFY(startService({QStringLiteral("--quiet"), QStringLiteral("--calendar"), QStringLiteral("--start"), start,
                          QStringLiteral("--speed"), speed, dataFile("zone.xtsc")}));
    const QDateTime announced = stampOf(m_client->frames.first()).toLocalTime();
    QCOMPARE(announced.toString(Qt::ISODate).left(13), start.left(13));
    QCOMPARE(stateOf(*m_client), QStringLiteral("1 1 | 3 1 3 0 4 2 1 0"));
    if (!request.isEmpty())
        QCOMPARE(eventsOf(*m_client, request), applied);
    QCOMPARE(nextEvents(*m_client, 10000), later);
    QCOMPARE(stateOf(*m_client), state);
}

void TestService::logsRequestsAndReplies()
{
    QVERIFY(startService({dataFile("zone.xtsc")}));
    QCOMPARE(m_client->call(Zone, command(SET_STRAT, {3u, 0u})).result, quint32(DONE));
    QCOMPARE(m_client->call(Zone, command(SET_ASTATE, {99u, 1u, 0u})).result, quint32(INV_AREA));
    m_service->stop();
    const QString errors = m_service->errors();
    for (const char* line : {"client 1 #1 zone 7 -> SET_STRAT\\(3, 0\\)",
                             "client 1 #1 zone 7 <- SET_STRAT result 4608 >OK",
                             "client 1 #2 zone 7 <- SET_ASTATE result 4611 >INV_AREA", "zone 7 event 1 \\[3\\]"})
        QVERIFY2(errors.contains(QRegularExpression(QLatin1String(line))), line);
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
