// Random and broken input on every path into the zone link. Buffers are
// allocated at their exact size so that the sanitizer sees any read past them.
#include "Velmora/format/Protocol.h"
#include "Velmora/Area.h"
#include "Velmora/CommandTable.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "ReportedState.h"
#include "Velmora/Zone.h"
#include "Velmora/ZonePrivate.h"

#include <semtra/Request.h>
#include <semtra/Response.h>
#include <semtra/Wire.h>

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

using Semtra::Command::Message;
using Velmora::Area;
using Velmora::Zone;

namespace {

constexpr int Tag = Velmora::Protocol::Tag;
constexpr int ZoneId = 12;
const QString ZoneFile = QStringLiteral(VELMORA_TEST_DATA "/link/zone.xtsc");
const int Codes[] = {0x1100, 0x1101, 0x1102, 0x1103, 0x1104, 0x1105, 0x1001, 0x7777};

// Bytes in a heap block of exactly their size, seen through a QByteArray that
// does not copy them.
class Exact
{
public:
    explicit Exact(const QByteArray& bytes)
        : m_data(new char[size_t(qMax(bytes.size(), 1))])
        , m_size(bytes.size())
    {
        std::copy(bytes.constData(), bytes.constData() + bytes.size(), m_data.get());
    }
    QByteArray bytes() const { return QByteArray::fromRawData(m_data.get(), m_size); }

private:
    std::unique_ptr<char[]> m_data;
    int m_size;
};

Message message(int number, int kind, const QVariant& data)
{
    Message m;
    m.number = number;
    m.objectId = ZoneId;
    m.kind = kind;
    m.tag = Tag;
    m.data = data;
    return m;
}

class Fuzzer
{
public:
    explicit Fuzzer(quint32 seed)
        : random(seed)
    {
    }

    int below(int n) { return int(random.bounded(quint32(n))); }
    bool chance(int percent) { return below(100) < percent; }

    QByteArray noise(int maxSize)
    {
        QByteArray bytes(below(maxSize + 1), '\0');
        for (char& c : bytes)
            c = char(random.bounded(256u));
        return bytes;
    }

    // Mostly small numbers, sometimes extreme ones.
    uint number()
    {
        switch (below(4)) {
        case 0:
            return uint(below(10));
        case 1:
            return random.generate();
        default:
            return uint(below(120));
        }
    }

    QString areasText()
    {
        static const char* const oddTokens[] = {"x", "+", "-", "2147483648", "-2147483649", "0x10",
                                                "1e3", "٣", "+7", "-1", "07", ""};
        QStringList tokens;
        const int count = chance(70) ? 4 * below(5) : below(18);
        for (int i = 0; i < count; ++i) {
            if (chance(8))
                tokens << QString::fromUtf8(oddTokens[below(int(std::size(oddTokens)))]);
            else
                tokens << QString::number(chance(60) ? below(9) : int(number()));
        }
        static const char* const blanks[] = {" ", "  ", "\t", "\n ", " \r\n"};
        QString text;
        for (const QString& token : qAsConst(tokens))
            text += QString::fromLatin1(blanks[below(5)]) + token;
        if (chance(30))
            text += QLatin1Char(' ');
        return text;
    }

    QByteArray block(int code)
    {
        QVariantList values;
        const QList<QVariant::Type> types = Velmora::CommandTable::replyTypes(code);
        for (QVariant::Type type : types) {
            if (type == QVariant::UInt)
                values << number();
            else if (type == QVariant::String)
                values << areasText();
            else
                values << noise(24);
        }
        QByteArray bytes = Semtra::Wire::encodeParams(values, types);
        if (chance(20) && bytes.size() >= 4) {
            // A length field that claims more than there is.
            const int at = below(bytes.size() - 3);
            qToLittleEndian(quint32(random.generate()), bytes.data() + at);
        }
        return bytes;
    }

    // A reply, truncated or corrupted now and then.
    QByteArray reply()
    {
        const int code = Codes[below(int(std::size(Codes)))];
        const quint32 result = chance(80) ? (chance(50) ? 0u : 0x1200u) : random.generate();
        QByteArray bytes = Semtra::Wire::encodeReply(41000.0 + below(1000), result, quint32(code),
                                                     chance(90) ? block(code) : noise(40));
        if (chance(30))
            bytes.truncate(below(bytes.size() + 1));
        if (chance(10) && !bytes.isEmpty())
            bytes[below(bytes.size())] = char(random.generate());
        return bytes;
    }

    QByteArray event()
    {
        QVariantList values;
        const int count = below(5);
        for (int i = 0; i < count; ++i) {
            switch (below(6)) {
            case 0:
                values << QString::number(below(10));
                break;
            case 1:
                values << noise(6);
                break;
            default:
                values << uint(chance(80) ? below(10) : int(random.generate()));
                break;
            }
        }
        QByteArray bytes = Semtra::Wire::encodeEvent(uint(chance(90) ? below(4) : below(100)),
                                                     40000.5, values);
        if (chance(30))
            bytes.truncate(below(bytes.size() + 1));
        if (chance(10) && !bytes.isEmpty())
            bytes[below(bytes.size())] = char(random.generate());
        return bytes;
    }

    QRandomGenerator random;
};

quint32 seed()
{
    bool ok = false;
    const quint32 value = qEnvironmentVariableIntValue("VELMORA_FUZZ_SEED", &ok);
    return ok ? value : 20240611u;
}

// The model's reported values in a comparable form.
QString snapshot(Zone& zone)
{
    return reportedState(zone, {3, 4, 7});
}

} // namespace

class TestLinkFuzz : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void replies();
    void events();
    void areasStrings_data();
    void areasStrings();
    void frames();

private:
    std::unique_ptr<Zone> upZone();
    quint32 m_seed = 0;
};

void TestLinkFuzz::initTestCase()
{
    m_seed = seed();
    qInfo("seed %u (set VELMORA_FUZZ_SEED to repeat another run)", m_seed);
}

std::unique_ptr<Zone> TestLinkFuzz::upZone()
{
    auto zone = std::make_unique<Zone>();
    if (!zone->load(ZoneFile))
        return nullptr;
    zone->message(message(0, 3, QByteArray(8, '\0')));
    // The state query (3) answered; the hash check and the mask stay open.
    zone->message(message(3, 1,
                          Semtra::Wire::encodeReply(
                              0, 0, 0x1100,
                              Semtra::Wire::encodeParams({1u, 1u, QStringLiteral("3 1 1 0 4 2 2 0")},
                                                         {QVariant::UInt, QVariant::UInt,
                                                          QVariant::String}))));
    return zone;
}

void TestLinkFuzz::replies()
{
    auto zone = upZone();
    QVERIFY(zone);
    Fuzzer fuzz(m_seed);
    MessageCapture capture;
    for (int i = 0; i < 20000; ++i) {
        const Exact data(fuzz.reply());
        const QByteArray bytes = data.bytes();
        // Half the replies answer a request, so responses decode them too.
        int number = 1000000 + i;
        Response* response = nullptr;
        if (fuzz.chance(50)) {
            response = zone->sendCommand(Velmora::Protocol::GetState);
            number = response->request()->number();
        }
        const QString before = snapshot(*zone);
        const bool used = zone->message(message(number, 1, bytes));
        if (response) {
            QVERIFY(response->isFinished());
            response->data();
            response->resultCode();
        }
        const bool shortHead = bytes.size() < 16;
        if (shortHead)
            QVERIFY(!used);
        if (!used || shortHead)
            QCOMPARE(snapshot(*zone), before);
        if (!shortHead) {
            const quint32 result = qFromLittleEndian<quint32>(bytes.constData() + 8);
            if (result != 0 && result != 0x1200) {
                QVERIFY(used);
                QCOMPARE(snapshot(*zone), before);
            }
        }
        if (i % 500 == 0) {
            capture.clear();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}

void TestLinkFuzz::events()
{
    auto zone = upZone();
    QVERIFY(zone);
    Fuzzer fuzz(m_seed + 1);
    MessageCapture capture;
    for (int i = 0; i < 20000; ++i) {
        const Exact data(fuzz.event());
        const QByteArray bytes = data.bytes();
        const QString before = snapshot(*zone);
        QVERIFY(zone->message(message(0, 0, bytes)));
        const quint32 id = bytes.size() >= 4 ? qFromLittleEndian<quint32>(bytes.constData()) : 99;
        if (id > 3 || bytes.size() < 13)
            QCOMPARE(snapshot(*zone), before);
        // Events never move the zone values of another event.
        const QString after = snapshot(*zone);
        if (id >= 2)
            QCOMPARE(after.section(' ', 0, 1), before.section(' ', 0, 1));
        if (id <= 1)
            QCOMPARE(after.section(' ', 2), before.section(' ', 2));
        if (i % 500 == 0)
            capture.clear();
    }
}

void TestLinkFuzz::areasStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("areas"); // areas 3, 4, 7 afterwards; "kept" when refused
    const QString kept = QStringLiteral("kept");
    const QString only3 = QStringLiteral("3:1,2,0 4:-1,-1,-1 7:-1,-1,-1");
    QTest::newRow("one group") << "3 1 2 0" << only3;
    QTest::newRow("white space of every kind") << " \t3\n 1  2 0 \r\n" << only3;
    QTest::newRow("signs and a leading zero") << "+3 +1 07 -1" << "3:1,7,-1 4:-1,-1,-1 7:-1,-1,-1";
    QTest::newRow("later group wins") << "3 1 2 0 3 2 2 0" << "3:2,2,0 4:-1,-1,-1 7:-1,-1,-1";
    QTest::newRow("unknown area only") << "9 1 1 1" << "3:-1,-1,-1 4:-1,-1,-1 7:-1,-1,-1";
    QTest::newRow("smallest int") << "-2147483648 1 1 1 4 3 3 3" << "3:-1,-1,-1 4:3,3,3 7:-1,-1,-1";
    QTest::newRow("three tokens") << "3 1 2" << kept;
    QTest::newRow("empty") << "" << kept;
    QTest::newRow("blanks only") << " \t " << kept;
    QTest::newRow("past int") << "3 1 2147483648 0" << kept;
    QTest::newRow("hex") << "3 0x10 1 0" << kept;
    QTest::newRow("exponent") << "3 1e3 1 0" << kept;
    QTest::newRow("lone sign") << "3 - 1 0" << kept;
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("3 \u0663 1 0") << kept;
    QTest::newRow("bad token in second group") << "3 1 2 0 4 x 2 0" << kept;
}

void TestLinkFuzz::areasStrings()
{
    QFETCH(QString, text);
    QFETCH(QString, areas);
    auto zone = upZone();
    QVERIFY(zone);
    const QString before = snapshot(*zone);
    MessageCapture capture;
    const Exact data(Semtra::Wire::encodeReply(
        0, 0, 0x1100,
        Semtra::Wire::encodeParams({1u, 1u, text}, {QVariant::UInt, QVariant::UInt, QVariant::String})));
    QVERIFY(zone->message(message(99, 1, data.bytes())));
    const bool refused = areas == QLatin1String("kept");
    QCOMPARE(capture.contains(QStringLiteral("Invalid areas state")), refused);
    if (refused)
        QCOMPARE(snapshot(*zone), before);
    else
        QCOMPARE(snapshot(*zone).section(' ', 2), areas);
}

void TestLinkFuzz::frames()
{
    // Whole frames in random chunks, some cut short or garbled, as a
    // connection would hand them on.
    auto zone = upZone();
    QVERIFY(zone);
    Fuzzer fuzz(m_seed + 3);
    MessageCapture capture;
    Semtra::Wire::FrameReader reader;
    int delivered = 0;
    for (int i = 0; i < 10000; ++i) {
        Message m;
        m.number = fuzz.chance(50) ? fuzz.below(8) : int(fuzz.random.generate());
        m.objectId = fuzz.chance(90) ? ZoneId : fuzz.below(20);
        m.kind = fuzz.chance(90) ? fuzz.below(5) : fuzz.below(20);
        m.tag = fuzz.chance(95) ? Tag : int(fuzz.random.generate());
        m.data = m.kind == 0 ? fuzz.event() : m.kind == 1 ? fuzz.reply() : fuzz.noise(12);
        QByteArray frame = Semtra::Wire::encodeFrame(m);
        if (fuzz.chance(5))
            frame = fuzz.noise(30);
        while (!frame.isEmpty()) {
            const int cut = 1 + fuzz.below(frame.size());
            reader.append(frame.left(cut));
            frame.remove(0, cut);
            Message next;
            Semtra::Wire::FrameReader::Status status;
            while ((status = reader.next(&next)) == Semtra::Wire::FrameReader::Ready) {
                const Exact data(next.data.toByteArray());
                next.data = data.bytes();
                zone->message(next);
                ++delivered;
            }
            if (status == Semtra::Wire::FrameReader::Malformed)
                reader.clear();
        }
        // Bytes left after a whole frame are garbage: start afresh, as a
        // connection would after dropping the link.
        if (reader.pending() > 0)
            reader.clear();
        if (i % 500 == 0) {
            capture.clear();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    QVERIFY2(delivered > 5000, qPrintable(QString::number(delivered)));
}

QTEST_MAIN(TestLinkFuzz)
#include "tst_link_fuzz.moc"
