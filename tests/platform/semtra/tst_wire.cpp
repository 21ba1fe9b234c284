#include "Velmora/format/Protocol.h"
#include "Values.h"

#include <semtra/Connection.h>
#include <semtra/Rare.h>
#include <semtra/Wire.h>

#include <QSignalSpy>
#include <QtTest>

using Semtra::Command::Message;
using Semtra::Wire::FrameReader;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

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
    QList<Message> messages;
    QList<Semtra::Connection::State> states;
public slots:
    void message(const Semtra::Command::Message& m) { messages << m; }
    void connectionStateChanged(const Semtra::Connection::State s) { states << s; }
};

QString describe(const Message& m)
{
    return QStringLiteral("%1/%2/%3/%4/%5").arg(m.number).arg(m.objectId).arg(m.kind).arg(m.tag)
        .arg(::describe(m.data));
}

} // namespace

class TestWire : public QObject
{
    Q_OBJECT
private slots:
    void metaTypesAtLoad();
    void queuedSignals();

    void requestParam_data();
    void requestParam();
    void requestFromText();
    void encoders_data();
    void encoders();

    void frame();
    void frameReaderSplit_data();
    void frameReaderSplit();
    void frameReaderMalformed_data();
    void frameReaderMalformed();
};

void TestWire::metaTypesAtLoad()
{
    // Nothing here has used the types yet; the library registered them.
    QVERIFY(QMetaType::type("Semtra::Command::Message") != QMetaType::UnknownType);
    QVERIFY(QMetaType::type("Semtra::Connection::State") != QMetaType::UnknownType);
    QCOMPARE(QMetaType::type("Semtra::Command::Message"), qMetaTypeId<Message>());
}

void TestWire::queuedSignals()
{
    LoopConnection connection;
    Receiver receiver;
    // Connected by written signature, queued, as a module in another thread would.
    QVERIFY(QObject::connect(&connection, SIGNAL(message(const Semtra::Command::Message&)), &receiver,
                             SLOT(message(const Semtra::Command::Message&)), Qt::QueuedConnection));
    QVERIFY(QObject::connect(&connection, SIGNAL(stateChanged(const Semtra::Connection::State)), &receiver,
                             SLOT(connectionStateChanged(const Semtra::Connection::State)), Qt::QueuedConnection));
    const Message sent = Message{7, 42, Semtra::Command::Connected, Velmora::Protocol::Tag, hex("0000000040f8d840")};
    connection.send(sent);
    connection.setState(Semtra::Connection::Closing);
    QVERIFY(receiver.messages.isEmpty());
    QTRY_COMPARE(receiver.messages.size(), 1);
    QTRY_COMPARE(receiver.states.size(), 1);
    QCOMPARE(describe(receiver.messages.first()), describe(sent));
    QCOMPARE(receiver.states.first(), Semtra::Connection::Closing);
}

void TestWire::requestParam_data()
{
    QTest::addColumn<QVariant>("param");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("none") << QVariant() << QByteArray();
    QTest::newRow("int") << QVariant(-2) << hex("feffffff");
    QTest::newRow("uint") << QVariant(4097u) << hex("01100000");
    QTest::newRow("64-bit") << QVariant(qlonglong(0x0102030405060708)) << hex("0807060504030201");
    QTest::newRow("unsigned 64-bit") << QVariant(qulonglong(0xF000000000000001)) << hex("01000000000000f0");
    QTest::newRow("event mask") << QVariant(hex("ff000000")) << hex("ff000000");
    QTest::newRow("list of numbers") << QVariant(QVariantList{2u, 60u}) << hex("02000000" "3c000000");
    QTest::newRow("list of all kinds")
        << QVariant(QVariantList{1u, -1, QStringLiteral("ab"), hex("01"), qlonglong(2)})
        << hex("01000000" "ffffffff" "02000000" "6162" "01000000" "01" "0200000000000000");
    QTest::newRow("list skips others") << QVariant(QVariantList{true, 3u, 1.5}) << hex("03000000");
    QTest::newRow("empty list") << QVariant(QVariantList{}) << QByteArray();
    QTest::newRow("bool") << QVariant(true) << QByteArray();
    QTest::newRow("double") << QVariant(2.0) << QByteArray();
    QTest::newRow("text") << QVariant(QStringLiteral("2 60")) << QByteArray();
}

void TestWire::requestParam()
{
    QFETCH(QVariant, param);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Semtra::Wire::encodeRequestParam(param).toHex(), bytes.toHex());
    QCOMPARE(Semtra::Wire::encodeRequestData(4097, param).toHex(), (hex("01100000") + bytes).toHex());
}

// A command line typed by a user reaches the service as the block it decodes.
void TestWire::requestFromText()
{
    const QByteArray text("3 60 #c0ffee");
    const char* p = text.constData();
    QVariantList list;
    for (QVariant v = Rare::getParam(p); v.isValid(); v = Rare::getParam(p))
        list << v;
    const QByteArray block = Semtra::Wire::encodeRequestParam(list);
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.constData());
    const QVariantList decoded =
        Rare::getParams(bytes, block.size(), {QVariant::UInt, QVariant::UInt, QVariant::ByteArray});
    QCOMPARE(describe(decoded), describe(QVariantList{3u, 60u, hex("c0ffee")}));
}

void TestWire::encoders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");

    using Semtra::Wire::encodeParams;
    const QList<QVariant::Type> state{QVariant::UInt, QVariant::UInt, QVariant::String};
    QTest::newRow("reply") << Semtra::Wire::encodeReply(25569.0, 4608, 4352, encodeParams({1u, 2u, QStringLiteral("x")}, state))
                           << hex("0000000040f8d840" "00120000" "00110000" "01000000" "02000000" "01000000" "78");
    QTest::newRow("params convert by type") << encodeParams({QStringLiteral("12"), 5u}, {QVariant::UInt, QVariant::ByteArray})
                                            << hex("0c000000" "01000000" "35");
    QTest::newRow("params, fewer values") << encodeParams({1u}, state) << hex("01000000");
    QTest::newRow("params, unsupported type") << encodeParams({1u, 2u, 3u}, {QVariant::UInt, QVariant::Double, QVariant::UInt})
                                              << hex("01000000");
    QTest::newRow("event") << Semtra::Wire::encodeEvent(3, 1.25, {5u, QStringLiteral("é"), hex("00"), -1, 2.5})
                           << hex("03000000" "000000000000f43f" "0105000000" "0202000000c3a9" "030100000000" "01ffffffff");
}

void TestWire::encoders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes.toHex(), expected.toHex());
}

void TestWire::frame()
{
    // The example frame of the protocol document.
    const Message m = Message{1, 42, Semtra::Command::Request, Velmora::Protocol::Tag,
                                  hex("01100000" "02000000" "3c000000")};
    const QByteArray frame = hex("1c000000" "01000000" "2a000000" "02000000" "92191129"
                                 "01100000" "02000000" "3c000000");
    QCOMPARE(Semtra::Wire::encodeFrame(m).toHex(), frame.toHex());

    FrameReader reader;
    reader.append(frame);
    Message out;
    QCOMPARE(reader.next(&out), FrameReader::Ready);
    QCOMPARE(describe(out), describe(m));
    QCOMPARE(reader.next(&out), FrameReader::NeedMore);
    QCOMPARE(reader.pending(), 0);
}

void TestWire::frameReaderSplit_data()
{
    QTest::addColumn<int>("chunk"); // bytes per append; 0 = all at once
    QTest::newRow("all at once") << 0;
    QTest::newRow("byte by byte") << 1;
    QTest::newRow("three bytes") << 3;
    QTest::newRow("seventeen bytes") << 17;
}

void TestWire::frameReaderSplit()
{
    QFETCH(int, chunk);
    QList<Message> sent;
    sent << Message{1, 2, Semtra::Command::Reply, Velmora::Protocol::Tag, hex("00")}
         << Message{0, 7, Semtra::Command::Disconnected, 5, QByteArray()}
         << Message{-1, -2, 11, -3, QByteArray(300, 'x')}
         << Message{4, 4, Semtra::Command::Event, 4, hex("0300000000000000000000000105000000")};
    QByteArray stream;
    for (const Message& m : sent)
        stream += Semtra::Wire::encodeFrame(m);

    FrameReader reader;
    QList<Message> received;
    const int step = chunk > 0 ? chunk : stream.size();
    for (int at = 0; at < stream.size(); at += step) {
        reader.append(stream.mid(at, step));
        Message m;
        FrameReader::Status status;
        while ((status = reader.next(&m)) == FrameReader::Ready)
            received << m;
        QCOMPARE(status, FrameReader::NeedMore);
    }
    QCOMPARE(received.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i)
        QCOMPARE(describe(received.at(i)), describe(sent.at(i)));
    QCOMPARE(reader.pending(), 0);
}

void TestWire::frameReaderMalformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("framesBefore");
    QTest::addColumn<bool>("malformed");

    const QByteArray good = Semtra::Wire::encodeFrame(Message{1, 1, 1, 1, hex("aa")});
    QTest::newRow("length 0") << hex("00000000") << 0 << true;
    QTest::newRow("length 15") << hex("0f000000") + QByteArray(15, '\0') << 0 << true;
    QTest::newRow("one over the limit") << hex("01000001") << 0 << true;
    QTest::newRow("length ffffffff") << hex("ffffffff") << 0 << true;
    QTest::newRow("after a good frame") << good + hex("03000000") << 1 << true;
    QTest::newRow("at the limit waits") << hex("00000001") + QByteArray(100, '\0') << 0 << false;
    QTest::newRow("length 16, empty data") << hex("10000000") + QByteArray(16, '\0') << 1 << false;
    QTest::newRow("three bytes wait") << hex("ffffff") << 0 << false;
}

void TestWire::frameReaderMalformed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, framesBefore);
    QFETCH(bool, malformed);

    FrameReader reader;
    reader.append(bytes);
    Message m;
    for (int i = 0; i < framesBefore; ++i)
        QCOMPARE(reader.next(&m), FrameReader::Ready);
    const FrameReader::Status last = malformed ? FrameReader::Malformed : FrameReader::NeedMore;
    QCOMPARE(reader.next(&m), last);
    // Stays put until cleared, and reads again afterwards.
    reader.append(Semtra::Wire::encodeFrame(Message{9, 9, 9, 9, QByteArray()}));
    if (malformed)
        QCOMPARE(reader.next(&m), FrameReader::Malformed);
    reader.clear();
    QCOMPARE(reader.pending(), 0);
    reader.append(Semtra::Wire::encodeFrame(Message{9, 9, 9, 9, QByteArray()}));
    QCOMPARE(reader.next(&m), FrameReader::Ready);
    QCOMPARE(m.number, 9);
}

QTEST_MAIN(TestWire)
#include "tst_wire.moc"
