#include "Velmora/format/Protocol.h"
#include "Values.h"

#include <semtra/ReplyTypes.h>
#include <semtra/Request.h>
#include <semtra/Response.h>
#include <semtra/Wire.h>

#include <QSignalSpy>
#include <QtTest>

#include <thread>
#include <vector>

namespace {

using Types = QList<QVariant::Type>;
using Semtra::ReplyTypes::registerReply;

// Reply codes of this test only; real modules register the protocol's codes.
constexpr int StateReply = 0x7100;
constexpr int HashReply = 0x7104;
constexpr int Ours = Velmora::Protocol::Tag;
// Another module's protocol in the same host, reusing our reply codes.
constexpr int OtherTag = 0x10203040;

// Records whether finished() had already been seen when the hook ran.
class HookedResponse : public Response
{
public:
    explicit HookedResponse(Request* request) : Response(request), spy(this, &Response::finished) {}
    QList<int> finishedCountAtHook;
    QSignalSpy spy;

protected:
    void beforeFinished() override
    {
        finishedCountAtHook << spy.count();
        Response::beforeFinished();
    }
};

} // namespace

class TestResponse : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void registry();
    void data_data();
    void data();
    void finishedOnce_data();
    void finishedOnce();
};

void TestResponse::initTestCase()
{
    registerReply(Ours, StateReply, {QVariant::UInt, QVariant::UInt, QVariant::String});
    registerReply(Ours, HashReply, {QVariant::ByteArray});
    // Registered after ours: must not change how our replies decode.
    registerReply(OtherTag, StateReply, {QVariant::ByteArray});
    registerReply(OtherTag, HashReply, {QVariant::UInt});
}

void TestResponse::registry()
{
    QCOMPARE(Semtra::ReplyTypes::types(OtherTag, StateReply), Types{QVariant::ByteArray});
    QCOMPARE(Semtra::ReplyTypes::types(OtherTag + 1, StateReply), Types{});
    // A second registration for the same protocol and code replaces the first.
    registerReply(Ours, 0x7200, {QVariant::UInt});
    registerReply(Ours, 0x7200, {QVariant::String, QVariant::UInt});
    QCOMPARE(Semtra::ReplyTypes::types(Ours, 0x7200), (Types{QVariant::String, QVariant::UInt}));

    // Writers and readers at once; the sanitizer build watches the map.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                registerReply(t, 0x8000 + i, {QVariant::UInt, QVariant::String});
                Semtra::ReplyTypes::types(Ours, StateReply);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 200; ++i)
            QCOMPARE(Semtra::ReplyTypes::types(t, 0x8000 + i).size(), 2);
    }
    QCOMPARE(Semtra::ReplyTypes::types(Ours, StateReply).size(), 3);
}

void TestResponse::data_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<qint64>("resultCode");
    QTest::addColumn<qint64>("replyCode");
    QTest::addColumn<QVariantList>("expected");
    auto row = [](const char* name, const QByteArray& reply, qint64 result, qint64 code, const QVariantList& values) {
        QTest::newRow(name) << reply << result << code << values;
    };
    using Semtra::Wire::encodeReply;
    const QByteArray state = Semtra::Wire::encodeParams({1u, 3u, QStringLiteral("1:2:0:-1")},
                                                        {QVariant::UInt, QVariant::UInt, QVariant::String});
    // Head by hand: stamp 0.0, result 0x1200, reply 0x7100.
    const QByteArray head = QByteArray::fromHex("0000000000000000" "00120000" "00710000");
    const QByteArray hash = Semtra::Wire::encodeParams({QByteArray(16, '\x5a')}, {QVariant::ByteArray});
    row("state", head + state, 0x1200, StateReply, {1u, 3u, QStringLiteral("1:2:0:-1")});
    row("text cut short", head + state.left(state.size() - 1), 0x1200, StateReply, {1u, 3u});
    row("hash", encodeReply(45000.5, 0, HashReply, hash), 0, HashReply, {QByteArray(16, '\x5a')});
    row("unknown reply code", encodeReply(0, 0, 0x7fff, state), 0, 0x7fff, {});
    row("codes above int range", encodeReply(0, 0xFFFFFFFFu, 0x80000000u, state), 0xFFFFFFFFu, 0x80000000u, {});
    row("15 bytes", head.left(15), -1, -1, {});
}

void TestResponse::data()
{
    QFETCH(QByteArray, reply);
    QFETCH(qint64, resultCode);
    QFETCH(qint64, replyCode);
    QFETCH(QVariantList, expected);
    Request request(1, 2, 4352, QVariant(), Ours);
    Response response(&request);
    // The owner arranges parents; the response takes none of its own.
    QVERIFY(!response.parent() && !request.parent());
    QVERIFY(response.data().isEmpty());
    // An exact copy, so that reading past the reply is caught.
    response.finish(QByteArray(reply.constData(), reply.size()));
    QVERIFY(response.isFinished());
    QCOMPARE(response.error(), 0);
    QCOMPARE(response.reply(), reply);
    QCOMPARE(response.resultCode(), resultCode);
    QCOMPARE(response.replyCode(), replyCode);
    QCOMPARE(describe(response.data()), describe(expected));
}

void TestResponse::finishedOnce_data()
{
    QTest::addColumn<QString>("calls"); // f = finish with a state reply, e<n> = setError(n)
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("hasData");
    QTest::newRow("finish") << "f" << 0 << true;
    QTest::newRow("finish then error") << "f e11" << 0 << true;
    QTest::newRow("error") << "e11" << 11 << false;
    QTest::newRow("error then finish") << "e14 f" << 14 << false;
    QTest::newRow("two errors") << "e14 e11" << 14 << false;
}

void TestResponse::finishedOnce()
{
    QFETCH(QString, calls);
    QFETCH(int, error);
    QFETCH(bool, hasData);
    const QByteArray reply = Semtra::Wire::encodeReply(
        0, 0, StateReply, Semtra::Wire::encodeParams({4u, 5u}, {QVariant::UInt, QVariant::UInt}));
    Request request(1, 2, 4352, QVariant(), Ours);
    HookedResponse response(&request);
    // A receiver failing the response from its slot changes nothing either.
    connect(&response, &Response::finished, this, [&] { response.setError(9); });
    for (const QString& call : calls.split(QLatin1Char(' '))) {
        if (call == QLatin1String("f"))
            response.finish(reply);
        else
            response.setError(call.mid(1).toInt());
    }
    QCOMPARE(response.spy.count(), 1);
    QCOMPARE(response.finishedCountAtHook, QList<int>{0});
    QCOMPARE(response.error(), error);
    QCOMPARE(response.data().isEmpty(), !hasData);
    QCOMPARE(response.reply().isEmpty(), !hasData);
}

QTEST_APPLESS_MAIN(TestResponse)
#include "tst_response.moc"
