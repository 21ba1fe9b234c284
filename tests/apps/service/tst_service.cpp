#include "DomText.h"
#include "ServiceProcess.h"
#include "Until.h"
#include "Velmora/format/Protocol.h"
#include "Velmora/format/TokenDigest.h"

#include <semtra/Notification.h>
#include <semtra/Rare.h>
#include <semtra/Wire.h>

#include <QTcpSocket>
#include <QtTest>

#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <memory>

// The simulator as a workstation meets it, the real program over TCP: frames, clients
// and the program's options. What a request does to a zone is tst_service_core's.
namespace {

using namespace Semtra::Command;
using Semtra::Wire::readU32;
using Types = QList<QVariant::Type>;

constexpr int Zone = 7, SecondZone = 12, Tag = Velmora::Protocol::Tag;
constexpr QVariant::Type U = QVariant::UInt, S = QVariant::String, B = QVariant::ByteArray;
const Types StateTypes{U, U, S};
// "cs strategy | areas-state string", the areas' "id cs state special" in file order.
const QString InitialState = QStringLiteral("1 1 | 3 1 1 0 4 2 1 0");
const QString ZoneFile = QStringLiteral(VELMORA_TEST_DATA "/service/zone.xtsc");

// Commands and results by code, as a workstation knows them.
enum : quint32 {
    SET_LOCAL = 4096, SET_STRAT, SET_ASTATE, SET_APSTATE, SET_DPROG, SET_DEFAULT, SET_ADEFAULT, SET_EVENT,
    GET_STATE = 4352, GET_REFER, GET_DPROG, GET_CONFIG, GET_CONFIG_HASH, GET_CONFIG_SIZE,
};
constexpr quint32 DONE = 4608, INV_AREA = 4611, INV_CONT = 4615;

// As a workstation sends it: the code, 4-byte values, byte arrays after their length.
QByteArray command(quint32 code, const QVariantList& values = {})
{
    return Semtra::Wire::encodeRequestData(code, values);
}

QByteArray setProgram(uint controller, const QByteArray& program)
{
    return command(SET_DPROG, {controller, 0u, program});
}

struct Answer
{
    int kind = -1, objectId = 0, size = 0; // kind -1: none came; size: of the frame's data
    quint32 result = 0, code = 0;
    QVariantList values;
};

// One client connection that keeps every frame it receives.
struct TestClient
{
    explicit TestClient(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { readFrames(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    // The announcement of both zones seen.
    bool joined() { return waitFor([](const Message& m) { return m.objectId == SecondZone; }); }
    bool connected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    int send(int zone, const QByteArray& data, int tag = Tag)
    {
        written += socket.write(Semtra::Wire::encodeFrame({++number, zone, Request, tag, data}));
        socket.flush();
        return number;
    }
    // The answer to a request, its block decoded by `types`.
    Answer call(int zone, const QByteArray& data, const Types& types = {}, int tag = Tag)
    {
        const int n = send(zone, data, tag);
        const Message* m =
            waitFor([n](const Message& m) { return m.number == n && m.kind != Event && m.kind != Connected; });
        const QByteArray bytes = m ? m->data.toByteArray() : QByteArray();
        if (!m || m->kind != Reply || bytes.size() < 16)
            return m ? Answer{m->kind, m->objectId, bytes.size(), 0, 0, {}} : Answer();
        const auto* block = reinterpret_cast<const uchar*>(bytes.constData()) + 16;
        return {Reply, m->objectId, bytes.size(), readU32(bytes.constData() + 8), readU32(bytes.constData() + 12),
                Rare::getParams(block, bytes.size() - 16, types)};
    }
    template<typename Match>
    const Message* waitFor(Match match)
    {
        auto found = [&] {
            const auto it = std::find_if(frames.cbegin(), frames.cend(), match);
            return it == frames.cend() ? nullptr : &*it;
        };
        return until(found) ? found() : nullptr;
    }
    // Off: the client takes no more than a few kilobytes off its socket, so
    // the kernel's buffers fill as with a peer that has stopped reading.
    void setReading(bool on)
    {
        reading = on;
        socket.setReadBufferSize(on ? 0 : 4096);
        readFrames();
    }
    void readFrames()
    {
        Message message;
        reader.append(reading ? socket.readAll() : QByteArray());
        while (reader.next(&message) == Semtra::Wire::FrameReader::Ready)
            frames.append(message);
    }
    // Events of a zone received so far as "id:v1,v2", and forgets them.
    QStringList takeEvents(int zone)
    {
        QStringList events;
        auto taken = [&](const Message& m) {
            if (m.kind != Event || m.objectId != zone)
                return false;
            const Notification event(m.data.toByteArray(), m.tag);
            events << QStringLiteral("%1:%2").arg(event.id()).arg(QVariant(event.data()).toStringList().join(','));
            return true;
        };
        frames.erase(std::remove_if(frames.begin(), frames.end(), taken), frames.end());
        return events;
    }

    QTcpSocket socket;
    Semtra::Wire::FrameReader reader;
    QList<Message> frames;
    int number = 0;
    qint64 written = 0; // bytes given to the socket
    bool reading = true;
};

// The queue of the loopback connection's end at `local` whose peer is `remote`
// ("tx" or "rx" in /proc/net/tcp); -1 when that end is gone.
qint64 kernelQueue(const QHostAddress& local, quint16 localPort, const QHostAddress& remote, quint16 remotePort)
{
    // The kernel prints an IPv4 address as the native reading of its network-order bytes.
    auto key = [](const QHostAddress& address, quint16 port) {
        return QStringLiteral("%1:%2")
            .arg(qToBigEndian(address.toIPv4Address()), 8, 16, QLatin1Char('0'))
            .arg(port, 4, 16, QLatin1Char('0'))
            .toUpper();
    };
    const QString ends = key(local, localPort) + QLatin1Char(' ') + key(remote, remotePort);
    for (const QByteArray& line : readFile("/proc/net/tcp").split('\n')) {
        const QStringList fields = QString::fromLatin1(line).simplified().split(' ');
        if (fields.size() > 4 && fields.at(1) + QLatin1Char(' ') + fields.at(2) == ends)
            return fields.at(4).section(':', 1).toLongLong(nullptr, 16);
    }
    return -1;
}

// How many of a client's bytes the service has read off its socket: what the client handed to its kernel, less what
// still waits in the two kernels' queues. The client's queue is read first: bytes only move on from it to the
// service's, so none is counted as read that was not. -1 when the connection is gone.
qint64 readByService(TestClient& client)
{
    int unsent = 0;
    if (ioctl(int(client.socket.socketDescriptor()), SIOCOUTQ, &unsent) != 0)
        return -1;
    const qint64 received = kernelQueue(client.socket.peerAddress(), client.socket.peerPort(),
                                        client.socket.localAddress(), client.socket.localPort());
    if (received < 0)
        return -1;
    return client.written - client.socket.bytesToWrite() - unsent - received;
}

// GET_STATE as InitialState shows it.
QString stateOf(TestClient& client, int zone = Zone)
{
    const QVariantList v = client.call(zone, command(GET_STATE), StateTypes).values;
    return v.size() != 3 ? QStringLiteral("no state")
                         : QStringLiteral("%1 %2 | %3").arg(v.at(0).toString(), v.at(1).toString(), v.at(2).toString());
}

// The events of a zone up to now: a GET_STATE reply proves that all earlier frames came.
QStringList eventsNow(TestClient& client, int zone = Zone)
{
    stateOf(client);
    return client.takeEvents(zone);
}

// A request and the answer it must get; `before` goes to the first zone first.
struct Query
{
    int zone;
    QByteArray request;
    Types types;
    QVariantList values;
    QByteArray before{};
    quint32 result = 0;
    int tag = Tag, kind = Reply;
};

} // namespace

Q_DECLARE_METATYPE(Query)

class TestService : public QObject
{
    Q_OBJECT

    ServiceProcess m_service;
    std::unique_ptr<TestClient> m_client;

private slots:
    // One service for every case that can share it. Its small client limits let
    // a flood of a few megabytes show what the defaults do with a hundred.
    void initTestCase()
    {
        QVERIFY(m_service.startWith({"--port", "0", "--quiet", "--client-limits", "256,2048,300", ZoneFile,
                                     QStringLiteral(VELMORA_TEST_DATA "/service/second.xtsc")}));
    }

    // A client is first told of both zones, stamped by the service clock: without
    // --start the real one.
    void init()
    {
        m_client = std::make_unique<TestClient>(m_service.port());
        QVERIFY(m_client->joined());
        QList<int> zones;
        for (const Message& m : qAsConst(m_client->frames)) {
            const QByteArray stamp = m.data.toByteArray();
            QCOMPARE((QList<int>{m.kind, m.tag, stamp.size()}), (QList<int>{Connected, Tag, 8}));
            const QDateTime sent = Rare::doubleToDateTime(Semtra::Wire::readDouble(stamp.constData()));
            QVERIFY(qAbs(sent.secsTo(QDateTime::currentDateTimeUtc())) < 60);
            zones << m.objectId;
        }
        QCOMPARE(zones, (QList<int>{Zone, SecondZone}));
    }

    // Both zones as they started, whatever the case did to them, over the case's
    // connection: whatever it was answered, it stays usable.
    void cleanup()
    {
        const std::unique_ptr<TestClient> client = std::move(m_client);
        for (const QByteArray& request : {command(SET_DEFAULT), command(SET_ADEFAULT, {3u}), command(SET_ADEFAULT, {4u})})
            client->call(Zone, request);
        client->call(SecondZone, command(SET_DEFAULT));
        QCOMPARE(stateOf(*client), InitialState);
    }

    void queries_data()
    {
        QTest::addColumn<Query>("query");
        auto ask = [](const char* name, const Query& query) { QTest::newRow(name) << query; };

        const QByteArray program = QByteArray::fromHex("00ff7f80").repeated(2500);
        ask("hash", {Zone, command(GET_CONFIG_HASH), {B}, {Velmora::tokenDigest(readFile(ZoneFile))}});
        ask("refer", {Zone, command(GET_REFER, {0u}), {S, U, S}, {"zone", 7u, "North"}});
        ask("config size", {Zone, command(GET_CONFIG_SIZE), {U}, {uint(readFile(ZoneFile).toBase64().size())}});
        ask("program of a zone-listed controller",
            {Zone, command(GET_DPROG, {106u}), {U, B}, {106u, program}, setProgram(106, program)});
        ask("empty program of an area-listed controller",
            {Zone, command(GET_DPROG, {103u}), {U, B}, {103u, QByteArray()}, setProgram(103, {})});
        // Programs belong to their zone.
        ask("program of another zone",
            {SecondZone, command(GET_DPROG, {106u}), {U, B}, {}, setProgram(106, "p"), INV_CONT});
        // Not ours to answer: an empty frame of that kind.
        ask("zone not served", {999, command(GET_STATE), StateTypes, {}, {}, 0, Tag, 7});
        ask("other protocol", {Zone, command(GET_STATE), StateTypes, {}, {}, 0, 0x12345678, 6});
    }

    void queries()
    {
        QFETCH(Query, query);
        if (!query.before.isEmpty())
            QCOMPARE(m_client->call(Zone, query.before).result, DONE);
        const Answer answer = m_client->call(query.zone, query.request, query.types, query.tag);
        // A reply names the command it answers.
        const quint32 code = query.kind == Reply ? readU32(query.request.constData()) : 0;
        QCOMPARE((QVariantList{answer.kind, answer.objectId, answer.size > 0, answer.result, answer.code}),
                 (QVariantList{query.kind, query.zone, query.kind == Reply, query.result, code}));
        QCOMPARE(answer.values, query.values);
    }

    // A client's mask picks its own events of one zone, here the strategy and the
    // areas' control sources; another client still gets them all.
    void eventMask()
    {
        TestClient other(m_service.port());
        QVERIFY(other.joined());
        QCOMPARE(m_client->call(Zone, command(SET_EVENT, {0x06u})).result, DONE);
        QCOMPARE(m_client->call(SecondZone, command(SET_EVENT, {0u})).result, DONE);

        QCOMPARE(m_client->call(Zone, command(SET_STRAT, {3u, 0u})).result, DONE);
        QCOMPARE(m_client->call(SecondZone, command(SET_STRAT, {6u, 0u})).result, DONE);
        QCOMPARE(eventsNow(*m_client), (QStringList{"1:3", "2:3,3", "2:4,3"}));
        QCOMPARE(eventsNow(*m_client, SecondZone), QStringList());
        QVERIFY(other.waitFor([](const Message& m) { return m.kind == Event; }));
        QCOMPARE(eventsNow(other), (QStringList{"0:4", "1:3", "2:3,3", "2:4,3"}));
    }

    // Chunks from each offset, up to the empty one past the end, give the text.
    void configChunksReassemble()
    {
        QByteArray text;
        for (QByteArray chunk = "-"; !chunk.isEmpty() && text.size() < 100000; text += chunk) {
            chunk = m_client->call(Zone, command(GET_CONFIG, {uint(text.size())}), {B}).values.value(0).toByteArray();
            QVERIFY(chunk.size() <= 4096);
        }
        QCOMPARE(text, readFile(ZoneFile).toBase64());
        QVERIFY2(text.size() > 4096, "the fixture must need more than one chunk");
    }

    void brokenFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("leaves"); // the client hangs up after them; else the service must

        // Which lengths cannot be framed is the frame reader's test; here the service acts on one.
        auto frame = [](const QByteArray& data) { return Semtra::Wire::encodeFrame({1, Zone, Request, Tag, data}); };
        QTest::newRow("good frame, then garbage")
            << frame(command(GET_STATE)) + QByteArray::fromHex("0000000000") << false;
        // A command that would show if it ran.
        QTest::newRow("part of a frame, then gone") << frame(command(SET_STRAT, {2u, 0u})).chopped(1) << true;
    }

    // Whatever one client sends, the others are served and the zone stays.
    void brokenFrames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, leaves);
        TestClient client(m_service.port());
        client.socket.write(bytes);
        if (leaves)
            client.socket.disconnectFromHost();
        QVERIFY(until([&] { return !client.connected(); })); // that client only
        QCOMPARE(stateOf(*m_client), InitialState);
        TestClient late(m_service.port());
        QCOMPARE(stateOf(late), InitialState);
    }

    void greedyClient_data()
    {
        QTest::addColumn<int>("count"); // requests for 1 MiB replies sent in one go
        QTest::addColumn<bool>("readsLate"); // once the other client has been served; else never

        // The service pauses at 256 KiB, drops at 2 MiB or after 300 ms paused: megabytes
        // more than a client may leave unsent, which must wait for it instead of piling up.
        QTest::newRow("large replies, read late") << 8 << true;
        QTest::newRow("large replies, never read") << 40 << false;
    }

    // The other client is served while the greedy one reads nothing, so the service cannot be waiting for it. One that
    // never reads also floods with 8 MiB programs: they must wait in the kernel's queues, not in the service's memory
    // (a hundred MiB and more), until it is dropped.
    void greedyClient()
    {
        QFETCH(int, count);
        QFETCH(bool, readsLate);
        QCOMPARE(m_client->call(Zone, setProgram(102, QByteArray(1 << 20, 'g'))).result, DONE);
        TestClient greedy(m_service.port());
        QVERIFY(greedy.joined());
        const int announced = greedy.frames.size();
        greedy.setReading(false);
        for (int i = 0; i < count; ++i)
            greedy.send(Zone, command(GET_DPROG, {102u}));

        // Paused at its first reply, the service takes no more than its socket's buffer and one piece for the frame
        // reader. Looked at whenever the greedy client's kernel takes more of its bytes, while surely still connected.
        qint64 mostRead = 0;
        QObject::connect(&greedy.socket, &QTcpSocket::bytesWritten, &greedy.socket,
                         [&] { mostRead = qMax(mostRead, readByService(greedy)); });
        auto serveOther = [&] {
            while (!readsLate && greedy.connected() && greedy.socket.bytesToWrite() < (32 << 20))
                greedy.send(Zone, setProgram(102, QByteArray(8 << 20, 'p')));
            const bool served = m_client->call(Zone, command(GET_STATE), StateTypes).kind == Reply;
            mostRead = qMax(mostRead, readByService(greedy));
            return served;
        };
        for (int i = 0; i < 3; ++i)
            QVERIFY(serveOther());
        bool served = true;
        if (!readsLate)
            QVERIFY(until([&] { return !(served = serveOther()) || !greedy.connected(); }));
        QVERIFY(served);
        QVERIFY2(mostRead < 256 * 1024, qPrintable(QStringLiteral("the service read %1 KiB").arg(mostRead / 1024)));
        QVERIFY(serveOther());
        QCOMPARE(greedy.connected(), readsLate);
        if (!readsLate)
            return;
        greedy.setReading(true);
        QVERIFY(until([&] { return greedy.frames.size() >= announced + count; }));
        QCOMPARE(greedy.frames.size(), announced + count); // every request answered once, in order
        for (int i = 0; i < count; ++i)
            QCOMPARE(greedy.frames.at(announced + i).number, i + 1);
    }

    void reloadsChangedFile_data()
    {
        QTest::addColumn<QString>("from"); // text of the served file...
        QTest::addColumn<QString>("to");   // ...replaced on disk by this
        QTest::addColumn<bool>("byRename");
        QTest::addColumn<QString>("refusal"); // in the log when the file is not taken; empty: taken

        // A good file replaced by rename is the workstation's link test, which follows the service's hash.
        QTest::newRow("edited in place") << "name=\"North\"" << "name=\"North 2\"" << false << QString();
        QTest::newRow("no longer XML") << "<Zone id=\"7\"" << "<Zone id=\"7\" <" << true
                                       << "zone 7: %1 not reloaded, the running configuration stays: %1:1:";
        QTest::newRow("another zone") << "<Zone id=\"7\"" << "<Zone id=\"8\"" << false
                                      << "zone 7: %1 now holds zone 8, the running configuration stays";
    }

    // A served file changed on disk: a good one is served from then on and every
    // client reconnects once; one that cannot be served leaves the running one.
    void reloadsChangedFile()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, byRename);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        const QString path = dir.filePath("zone.xtsc");
        QVERIFY(QFile::copy(ZoneFile, path));
        ServiceProcess service;
        QVERIFY(service.startWith({"--port", "0", path}));
        TestClient client(service.port());
        QVERIFY(client.waitFor([](const Message& m) { return m.kind == Connected; }));

        const QByteArray before = readFile(path);
        const QByteArray after = QByteArray(before).replace(from.toUtf8(), to.toUtf8());
        QVERIFY(byRename ? replaceFile(path, after) : writeFile(path, after));
        const bool taken = refusal.isEmpty();
        const QString logged = taken ? QStringLiteral("zone 7: configuration reloaded from %1 (hash #%2)")
                                           .arg(path, QString::fromLatin1(Velmora::tokenDigest(after).toHex()))
                                     : refusal.arg(path);
        QVERIFY2(until([&] { return service.errors().contains(logged); }), qPrintable(service.errors()));

        const QByteArray served = taken ? after : before;
        QVERIFY(until([&] { return client.connected() != taken; }));
        TestClient late(service.port());
        for (TestClient* asked : taken ? QList<TestClient*>{&late} : QList<TestClient*>{&client, &late}) {
            QCOMPARE(asked->call(Zone, command(GET_CONFIG_HASH), {B}).values,
                     QVariantList{Velmora::tokenDigest(served)});
            QCOMPARE(stateOf(*asked), InitialState);
        }
        QVERIFY(late.connected());
        QCOMPARE(service.errors().count("configuration reloaded"), int(taken));
    }

    // A file it cannot serve stops the program, naming the place.
    void badInput()
    {
        ServiceProcess service;
        QVERIFY(!service.startWith({"--port", "0", QStringLiteral(VELMORA_TEST_DATA "/service/not-xml.xtsc")}));
        QCOMPARE(service.waitExit(), 1);
        QVERIFY2(service.errors().contains("not-xml.xtsc:4:"), qPrintable(service.errors()));
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
