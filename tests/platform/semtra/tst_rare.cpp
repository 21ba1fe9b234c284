#include "Values.h"

#include <semtra/Rare.h>
#include <semtra/Wire.h>

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

using Rare::getParam;
using Rare::getParams;

class TestRare : public QObject
{
    Q_OBJECT
private slots:
    void getParamText_data();
    void getParamText();
    void getParamsTypes_data();
    void getParamsTypes();
    void getParamsFuzz();
    void dateTime_data();
    void dateTime();
};

void TestRare::getParamText_data()
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

void TestRare::getParamText()
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

void TestRare::getParamsTypes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QVariant::Type>>("types");
    QTest::addColumn<int>("size"); // handed over, -1: the whole
    QTest::addColumn<QVariantList>("expected");
    using L = QList<QVariant::Type>;
    const QVariant::Type U = QVariant::UInt, S = QVariant::String, B = QVariant::ByteArray;
    const auto row = [](const char* name, const char* hex, const L& types, const QVariantList& values, int size = -1) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << types << size << values;
    };
    row("little-endian, utf-8, bytes", "01020304" "04000000d097d0b0" "0200000000ff", {U, S, B},
        {0x04030201u, QString::fromUtf8("За"), QByteArray::fromHex("00ff")});
    row("empty bytes then uint", "0000000005000000", {B, U}, {QByteArray(), 5u});
    row("more types than values", "0100000002000000", {U, U, U}, {1u, 2u});
    row("unsupported type stops", "0100000002000000", {U, QVariant::Int, U}, {1u});
    row("length one past the end", "0100000004000000616263", {U, S}, {1u});
    row("length ffffffff", "ffffffff61", {B}, {});
    row("length 80000000", "0000008061", {S}, {});
    row("length 7fffffff", "ffffff7f61", {B}, {});
    row("negative size", "0100000001000000", {U, U}, {}, -1 - 0x7fffffff);
}

void TestRare::getParamsTypes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QVariant::Type>, types);
    QFETCH(int, size);
    QFETCH(QVariantList, expected);
    ExactBytes exact(bytes);
    QCOMPARE(describe(getParams(exact.data, size == -1 ? exact.size : size, types)), describe(expected));
    QVERIFY(getParams(nullptr, 16, types).isEmpty());
}

// Valid blocks with bytes overwritten and cut short: whatever comes out must
// encode back to the front of the input, and the value after it must not fit.
void TestRare::getParamsFuzz()
{
    QRandomGenerator random(20240611);
    const QVariant::Type kinds[] = {QVariant::UInt, QVariant::ByteArray, QVariant::ByteArray, QVariant::Int};
    for (int round = 0; round < 1000; ++round) {
        QList<QVariant::Type> types;
        QVariantList values;
        for (int i = random.bounded(6); i > 0; --i) {
            types << kinds[random.bounded(4)];
            QByteArray bytes(random.bounded(12), '\0');
            for (char& c : bytes)
                c = char(random.bounded(256));
            values << (types.last() == QVariant::ByteArray ? QVariant(bytes) : QVariant(random.generate()));
        }
        QByteArray bytes = Semtra::Wire::encodeParams(values, types);
        for (int n = random.bounded(4); n > 0 && !bytes.isEmpty(); --n)
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        const int size = bytes.isEmpty() ? 0 : random.bounded(bytes.size() + 1);

        ExactBytes exact(bytes, size);
        const QVariantList out = getParams(exact.data, exact.size, types);
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
        // Texts are framed as byte arrays are, and keep a NUL inside.
        QList<QVariant::Type> textTypes = types;
        std::replace(textTypes.begin(), textTypes.end(), QVariant::ByteArray, QVariant::String);
        const QVariantList texts = getParams(exact.data, exact.size, textTypes);
        QCOMPARE(texts.size(), out.size());
        for (int i = 0; i < out.size(); ++i) {
            const QByteArray raw = out.at(i).toByteArray();
            if (textTypes.at(i) == QVariant::String)
                QCOMPARE(texts.at(i).toString(), QString::fromUtf8(raw.constData(), raw.size()));
        }
    }
}

void TestRare::dateTime_data()
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

void TestRare::dateTime()
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

QTEST_APPLESS_MAIN(TestRare)
#include "tst_rare.moc"
