#include "Velmora/format/Protocol.h"
#include "Values.h"

#include <semtra/Connection.h>
#include <semtra/Wire.h>

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

// The protocol document's example: SET_STRAT 2 60 as request 1 for object 42.
const Message DocumentFrame{1, 42, Semtra::Command::Request, Velmora::Protocol::Tag,
                            hex("01100000" "02000000" "3c000000")};

QString describe(const Message& m)
{
    return QStringLiteral("%1/%2/%3/%4/%5")
        .arg(m.number).arg(m.objectId).arg(m.kind).arg(m.tag).arg(::describe(m.data));
}

} // namespace

class TestWire : public QObject
{
    Q_OBJECT
private slots:
    void queuedSignals();
    void encoders_data();
    void encoders();
    void frameReader_data();
    void frameReader();
};

void TestWire::queuedSignals()
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
    QVERIFY(receiver.messages.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(receiver.messages.size(), 1);
    QCOMPARE(describe(receiver.messages.first()), describe(DocumentFrame));
    QCOMPARE(receiver.states, QList<Semtra::Connection::State>{Semtra::Connection::Closing});
}

void TestWire::encoders_data()
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
    const QList<QVariant::Type> state{QVariant::UInt, QVariant::UInt, QVariant::String};
    QTest::newRow("reply") << encodeReply(25569.0, 4608, 4352, encodeParams({1u, 2u, QStringLiteral("x")}, state))
                           << hex("0000000040f8d840" "00120000" "00110000" "01000000" "02000000" "01000000" "78");
    QTest::newRow("params convert by type")
        << encodeParams({QStringLiteral("12"), 5u}, {QVariant::UInt, QVariant::ByteArray})
        << hex("0c000000" "01000000" "35");
    QTest::newRow("params, fewer values") << encodeParams({1u}, state) << hex("01000000");
    QTest::newRow("params, unsupported type")
        << encodeParams({1u, 2u, 3u}, {QVariant::UInt, QVariant::Double, QVariant::UInt}) << hex("01000000");
    QTest::newRow("event") << encodeEvent(3, 1.25, {5u, QStringLiteral("é"), hex("00"), -1, 2.5})
                           << hex("03000000" "000000000000f43f" "0105000000" "0202000000c3a9" "030100000000"
                                  "01ffffffff");
    // The example frame of the protocol document.
    QTest::newRow("frame") << encodeFrame(DocumentFrame) << hex("1c000000" "01000000" "2a000000" "02000000" "92191129"
                                                                "01100000" "02000000" "3c000000");
}

void TestWire::encoders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes.toHex(), expected.toHex());
}

void TestWire::frameReader_data()
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
void TestWire::frameReader()
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

QTEST_MAIN(TestWire)
#include "tst_wire.moc"
