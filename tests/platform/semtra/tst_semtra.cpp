// The helper library's formats and objects: frames, parameter blocks, texts,
// responses and events as the service and the module exchange them.
#include "Velmora/format/Protocol.h"

#include <semtra/Notification.h>
#include <semtra/Rare.h>
#include <semtra/ReplyTypes.h>
#include <semtra/Request.h>
#include <semtra/Response.h>
#include <semtra/Wire.h>

#include <QtTest>

#include <limits>
#include <vector>

using Rare::getParam;
using Rare::getParams;
using Semtra::Command::Message;
using Semtra::ReplyTypes::registerReply;
using namespace Semtra::Wire;
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
    if (value.userType() == QMetaType::QVariantList) {
        QStringList parts;
        for (const QVariant& item : value.toList())
            parts << describe(item);
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    if (!value.isValid())
        return QStringLiteral("invalid");
    const QString text =
        value.userType() == QMetaType::QByteArray ? QString::fromLatin1(value.toByteArray().toHex()) : value.toString();
    return QString::fromLatin1(value.typeName()) + QLatin1Char(':') + text;
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

// The protocol document's example: SET_STRAT 2 60 as request 1 for object 42.
const Message DocumentFrame{1, 42, Semtra::Command::Request, Velmora::Protocol::Tag,
                            hex("01100000" "02000000" "3c000000")};

// A reply code of this test only; real modules register the protocol's codes.
constexpr int StateReply = 0x7100;
constexpr int Ours = Velmora::Protocol::Tag;

// Out of the test class: moc cannot read raw strings there.
const char* const EscapedTexts = R"("a\"b\\c" "" "Зона 1")";
const char* const EscapedEndQuote = R"("abc\")";

} // namespace

class TestSemtra : public QObject
{
    Q_OBJECT
private slots:
    void encoders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* name, const QByteArray& bytes, const char* expected) {
            QTest::newRow(name) << bytes << hex(expected);
        };
        row("list of all kinds", encodeRequestParam(QVariantList{1u, -1, QString("ab"), hex("01"), qlonglong(2)}),
            "01000000" "ffffffff" "02000000" "6162" "01000000" "01" "0200000000000000");
        row("list skips others", encodeRequestParam(QVariantList{true, 3u, 1.5}), "03000000");
        row("reply", encodeReply(25569.0, 4608, 4352, encodeParams({1u, 2u, QStringLiteral("x")}, {U, U, S})),
            "0000000040f8d840" "00120000" "00110000" "01000000" "02000000" "01000000" "78");
        row("event", encodeEvent(3, 1.25, {5u, QStringLiteral("é"), hex("00"), -1, 2.5}),
            "03000000" "000000000000f43f" "0105000000" "0202000000c3a9" "030100000000" "01ffffffff");
        // The example frame of the protocol document.
        row("frame", encodeFrame(DocumentFrame),
            "1c000000" "01000000" "2a000000" "02000000" "92191129" "01100000" "02000000" "3c000000");
    }

    void encoders()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(bytes.toHex(), expected.toHex());
    }

    void frameReader_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // after the frames of the stream
        QTest::addColumn<int>("chunk");        // bytes per append; 0 = all at once
        QTest::addColumn<bool>("malformed");
        QTest::newRow("byte by byte") << QByteArray() << 1 << false;
        QTest::newRow("one over the limit") << hex("01000001") << 0 << true;
        QTest::newRow("length 15, byte by byte") << hex("0f000000") + QByteArray(15, '\0') << 1 << true;
        QTest::newRow("at the limit waits") << hex("00000001") + QByteArray(100, '\0') << 0 << false;
        QTest::newRow("three bytes wait") << hex("ffffff") << 0 << false;
    }

    // A stream in chunks: the frames before a fault come whole and in order; a
    // malformed length stays reported until the reader is cleared.
    void frameReader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, chunk);
        QFETCH(bool, malformed);
        const QList<Message> sent{DocumentFrame, Message{0, 7, Semtra::Command::Disconnected, 5, QByteArray()},
                                  Message{-1, -2, 11, -3, QByteArray(300, 'x')}};
        QByteArray stream;
        QStringList expected, received;
        for (const Message& m : sent) {
            stream += encodeFrame(m);
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
        const QByteArray next = encodeFrame(Message{9, 9, 9, 9, QByteArray()});
        reader.append(next);
        if (malformed)
            QCOMPARE(reader.next(&m), FrameReader::Malformed);
        reader.clear();
        QCOMPARE(reader.pending(), 0);
        reader.append(next);
        QCOMPARE(reader.next(&m), FrameReader::Ready);
        QCOMPARE(m.number, 9);
    }

    void getParamText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QVariantList>("expected");
        // What is left when reading stops: a bad value stays unread.
        QTest::addColumn<QByteArray>("rest");
        auto row = [](const char* name, const QByteArray& text, const QVariantList& values, const QByteArray& rest) {
            QTest::newRow(name) << text << values << rest;
        };
        row("uint overflow", "4294967295 4294967296", {4294967295u}, " 4294967296");
        row("int overflow", "-5 -0x10 -2147483648 -2147483649", {-5, -16, std::numeric_limits<int>::min()},
            " -2147483649");
        row("texts with escapes", EscapedTexts, {QStringLiteral("a\"b\\c"), QString(""), QStringLiteral("Зона 1")}, {});
        row("unterminated", "1 \"abc", {1u}, " \"abc");
        row("escaped end quote", EscapedEndQuote, {}, EscapedEndQuote);
        row("number with tail", "12abc", {}, "12abc");
    }

    void getParamText()
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

    void getParamsTypes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Types>("types");
        QTest::addColumn<int>("size"); // handed over, -1: the whole
        QTest::addColumn<QVariantList>("expected");
        const auto row = [](const char* name, const char* hex, const Types& types, const QVariantList& values,
                            int size = -1) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << types << size << values;
        };
        row("little-endian, utf-8, bytes", "01020304" "04000000d097d0b0" "0200000000ff", {U, S, B},
            {0x04030201u, QString::fromUtf8("За"), QByteArray::fromHex("00ff")});
        // Texts are framed as bytes are: a NUL inside is kept.
        row("text with a NUL", "03000000610062", {S}, {QString::fromUtf8("a\0b", 3)});
        row("unsupported type stops", "0100000002000000", {U, QVariant::Int, U}, {1u});
        row("length one past the end", "0100000004000000616263", {U, S}, {1u});
        row("length ffffffff", "ffffffff61", {B}, {});
        row("length 7fffffff", "ffffff7f61", {B}, {});
        row("negative size", "0100000001000000", {U, U}, {}, -1 - 0x7fffffff);
    }

    void getParamsTypes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Types, types);
        QFETCH(int, size);
        QFETCH(QVariantList, expected);
        const ExactBytes exact(bytes);
        QCOMPARE(describe(getParams(exact.begin(), size == -1 ? exact.size() : size, types)), describe(expected));
        QVERIFY(getParams(nullptr, 16, types).isEmpty());
    }

    void finishedOnce_data()
    {
        QTest::addColumn<int>("error"); // set before finishing; 0: error 11 set after
        QTest::newRow("finish then error") << 0;
        QTest::newRow("error then finish") << 14;
    }

    void finishedOnce()
    {
        QFETCH(int, error);
        registerReply(Ours, StateReply, {U, U});
        const QByteArray reply = encodeReply(0, 0, StateReply, encodeParams({4u, 5u}, {U, U}));
        Request request(1, 2, 4352, QVariant(), Ours);
        Response response(&request);
        QSignalSpy finished(&response, &Response::finished);
        // A receiver failing the response from its slot changes nothing either.
        connect(&response, &Response::finished, this, [&] { response.setError(9); });
        if (error)
            response.setError(error);
        response.finish(reply);
        response.setError(11);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(response.error(), error);
        QCOMPARE(response.data().isEmpty(), error != 0);
        QCOMPARE(response.reply().isEmpty(), error != 0);
    }

    void eventData_data()
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
            QTest::addRow("cut at %d", cut) << event3.left(cut) << (cut < 12 ? -1 : 3)
                                            << (cut < 12 ? QDateTime() : noon) << whole;
        }
        const QByteArray head = event3.left(12);
        QTest::newRow("tag ff stops") << head + hex("0105000000" "ff") << 3 << noon << QVariantList{5u};
        QTest::newRow("nan stamp") << hex("01000000" "000000000000f87f" "0102000000") << 1 << QDateTime()
                                   << QVariantList{2u};
        QTest::newRow("largest id") << hex("ffffffff" "0000000000000000") << -1
                                    << QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC) << QVariantList{};
    }

    void eventData()
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
    }
};

QTEST_MAIN(TestSemtra)
#include "tst_semtra.moc"
