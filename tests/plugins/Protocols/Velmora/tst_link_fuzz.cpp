// Random and broken input on every path into the zone link. Buffers are
// allocated at their exact size so that the sanitizer sees any read past them.
#include "LinkTest.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"

#include <semtra/Request.h>
#include <semtra/Response.h>

#include <QRandomGenerator>
#include <QtTest>

#include <memory>
#include <vector>

using namespace LinkTest;
using Velmora::Zone;

namespace {

const int Codes[] = {0x1100, 0x1101, 0x1102, 0x1103, 0x1104, 0x1105, 0x1001, 0x7777};

// A copy in a heap block of exactly its size, seen through a QByteArray.
struct Exact
{
    explicit Exact(const QByteArray& bytes) : data(bytes.begin(), bytes.end()) {}
    QByteArray bytes() const { return QByteArray::fromRawData(data.data(), int(data.size())); }
    std::vector<char> data;
};

class Fuzzer
{
public:
    explicit Fuzzer(quint32 seed) : random(seed) {}

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
        const int kind = below(4);
        return kind == 0 ? uint(below(10)) : kind == 1 ? random.generate() : uint(below(120));
    }

    // Areas texts: mostly well formed, with odd tokens and blanks now and then.
    QString areasText()
    {
        static const char* const odd[] = {"x", "+", "-", "2147483648", "-2147483649", "0x10",
                                          "1e3", "٣", "+7", "-1", "07", ""};
        static const char* const blanks[] = {" ", "  ", "\t", "\n ", " \r\n"};
        QString text;
        for (int i = chance(70) ? 4 * below(5) : below(18); i > 0; --i) {
            text += QString::fromLatin1(blanks[below(5)]);
            text += chance(8) ? QString::fromUtf8(odd[below(int(std::size(odd)))])
                              : QString::number(chance(60) ? below(9) : int(number()));
        }
        return chance(30) ? text + QLatin1Char(' ') : text;
    }

    QByteArray block(int code)
    {
        QVariantList values;
        const QList<QVariant::Type> types = Velmora::CommandTable::replyTypes(code);
        for (QVariant::Type type : types) {
            values << (type == QVariant::UInt     ? QVariant(number())
                           : type == QVariant::String ? QVariant(areasText())
                                                      : QVariant(noise(24)));
        }
        QByteArray bytes = Semtra::Wire::encodeParams(values, types);
        // Now and then a length field that claims more than there is.
        if (chance(20) && bytes.size() >= 4)
            qToLittleEndian(quint32(random.generate()), bytes.data() + below(bytes.size() - 3));
        return bytes;
    }

    // Cut short or with a byte overwritten now and then.
    QByteArray damage(QByteArray bytes)
    {
        if (chance(30))
            bytes.truncate(below(bytes.size() + 1));
        if (chance(10) && !bytes.isEmpty())
            bytes[below(bytes.size())] = char(random.generate());
        return bytes;
    }

    QByteArray reply()
    {
        const int code = Codes[below(int(std::size(Codes)))];
        const quint32 result = chance(80) ? (chance(50) ? 0u : 0x1200u) : random.generate();
        return damage(Semtra::Wire::encodeReply(41000.0 + below(1000), result, quint32(code),
                                                chance(90) ? block(code) : noise(40)));
    }

    QByteArray event()
    {
        QVariantList values;
        for (int i = below(5); i > 0; --i) {
            const int kind = below(6);
            values << (kind == 0   ? QVariant(QString::number(below(10)))
                           : kind == 1 ? QVariant(noise(6))
                                       : QVariant(uint(chance(80) ? below(10) : int(random.generate()))));
        }
        return damage(Semtra::Wire::encodeEvent(uint(chance(90) ? below(4) : below(100)), 40000.5, values));
    }

    QRandomGenerator random;
};

} // namespace

class TestLinkFuzz : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void replies();
    void events();
    void messages();

private:
    std::unique_ptr<Zone> upZone();
    quint32 m_seed = 20240611u;
    // Each run covers a few thousand inputs; set VELMORA_FUZZ_ROUNDS for longer runs.
    int m_rounds = 4000;
};

void TestLinkFuzz::initTestCase()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariableIntValue("VELMORA_FUZZ_SEED", &ok);
    m_seed = ok ? seed : m_seed;
    const int rounds = qEnvironmentVariableIntValue("VELMORA_FUZZ_ROUNDS", &ok);
    m_rounds = ok && rounds > 0 ? rounds : m_rounds;
    qInfo("seed %u, %d rounds (set VELMORA_FUZZ_SEED to repeat another run)", m_seed, m_rounds);
}

std::unique_ptr<Zone> TestLinkFuzz::upZone()
{
    auto zone = std::make_unique<Zone>();
    if (!zone->load(ZoneFile))
        return nullptr;
    zone->message(message(0, 3, QByteArray(8, '\0')));
    // The state query (3) answered; the hash check and the mask stay open.
    zone->message(message(3, 1, stateReply(1, 1, QStringLiteral("3 1 1 0 4 2 2 0"))));
    return zone;
}

void TestLinkFuzz::replies()
{
    auto zone = upZone();
    QVERIFY(zone);
    Fuzzer fuzz(m_seed);
    MessageCapture capture;
    for (int i = 0; i < m_rounds; ++i) {
        const Exact data(fuzz.reply());
        const QByteArray bytes = data.bytes();
        // Half the replies answer a request, so responses decode them too.
        int number = 1000000 + i;
        Response* response = nullptr;
        if (fuzz.chance(50)) {
            response = zone->sendCommand(Velmora::Protocol::GetState);
            number = response->request()->number();
        }
        const QString before = reportedState(*zone);
        const bool used = zone->message(message(number, 1, bytes));
        if (response) {
            QVERIFY(response->isFinished());
            response->data();
            response->resultCode();
        }
        const bool shortHead = bytes.size() < 16;
        QVERIFY(!(shortHead && used));
        // Refused replies and replies with a failing result change nothing.
        const quint32 result = shortHead ? 0 : qFromLittleEndian<quint32>(bytes.constData() + 8);
        if (!shortHead && result != 0 && result != 0x1200)
            QVERIFY(used);
        if (!used || (result != 0 && result != 0x1200))
            QCOMPARE(reportedState(*zone), before);
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
    for (int i = 0; i < m_rounds; ++i) {
        const Exact data(fuzz.event());
        const QByteArray bytes = data.bytes();
        const QString before = reportedState(*zone);
        QVERIFY(zone->message(message(0, 0, bytes)));
        const quint32 id = bytes.size() >= 4 ? qFromLittleEndian<quint32>(bytes.constData()) : 99;
        const QString after = reportedState(*zone);
        if (id > 3 || bytes.size() < 13)
            QCOMPARE(after, before);
        // Events never move the values of another event: zone ones, area ones.
        if (id >= 2)
            QCOMPARE(after.section(' ', 0, 1), before.section(' ', 0, 1));
        if (id <= 1)
            QCOMPARE(after.section(' ', 2), before.section(' ', 2));
        if (i % 500 == 0)
            capture.clear();
    }
}

// Messages of every kind, some for other objects or protocols, as a
// connection hands them on.
void TestLinkFuzz::messages()
{
    auto zone = upZone();
    QVERIFY(zone);
    Fuzzer fuzz(m_seed + 3);
    MessageCapture capture;
    for (int i = 0; i < m_rounds; ++i) {
        const int kind = fuzz.chance(90) ? fuzz.below(5) : fuzz.below(20);
        const Exact data(kind == 0 ? fuzz.event() : kind == 1 ? fuzz.reply() : fuzz.noise(12));
        const int number = fuzz.chance(50) ? fuzz.below(8) : int(fuzz.random.generate());
        const int objectId = fuzz.chance(90) ? ZoneId : fuzz.below(20);
        const int tag = fuzz.chance(95) ? Tag : int(fuzz.random.generate());
        const bool used = zone->message(message(number, kind, data.bytes(), objectId, tag));
        QVERIFY(!used || (objectId == ZoneId && tag == Tag));
        if (i % 500 == 0) {
            capture.clear();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}

QTEST_MAIN(TestLinkFuzz)
#include "tst_link_fuzz.moc"
