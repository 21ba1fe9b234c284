#include "Velmora/format/Protocol.h"
#include "Values.h"

#include <semtra/Notification.h>
#include <semtra/Wire.h>

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Event 3 at 2023-03-15 12:00 with a uint, a text and bytes, written out by
// hand; value ends: 17, 26, 33.
const QByteArray Event3 = hex("03000000" "0000000010f9e540"
                              "01" "07000000"
                              "02" "04000000" "d097d0b0"
                              "03" "02000000" "00ff");
const QList<int> Event3Ends{17, 26, 33};
const QVariantList Event3Values{7u, QString::fromUtf8("За"), hex("00ff")};

} // namespace

class TestNotification : public QObject
{
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void truncated();
    void fuzz();
};

void TestNotification::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("id");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QVariantList>("values");
    const QDateTime noon(QDate(2023, 3, 15), QTime(12, 0), Qt::UTC);
    const QByteArray head = Event3.left(12);
    QTest::newRow("three values") << Event3 << 3 << noon << Event3Values;
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

void TestNotification::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, id);
    QFETCH(QDateTime, time);
    QFETCH(QVariantList, values);
    const Notification n(QByteArray(bytes.constData(), bytes.size()), Velmora::Protocol::Tag);
    QCOMPARE(n.id(), id);
    QCOMPARE(n.timeStamp(), time);
    QCOMPARE(describe(n.data()), describe(values));
    QCOMPARE(n.tag(), Velmora::Protocol::Tag);
    QCOMPARE(n.bytes(), bytes);
}

// Cut anywhere: a value counts only when all of it is there.
void TestNotification::truncated()
{
    for (int cut = 0; cut <= Event3.size(); ++cut) {
        const Notification n(Event3.left(cut), 0);
        QVariantList expected;
        for (int i = 0; i < Event3Ends.size() && Event3Ends.at(i) <= cut; ++i)
            expected << Event3Values.at(i);
        QCOMPARE(n.id(), cut < 12 ? -1 : 3);
        QCOMPARE(n.timeStamp().isNull(), cut < 12);
        QCOMPARE(describe(n.data()), describe(expected));
    }
}

// Encoded events with bytes overwritten and cut short. Without texts, whatever
// is decoded must encode back to the front of the input.
void TestNotification::fuzz()
{
    QRandomGenerator random(4711);
    for (int round = 0; round < 1000; ++round) {
        QVariantList values;
        for (int i = random.bounded(5); i > 0; --i) {
            const int kind = random.bounded(3);
            const int size = random.bounded(6);
            values << (kind == 0   ? QVariant(random.generate())
                       : kind == 1 ? QVariant(QString(size, QLatin1Char('a' + random.bounded(26))))
                                   : QVariant(QByteArray(size, char(random.bounded(256)))));
        }
        QByteArray bytes = Semtra::Wire::encodeEvent(random.bounded(4), random.generateDouble() * 50000, values);
        for (int n = random.bounded(4); n > 0; --n)
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        bytes.truncate(random.bounded(bytes.size() + 1));

        const Notification n(QByteArray(bytes.constData(), bytes.size()), 0);
        if (bytes.size() < 12) {
            QVERIFY(n.id() == -1 && n.data().isEmpty());
            continue;
        }
        QCOMPARE(quint32(n.id()), qFromLittleEndian<quint32>(bytes.constData()));
        bool hasText = false;
        for (const QVariant& value : n.data())
            hasText = hasText || value.userType() == QMetaType::QString;
        if (!hasText) {
            const QByteArray again = Semtra::Wire::encodeEvent(quint32(n.id()), 0, n.data()).mid(12);
            QCOMPARE(again, bytes.mid(12, again.size()));
        }
    }
}

QTEST_APPLESS_MAIN(TestNotification)
#include "tst_notification.moc"
