#include "Values.h"

#include <semtra/Rare.h>
#include <semtra/Wire.h>

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

using Rare::getParam;
using Rare::getParams;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QVariantList readAll(const char*& p)
{
    QVariantList values;
    for (QVariant v = getParam(p); v.isValid(); v = getParam(p))
        values << v;
    return values;
}

// A block with one value of each kind, and where each value ends.
struct Block
{
    QList<QVariant::Type> types{QVariant::UInt, QVariant::String, QVariant::ByteArray, QVariant::UInt};
    QVariantList values{7u, QString::fromUtf8("Зона"), QByteArray("\0\1\2", 3), 0xFFFFFFFFu};
    QByteArray bytes = Semtra::Wire::encodeParams(values, types);
    QList<int> ends{4, 4 + 4 + 8, 16 + 4 + 3, 23 + 4};
};

} // namespace

class TestRare : public QObject
{
    Q_OBJECT
private slots:
    void getParamText_data();
    void getParamText();
    void getParamNull();

    void getParamsTypes_data();
    void getParamsTypes();
    void getParamsTruncated();
    void getParamsNoData();
    void getParamsFuzz();

    void dateTime_data();
    void dateTime();
    void invalidStamp_data();
    void invalidStamp();
    void roundTrip();
};

void TestRare::getParamText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVariantList>("expected");
    // What is left when reading stops: a bad value stays unread.
    QTest::addColumn<QByteArray>("rest");

    QTest::newRow("two numbers") << QByteArray("2 60") << QVariantList{2u, 60u} << QByteArray();
    QTest::newRow("blanks around") << QByteArray(" \t42\n ") << QVariantList{42u} << QByteArray("\n ");
    QTest::newRow("every blank") << QByteArray("1\t2\n3\r4\v5\f6") << QVariantList{1u, 2u, 3u, 4u, 5u, 6u} << QByteArray();
    QTest::newRow("leading zeros decimal") << QByteArray("007") << QVariantList{7u} << QByteArray();
    QTest::newRow("hex") << QByteArray("0x1F 0XfF 0x000000001") << QVariantList{31u, 255u, 1u} << QByteArray();
    QTest::newRow("largest uint") << QByteArray("4294967295 0xFFFFFFFF") << QVariantList{4294967295u, 4294967295u} << QByteArray();
    QTest::newRow("uint overflow") << QByteArray("1 4294967296") << QVariantList{1u} << QByteArray(" 4294967296");
    QTest::newRow("hex overflow") << QByteArray("0x100000000") << QVariantList{} << QByteArray("0x100000000");
    QTest::newRow("hex without digits") << QByteArray("0x") << QVariantList{} << QByteArray("0x");
    QTest::newRow("negative") << QByteArray("-5 -0 -0x10") << QVariantList{-5, 0, -16} << QByteArray();
    QTest::newRow("smallest int") << QByteArray("-2147483648") << QVariantList{std::numeric_limits<int>::min()} << QByteArray();
    QTest::newRow("int overflow") << QByteArray("-2147483649") << QVariantList{} << QByteArray("-2147483649");
    QTest::newRow("lone minus") << QByteArray("- 1") << QVariantList{} << QByteArray("- 1");
    QTest::newRow("text") << QByteArray("\"hello world\"") << QVariantList{QStringLiteral("hello world")} << QByteArray();
    QTest::newRow("escapes") << QByteArray(R"("a\"b\\c")") << QVariantList{QStringLiteral("a\"b\\c")} << QByteArray();
    QTest::newRow("empty text") << QByteArray("\"\" 1") << QVariantList{QString(""), 1u} << QByteArray();
    QTest::newRow("utf-8 text") << QByteArray("\"Зона 1\"") << QVariantList{QString::fromUtf8("Зона 1")} << QByteArray();
    QTest::newRow("unterminated") << QByteArray("1 \"abc") << QVariantList{1u} << QByteArray(" \"abc");
    QTest::newRow("escaped end quote") << QByteArray(R"("abc\")") << QVariantList{} << QByteArray(R"("abc\")");
    QTest::newRow("unknown escape") << QByteArray(R"("a\nb")") << QVariantList{} << QByteArray(R"("a\nb")");
    QTest::newRow("texts not separated") << QByteArray("\"a\"\"b\"") << QVariantList{} << QByteArray("\"a\"\"b\"");
    QTest::newRow("bytes") << QByteArray("#ff00A1") << QVariantList{hex("ff00a1")} << QByteArray();
    QTest::newRow("no bytes") << QByteArray("# 2") << QVariantList{QByteArray(), 2u} << QByteArray();
    QTest::newRow("odd hex digits") << QByteArray("#abc") << QVariantList{} << QByteArray("#abc");
    QTest::newRow("not hex") << QByteArray("#zz") << QVariantList{} << QByteArray("#zz");
    QTest::newRow("number with tail") << QByteArray("12abc") << QVariantList{} << QByteArray("12abc");
    QTest::newRow("comma") << QByteArray("2,60") << QVariantList{} << QByteArray("2,60");
    QTest::newRow("word") << QByteArray("1 2 x 3") << QVariantList{1u, 2u} << QByteArray(" x 3");
    QTest::newRow("empty") << QByteArray("") << QVariantList{} << QByteArray();
    QTest::newRow("blanks only") << QByteArray("   ") << QVariantList{} << QByteArray("   ");
    QTest::newRow("mixed") << QByteArray("4097 \"x y\" #01 -1")
                           << QVariantList{4097u, QStringLiteral("x y"), hex("01"), -1} << QByteArray();
}

void TestRare::getParamText()
{
    QFETCH(QByteArray, text);
    QFETCH(QVariantList, expected);
    QFETCH(QByteArray, rest);

    const char* p = text.constData();
    const QVariantList values = readAll(p);
    QCOMPARE(describe(values), describe(expected));
    QCOMPARE(QByteArray(p), rest);
}

void TestRare::getParamNull()
{
    const char* p = nullptr;
    QVERIFY(!getParam(p).isValid());
    QVERIFY(p == nullptr);
}

void TestRare::getParamsTypes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QVariant::Type>>("types");
    QTest::addColumn<QVariantList>("expected");

    using L = QList<QVariant::Type>;
    QTest::newRow("uint little-endian") << hex("01020304") << L{QVariant::UInt} << QVariantList{0x04030201u};
    QTest::newRow("text") << hex("03000000616263") << L{QVariant::String} << QVariantList{QStringLiteral("abc")};
    QTest::newRow("utf-8 text") << hex("04000000d097d0b0") << L{QVariant::String} << QVariantList{QString::fromUtf8("За")};
    QTest::newRow("bytes") << hex("0200000000ff") << L{QVariant::ByteArray} << QVariantList{hex("00ff")};
    QTest::newRow("empty bytes then uint") << hex("0000000005000000") << L{QVariant::ByteArray, QVariant::UInt}
                                           << QVariantList{QByteArray(), 5u};
    QTest::newRow("more types than values") << hex("0100000002000000") << L{QVariant::UInt, QVariant::UInt, QVariant::UInt}
                                            << QVariantList{1u, 2u};
    QTest::newRow("bytes left over") << hex("010000000200") << L{QVariant::UInt} << QVariantList{1u};
    QTest::newRow("unsupported type stops") << hex("0100000002000000") << L{QVariant::UInt, QVariant::Int, QVariant::UInt}
                                            << QVariantList{1u};
    QTest::newRow("length one past the end") << hex("0100000004000000616263") << L{QVariant::UInt, QVariant::String}
                                             << QVariantList{1u};
    QTest::newRow("length ffffffff") << hex("ffffffff61") << L{QVariant::ByteArray} << QVariantList{};
    QTest::newRow("length 80000000") << hex("0000008061") << L{QVariant::String} << QVariantList{};
    QTest::newRow("length 7fffffff") << hex("ffffff7f61") << L{QVariant::ByteArray} << QVariantList{};
    QTest::newRow("no types") << hex("01000000") << L{} << QVariantList{};
}

void TestRare::getParamsTypes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QVariant::Type>, types);
    QFETCH(QVariantList, expected);

    ExactBytes exact(bytes);
    QCOMPARE(describe(getParams(exact.data, exact.size, types)), describe(expected));
}

void TestRare::getParamsTruncated()
{
    const Block block;
    for (int cut = 0; cut <= block.bytes.size(); ++cut) {
        QVariantList expected;
        for (int i = 0; i < block.values.size() && block.ends.at(i) <= cut; ++i)
            expected << block.values.at(i);
        ExactBytes exact(block.bytes, cut);
        QCOMPARE(describe(getParams(exact.data, exact.size, block.types)), describe(expected));
    }
}

void TestRare::getParamsNoData()
{
    const Block block;
    QVERIFY(getParams(nullptr, 16, block.types).isEmpty());
    ExactBytes exact(block.bytes);
    QVERIFY(getParams(exact.data, -1, block.types).isEmpty());
    QVERIFY(getParams(exact.data, std::numeric_limits<int>::min(), block.types).isEmpty());
}

// Valid blocks with bytes overwritten and cut short: whatever comes out must
// encode back to the front of the input, and the value after it must not fit.
void TestRare::getParamsFuzz()
{
    QRandomGenerator random(20240611);
    const QVariant::Type kinds[] = {QVariant::UInt, QVariant::ByteArray, QVariant::ByteArray, QVariant::Int};
    for (int round = 0; round < 5000; ++round) {
        QList<QVariant::Type> types;
        QVariantList values;
        const int count = random.bounded(6);
        for (int i = 0; i < count; ++i) {
            const QVariant::Type type = kinds[random.bounded(4)];
            types << type;
            if (type == QVariant::ByteArray) {
                QByteArray bytes(random.bounded(12), '\0');
                for (char& c : bytes)
                    c = char(random.bounded(256));
                values << bytes;
            } else {
                values << random.generate();
            }
        }
        QByteArray bytes = Semtra::Wire::encodeParams(values, types);
        for (int n = random.bounded(4); n > 0 && !bytes.isEmpty(); --n)
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        const int size = bytes.isEmpty() ? 0 : random.bounded(bytes.size() + 1);

        ExactBytes exact(bytes, size);
        const QVariantList out = getParams(exact.data, exact.size, types);
        QVERIFY(out.size() <= types.size());
        const QByteArray used = Semtra::Wire::encodeParams(out, types);
        QCOMPARE(used, bytes.left(used.size()));
        QVERIFY(used.size() <= size);
        if (out.size() < types.size()) {
            const int left = size - used.size();
            const QVariant::Type next = types.at(out.size());
            const quint32 length = left >= 4 ? qFromLittleEndian<quint32>(exact.data + used.size()) : 0;
            const bool fits = next == QVariant::UInt ? left >= 4
                : next == QVariant::ByteArray ? left >= 4 && length <= quint32(left - 4)
                : false;
            QVERIFY2(!fits, qPrintable(QStringLiteral("round %1 stopped early").arg(round)));
        }
        // Texts are framed as byte arrays are, whatever the bytes hold.
        QList<QVariant::Type> textTypes = types;
        std::replace(textTypes.begin(), textTypes.end(), QVariant::ByteArray, QVariant::String);
        const QVariantList texts = getParams(exact.data, exact.size, textTypes);
        QCOMPARE(texts.size(), out.size());
        for (int i = 0; i < out.size(); ++i) {
            if (textTypes.at(i) == QVariant::String) {
                // Sized, so that a NUL inside the text is kept.
                const QByteArray raw = out.at(i).toByteArray();
                QCOMPARE(texts.at(i).toString(), QString::fromUtf8(raw.constData(), raw.size()));
            }
        }
    }
}

void TestRare::dateTime_data()
{
    QTest::addColumn<double>("stamp");
    QTest::addColumn<QDateTime>("expected");

    const auto utc = [](int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    };
    QTest::newRow("epoch") << 0.0 << utc(1899, 12, 30);
    QTest::newRow("unix epoch") << 25569.0 << utc(1970, 1, 1);
    QTest::newRow("2000") << 36526.0 << utc(2000, 1, 1);
    QTest::newRow("noon") << 45000.5 << utc(2023, 3, 15, 12);
    QTest::newRow("evening") << 45000.75 << utc(2023, 3, 15, 18);
    QTest::newRow("one millisecond") << 25569.5 + 1.0 / 86400000.0 << utc(1970, 1, 1, 12, 0, 0, 1);
    QTest::newRow("rounds to midnight") << 0.9999999999 << utc(1899, 12, 31);
    QTest::newRow("day after epoch") << 1.25 << utc(1899, 12, 31, 6);
    QTest::newRow("day before epoch") << -1.25 << utc(1899, 12, 29, 6);
    QTest::newRow("earliest") << -657434.0 << utc(100, 1, 1);
    QTest::newRow("latest") << 2958465.5 << utc(9999, 12, 31, 12);
}

void TestRare::dateTime()
{
    QFETCH(double, stamp);
    QFETCH(QDateTime, expected);

    const QDateTime time = Rare::doubleToDateTime(stamp);
    QCOMPARE(time, expected);
    QCOMPARE(time.timeSpec(), Qt::UTC);
    QCOMPARE(Rare::doubleToTime(stamp), expected.time());
}

void TestRare::invalidStamp_data()
{
    QTest::addColumn<double>("stamp");
    QTest::newRow("nan") << std::nan("");
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    QTest::newRow("huge") << 1e300;
    QTest::newRow("minus huge") << -1e300;
    QTest::newRow("after 9999") << 2958466.0;
    QTest::newRow("before 100") << -657435.0;
    QTest::newRow("largest double") << std::numeric_limits<double>::max();
}

void TestRare::invalidStamp()
{
    QFETCH(double, stamp);
    QVERIFY(Rare::doubleToDateTime(stamp).isNull());
    QVERIFY(Rare::doubleToTime(stamp).isNull());
}

void TestRare::roundTrip()
{
    QVERIFY(std::isnan(Semtra::Wire::dateTimeToDouble(QDateTime())));
    const QDateTime offset(QDate(2024, 1, 1), QTime(2, 0), Qt::OffsetFromUTC, 3 * 3600);
    QCOMPARE(Rare::doubleToDateTime(Semtra::Wire::dateTimeToDouble(offset)), offset.toUTC());

    // Milliseconds across the whole range, on both sides of the epoch.
    QRandomGenerator random(7);
    const QDateTime first(QDate(100, 1, 1), QTime(0, 0), Qt::UTC);
    const qint64 span = first.msecsTo(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC));
    for (int i = 0; i < 20000; ++i) {
        const QDateTime time = first.addMSecs(qint64(random.generateDouble() * double(span)));
        QCOMPARE(Rare::doubleToDateTime(Semtra::Wire::dateTimeToDouble(time)), time);
    }
}

QTEST_APPLESS_MAIN(TestRare)
#include "tst_rare.moc"
