// The helper library's formats and objects: frames, parameter blocks, texts,
// time stamps, replies and events as the service and the module exchange them.
#include "Velmora/format/Protocol.h"

#include <semtra/Connection.h>
#include <semtra/Notification.h>
#include <semtra/Rare.h>
#include <semtra/ReplyTypes.h>
#include <semtra/Request.h>
#include <semtra/Response.h>
#include <semtra/Wire.h>

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using Rare::getParam;
using Rare::getParams;
using Semtra::Command::Message;
using Semtra::ReplyTypes::registerReply;
using Semtra::Wire::FrameReader;
using Types = QList<QVariant::Type>;
Q_DECLARE_METATYPE(Types)
constexpr QVariant::Type U = QVariant::UInt, S = QVariant::String, B = QVariant::ByteArray;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// QVariant's operator== converts between types (uint 2 equals int 2), so the
// tests compare a description that carries the type name.
QString describe(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("invalid");
    const QString text =
        value.userType() == QMetaType::QByteArray ? QString::fromLatin1(value.toByteArray().toHex()) : value.toString();
    return QString::fromLatin1(value.typeName()) + QLatin1Char(':') + text;
}

QString describe(const QVariantList& values)
{
    QStringList parts;
    for (const QVariant& value : values)
        parts << describe(value);
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString describe(const Message& m)
{
    return QStringLiteral("%1/%2/%3/%4/%5").arg(m.number).arg(m.objectId).arg(m.kind).arg(m.tag).arg(describe(m.data));
}

// A copy in an allocation of exactly its size, so that the sanitizer catches
// any read past the end (QByteArray keeps slack behind its data).
struct ExactBytes
{
    explicit ExactBytes(const QByteArray& bytes) : data(bytes.begin(), bytes.end()) {}
    const unsigned char* begin() const { return reinterpret_cast<const unsigned char*>(data.data()); }
    int size() const { return int(data.size()); }
    // The copy seen through a QByteArray that reads nothing else.
    QByteArray view() const { return QByteArray::fromRawData(data.data(), size()); }
    std::vector<char> data;
};

// The smallest connection there is, to exercise the signals as modules use them.
class LoopConnection : public Semtra::Connection
{
    Q_OBJECT
public:
    bool contains(int, int) const override { return false; }
    void request(const Request*) override {}
    void send(const Message& m) { emit message(m); }
    void setState(State s) { emit stateChanged(s); }
};

class Receiver : public QObject
{
    Q_OBJECT
public:
    QStringList seen;
public slots:
    void message(const Semtra::Command::Message& m) { seen << describe(m); }
    void connectionStateChanged(const Semtra::Connection::State s) { seen << QString::number(s); }
};

// The protocol document's example: SET_STRAT 2 60 as request 1 for object 42.
const Message DocumentFrame{1, 42, Semtra::Command::Request, Velmora::Protocol::Tag,
                            hex("01100000" "02000000" "3c000000")};

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

class TestSemtra : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    // Frames and their signals
    void queuedSignals();
    void encoders_data();
    void encoders();
    void frameReader_data();
    void frameReader();
    // Values in texts and blocks, time stamps
    void getParamText_data();
    void getParamText();
    void getParamsTypes_data();
    void getParamsTypes();
    void dateTime_data();
    void dateTime();
    // Replies
    void registry();
    void replyData_data();
    void replyData();
    void finishedOnce_data();
    void finishedOnce();
    // Events
    void eventData_data();
    void eventData();
};

void TestSemtra::queuedSignals()
{
    // Nothing here has used the types yet: the library registered them at load.
    QVERIFY(QMetaType::type("Semtra::Connection::State") != QMetaType::UnknownType);
    QCOMPARE(QMetaType::type("Semtra::Command::Message"), qMetaTypeId<Message>());
    LoopConnection connection;
    Receiver receiver;
    // Connected by written signature, queued, as a module in another thread would.
    QVERIFY(QObject::connect(&connection, SIGNAL(message(const Semtra::Command::Message&)), &receiver,
                             SLOT(message(const Semtra::Command::Message&)), Qt::QueuedConnection));
    QVERIFY(QObject::connect(&connection, SIGNAL(stateChanged(const Semtra::Connection::State)), &receiver,
                             SLOT(connectionStateChanged(const Semtra::Connection::State)), Qt::QueuedConnection));
    connection.send(DocumentFrame);
    connection.setState(Semtra::Connection::Closing);
    QVERIFY(receiver.seen.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(receiver.seen, QStringList({describe(DocumentFrame), QString::number(Semtra::Connection::Closing)}));
}

void TestSemtra::encoders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");
    using namespace Semtra::Wire;
    auto param = [](const char* name, const QVariant& param, const char* bytes) {
        QTest::newRow(name) << encodeRequestParam(param) << hex(bytes);
    };
    param("no parameter", QVariant(), "");
    param("int", -2, "feffffff");
    param("64-bit", qlonglong(0x0102030405060708), "0807060504030201");
    param("unsigned 64-bit", qulonglong(0xF000000000000001), "01000000000000f0");
    param("list of all kinds", QVariantList{1u, -1, QStringLiteral("ab"), hex("01"), qlonglong(2)},
          "01000000" "ffffffff" "02000000" "6162" "01000000" "01" "0200000000000000");
    param("list skips others", QVariantList{true, 3u, 1.5}, "03000000");
    param("double", 2.0, "");
    QTest::newRow("request data") << encodeRequestData(4097, QVariantList{2u, 60u})
                                  << hex("01100000" "02000000" "3c000000");
    const Types state{U, U, S};
    QTest::newRow("reply") << encodeReply(25569.0, 4608, 4352, encodeParams({1u, 2u, QStringLiteral("x")}, state))
                           << hex("0000000040f8d840" "00120000" "00110000" "01000000" "02000000" "01000000" "78");
    QTest::newRow("params convert by type")
        << encodeParams({QStringLiteral("12"), 5u}, {U, B})
        << hex("0c000000" "01000000" "35");
    QTest::newRow("params, fewer values") << encodeParams({1u}, state) << hex("01000000");
    QTest::newRow("params, unsupported type")
        << encodeParams({1u, 2u, 3u}, {U, QVariant::Double, U}) << hex("01000000");
    QTest::newRow("event") << encodeEvent(3, 1.25, {5u, QStringLiteral("é"), hex("00"), -1, 2.5})
                           << hex("03000000" "000000000000f43f" "0105000000" "0202000000c3a9" "030100000000"
                                  "01ffffffff");
    // The example frame of the protocol document.
    QTest::newRow("frame") << encodeFrame(DocumentFrame) << hex("1c000000" "01000000" "2a000000" "02000000" "92191129"
                                                                "01100000" "02000000" "3c000000");
}

void TestSemtra::encoders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes.toHex(), expected.toHex());
}

void TestSemtra::frameReader_data()
{
    QTest::addColumn<QByteArray>("bytes"); // after the frames of the stream
    QTest::addColumn<int>("chunk");        // bytes per append; 0 = all at once
    QTest::addColumn<bool>("malformed");
    QTest::newRow("all at once") << QByteArray() << 0 << false;
    QTest::newRow("byte by byte") << QByteArray() << 1 << false;
    QTest::newRow("seventeen bytes") << QByteArray() << 17 << false;
    QTest::newRow("length 0") << hex("00000000") << 0 << true;
    QTest::newRow("one over the limit") << hex("01000001") << 0 << true;
    QTest::newRow("length 15, byte by byte") << hex("0f000000") + QByteArray(15, '\0') << 1 << true;
    QTest::newRow("at the limit waits") << hex("00000001") + QByteArray(100, '\0') << 0 << false;
    QTest::newRow("three bytes wait") << hex("ffffff") << 0 << false;
}

// A stream in chunks: the frames before a fault come whole and in order; a
// malformed length stays reported until the reader is cleared.
void TestSemtra::frameReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, chunk);
    QFETCH(bool, malformed);
    const QList<Message> sent{DocumentFrame, Message{0, 7, Semtra::Command::Disconnected, 5, QByteArray()},
                              Message{-1, -2, 11, -3, QByteArray(300, 'x')}};
    QByteArray stream;
    QStringList expected, received;
    for (const Message& m : sent) {
        stream += Semtra::Wire::encodeFrame(m);
        expected << describe(m);
    }
    stream += bytes;
    FrameReader reader;
    const int step = chunk > 0 ? chunk : stream.size();
    Message m;
    FrameReader::Status status = FrameReader::NeedMore;
    for (int at = 0; at < stream.size() && status != FrameReader::Malformed; at += step) {
        reader.append(stream.mid(at, step));
        while ((status = reader.next(&m)) == FrameReader::Ready)
            received << describe(m);
    }
    QCOMPARE(received, expected);
    QCOMPARE(status, malformed ? FrameReader::Malformed : FrameReader::NeedMore);
    const QByteArray next = Semtra::Wire::encodeFrame(Message{9, 9, 9, 9, QByteArray()});
    reader.append(next);
    if (malformed)
        QCOMPARE(reader.next(&m), FrameReader::Malformed);
    reader.clear();
    QCOMPARE(reader.pending(), 0);
    reader.append(next);
    QCOMPARE(reader.next(&m), FrameReader::Ready);
    QCOMPARE(m.number, 9);
}

void TestSemtra::getParamText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVariantList>("expected");
    // What is left when reading stops: a bad value stays unread.
    QTest::addColumn<QByteArray>("rest");
    auto row = [](const char* name, const QByteArray& text, const QVariantList& values, const QByteArray& rest) {
        QTest::newRow(name) << text << values << rest;
    };
    row("every blank", " 1\t2\n3\r4\v5\f6\n ", {1u, 2u, 3u, 4u, 5u, 6u}, "\n ");
    row("hex and leading zeros", "0x1F 0XfF 007", {31u, 255u, 7u}, {});
    row("largest uint", "4294967295 0xFFFFFFFF", {4294967295u, 4294967295u}, {});
    row("uint overflow", "1 4294967296", {1u}, " 4294967296");
    row("hex overflow", "0x100000000", {}, "0x100000000");
    row("hex without digits", "0x", {}, "0x");
    row("negative", "-5 -0 -0x10 -2147483648", {-5, 0, -16, std::numeric_limits<int>::min()}, {});
    row("int overflow", "-2147483649", {}, "-2147483649");
    row("lone minus", "- 1", {}, "- 1");
    row("texts with escapes", R"("a\"b\\c" "" "Зона 1")",
        {QStringLiteral("a\"b\\c"), QString(""), QStringLiteral("Зона 1")}, {});
    row("unterminated", "1 \"abc", {1u}, " \"abc");
    row("escaped end quote", R"("abc\")", {}, R"("abc\")");
    row("unknown escape", R"("a\nb")", {}, R"("a\nb")");
    row("texts not separated", "\"a\"\"b\"", {}, "\"a\"\"b\"");
    row("bytes", "#ff00A1 # 2", {QByteArray::fromHex("ff00a1"), QByteArray(), 2u}, {});
    row("odd hex digits", "#abc", {}, "#abc");
    row("number with tail", "12abc", {}, "12abc");
    row("comma", "2,60", {}, "2,60");
    row("empty", "", {}, {});
}

void TestSemtra::getParamText()
{
    QFETCH(QByteArray, text);
    QFETCH(QVariantList, expected);
    QFETCH(QByteArray, rest);
    const char* p = text.constData();
    QVariantList values;
    for (QVariant v = getParam(p); v.isValid(); v = getParam(p))
        values << v;
    QCOMPARE(describe(values), describe(expected));
    QCOMPARE(QByteArray(p), rest);
    // No text at all.
    const char* none = nullptr;
    QVERIFY(!getParam(none).isValid() && !none);
}

void TestSemtra::getParamsTypes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Types>("types");
    QTest::addColumn<int>("size"); // handed over, -1: the whole
    QTest::addColumn<QVariantList>("expected");
    const auto row = [](const char* name, const char* hex, const Types& types, const QVariantList& values, int size = -1) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << types << size << values;
    };
    row("little-endian, utf-8, bytes", "01020304" "04000000d097d0b0" "0200000000ff", {U, S, B},
        {0x04030201u, QString::fromUtf8("За"), QByteArray::fromHex("00ff")});
    row("empty bytes then uint", "0000000005000000", {B, U}, {QByteArray(), 5u});
    // Texts are framed as bytes are: a NUL inside is kept.
    row("text with a NUL", "03000000610062", {S}, {QString::fromUtf8("a\0b", 3)});
    row("more types than values", "0100000002000000", {U, U, U}, {1u, 2u});
    row("unsupported type stops", "0100000002000000", {U, QVariant::Int, U}, {1u});
    row("length one past the end", "0100000004000000616263", {U, S}, {1u});
    row("length ffffffff", "ffffffff61", {B}, {});
    row("length 80000000", "0000008061", {S}, {});
    row("length 7fffffff", "ffffff7f61", {B}, {});
    row("negative size", "0100000001000000", {U, U}, {}, -1 - 0x7fffffff);
}

void TestSemtra::getParamsTypes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Types, types);
    QFETCH(int, size);
    QFETCH(QVariantList, expected);
    const ExactBytes exact(bytes);
    QCOMPARE(describe(getParams(exact.begin(), size == -1 ? exact.size() : size, types)), describe(expected));
    QVERIFY(getParams(nullptr, 16, types).isEmpty());
}

void TestSemtra::dateTime_data()
{
    QTest::addColumn<double>("stamp");
    QTest::addColumn<QDateTime>("expected"); // null: no date for that stamp
    const auto utc = [](int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    };
    QTest::newRow("epoch") << 0.0 << utc(1899, 12, 30);
    QTest::newRow("evening") << 45000.75 << utc(2023, 3, 15, 18);
    QTest::newRow("one millisecond") << 25569.5 + 1.0 / 86400000.0 << utc(1970, 1, 1, 12, 0, 0, 1);
    QTest::newRow("rounds to midnight") << 0.9999999999 << utc(1899, 12, 31);
    QTest::newRow("day before epoch") << -1.25 << utc(1899, 12, 29, 6);
    QTest::newRow("earliest") << -657434.0 << utc(100, 1, 1);
    QTest::newRow("latest") << 2958465.5 << utc(9999, 12, 31, 12);
    QTest::newRow("last millisecond") << 2958465.0 + 86399999.0 / 86400000.0 << utc(9999, 12, 31, 23, 59, 59, 999);
    QTest::newRow("nan") << std::nan("") << QDateTime();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << QDateTime();
    QTest::newRow("after 9999") << 2958466.0 << QDateTime();
    QTest::newRow("before 100") << -657435.0 << QDateTime();
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << QDateTime();
}

void TestSemtra::dateTime()
{
    QFETCH(double, stamp);
    QFETCH(QDateTime, expected);
    const QDateTime time = Rare::doubleToDateTime(stamp);
    QCOMPARE(time, expected);
    QCOMPARE(time.isNull(), expected.isNull());
    if (!expected.isNull()) {
        QCOMPARE(time.timeSpec(), Qt::UTC);
        // Back and forth, from the other side and from a zone offset.
        QCOMPARE(Rare::doubleToDateTime(Semtra::Wire::dateTimeToDouble(time.toOffsetFromUtc(3 * 3600))), time);
    } else {
        QVERIFY(std::isnan(Semtra::Wire::dateTimeToDouble(time)));
    }
    QCOMPARE(Rare::doubleToTime(stamp), expected.time());
    QCOMPARE(Rare::doubleToTime(stamp).isNull(), expected.isNull());
}

void TestSemtra::initTestCase()
{
    registerReply(Ours, StateReply, {U, U, S});
    registerReply(Ours, HashReply, {B});
    // Registered after ours: must not change how our replies decode.
    registerReply(OtherTag, StateReply, {B});
    registerReply(OtherTag, HashReply, {U});
}

void TestSemtra::registry()
{
    QCOMPARE(Semtra::ReplyTypes::types(OtherTag, StateReply), Types{B});
    QCOMPARE(Semtra::ReplyTypes::types(OtherTag + 1, StateReply), Types{});
    // A second registration for the same protocol and code replaces the first.
    registerReply(Ours, 0x7200, {U});
    registerReply(Ours, 0x7200, {S, U});
    QCOMPARE(Semtra::ReplyTypes::types(Ours, 0x7200), (Types{S, U}));

    // Writers and readers at once; the sanitizer build watches the map.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                registerReply(t, 0x8000 + i, {U, S});
                Semtra::ReplyTypes::types(Ours, StateReply);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 200; ++i)
            QCOMPARE(Semtra::ReplyTypes::types(t, 0x8000 + i).size(), 2);
    QCOMPARE(Semtra::ReplyTypes::types(Ours, StateReply).size(), 3);
}

void TestSemtra::replyData_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<qint64>("resultCode");
    QTest::addColumn<qint64>("replyCode");
    QTest::addColumn<QVariantList>("expected");
    auto row = [](const char* name, const QByteArray& reply, qint64 result, qint64 code, const QVariantList& values) {
        QTest::newRow(name) << reply << result << code << values;
    };
    using Semtra::Wire::encodeReply;
    const QByteArray state = Semtra::Wire::encodeParams({1u, 3u, QStringLiteral("1:2:0:-1")}, {U, U, S});
    // Head by hand: stamp 0.0, result 0x1200, reply 0x7100.
    const QByteArray head = hex("0000000000000000" "00120000" "00710000");
    const QByteArray hash = Semtra::Wire::encodeParams({QByteArray(16, '\x5a')}, {B});
    row("state", head + state, 0x1200, StateReply, {1u, 3u, QStringLiteral("1:2:0:-1")});
    row("text cut short", head + state.left(state.size() - 1), 0x1200, StateReply, {1u, 3u});
    row("hash", encodeReply(45000.5, 0, HashReply, hash), 0, HashReply, {QByteArray(16, '\x5a')});
    row("unknown reply code", encodeReply(0, 0, 0x7fff, state), 0, 0x7fff, {});
    row("codes above int range", encodeReply(0, 0xFFFFFFFFu, 0x80000000u, state), 0xFFFFFFFFu, 0x80000000u, {});
    row("15 bytes", head.left(15), -1, -1, {});
}

void TestSemtra::replyData()
{
    QFETCH(QByteArray, reply);
    QFETCH(qint64, resultCode);
    QFETCH(qint64, replyCode);
    QFETCH(QVariantList, expected);
    const ExactBytes exact(reply);
    Request request(1, 2, 4352, QVariant(), Ours);
    Response response(&request);
    // The owner arranges parents; the response takes none of its own.
    QVERIFY(!response.parent() && !request.parent());
    QVERIFY(response.data().isEmpty());
    response.finish(exact.view());
    QVERIFY(response.isFinished());
    QCOMPARE(response.error(), 0);
    QCOMPARE(response.reply(), reply);
    QCOMPARE(response.resultCode(), resultCode);
    QCOMPARE(response.replyCode(), replyCode);
    QCOMPARE(describe(response.data()), describe(expected));
}

void TestSemtra::finishedOnce_data()
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

void TestSemtra::finishedOnce()
{
    QFETCH(QString, calls);
    QFETCH(int, error);
    QFETCH(bool, hasData);
    const QByteArray reply = Semtra::Wire::encodeReply(0, 0, StateReply, Semtra::Wire::encodeParams({4u, 5u}, {U, U}));
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

void TestSemtra::eventData_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("id");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QVariantList>("values");
    // Event 3 at 2023-03-15 12:00 with a uint, a text and bytes, by hand.
    const QByteArray event3 = hex("03000000" "0000000010f9e540" "01" "07000000" "02" "04000000" "d097d0b0"
                                  "03" "02000000" "00ff");
    const QVariantList values{7u, QString::fromUtf8("За"), hex("00ff")};
    const QList<int> valueEnds{17, 26, 33};
    const QDateTime noon(QDate(2023, 3, 15), QTime(12, 0), Qt::UTC);
    // Cut anywhere: a value counts only when all of it is there.
    for (int cut = 0; cut <= event3.size(); ++cut) {
        QVariantList whole;
        for (int i = 0; i < valueEnds.size() && valueEnds.at(i) <= cut; ++i)
            whole << values.at(i);
        QTest::addRow("cut at %d", cut) << event3.left(cut) << (cut < 12 ? -1 : 3) << (cut < 12 ? QDateTime() : noon)
                                        << whole;
    }
    const QByteArray head = event3.left(12);
    QTest::newRow("tag 0 stops") << head + hex("0101000000" "00" "0102000000") << 3 << noon << QVariantList{1u};
    QTest::newRow("tag ff stops") << head + hex("0105000000" "ff") << 3 << noon << QVariantList{5u};
    QTest::newRow("huge text length") << head + hex("02" "ffffffff" "41") << 3 << noon << QVariantList{};
    QTest::newRow("bytes length one too many") << head + hex("0101000000" "03" "03000000" "0102") << 3 << noon
                                               << QVariantList{1u};
    QTest::newRow("nan stamp") << hex("01000000" "000000000000f87f" "0102000000") << 1 << QDateTime()
                               << QVariantList{2u};
    QTest::newRow("largest id") << hex("ffffffff" "0000000000000000") << -1
                                << QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC) << QVariantList{};
    QTest::newRow("encoder") << Semtra::Wire::encodeEvent(2, 45000.5, {9u, 4, QStringLiteral("x"), QByteArray(), 1.5})
                             << 2 << noon << QVariantList{9u, 4u, QStringLiteral("x"), QByteArray()};
}

void TestSemtra::eventData()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, id);
    QFETCH(QDateTime, time);
    QFETCH(QVariantList, values);
    const ExactBytes exact(bytes);
    const Notification n(exact.view(), Velmora::Protocol::Tag);
    QCOMPARE(n.id(), id);
    QCOMPARE(n.timeStamp(), time);
    QCOMPARE(describe(n.data()), describe(values));
    QCOMPARE(n.tag(), Velmora::Protocol::Tag);
    QCOMPARE(n.bytes(), bytes);
}

QTEST_MAIN(TestSemtra)
#include "tst_semtra.moc"
