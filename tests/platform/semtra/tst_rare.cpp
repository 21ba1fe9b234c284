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

} // namespace

class TestRare : public QObject
{
    Q_OBJECT
private slots:
    void getParamText_data();
    void getParamText();
    void getParamsTypes_data();
    void getParamsTypes();
    void noData();
    void getParamsFuzz();
    void dateTime_data();
    void dateTime();
    void roundTrip();
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
    row("blanks around", " \t42\n ", {42u}, "\n ");
    row("every blank", "1\t2\n3\r4\v5\f6", {1u, 2u, 3u, 4u, 5u, 6u}, {});
    row("leading zeros decimal", "007", {7u}, {});
    row("hex", "0x1F 0XfF 0x000000001", {31u, 255u, 1u}, {});
    row("largest uint", "4294967295 0xFFFFFFFF", {4294967295u, 4294967295u}, {});
    row("uint overflow", "1 4294967296", {1u}, " 4294967296");
    row("hex overflow", "0x100000000", {}, "0x100000000");
    row("hex without digits", "0x", {}, "0x");
    row("negative", "-5 -0 -0x10", {-5, 0, -16}, {});
    row("smallest int", "-2147483648", {std::numeric_limits<int>::min()}, {});
    row("int overflow", "-2147483649", {}, "-2147483649");
    row("lone minus", "- 1", {}, "- 1");
    row("escapes", R"("a\"b\\c")", {QStringLiteral("a\"b\\c")}, {});
    row("empty text", "\"\" 1", {QString(""), 1u}, {});
    row("utf-8 text", "\"Зона 1\"", {QString::fromUtf8("Зона 1")}, {});
    row("unterminated", "1 \"abc", {1u}, " \"abc");
    row("escaped end quote", R"("abc\")", {}, R"("abc\")");
    row("unknown escape", R"("a\nb")", {}, R"("a\nb")");
    row("texts not separated", "\"a\"\"b\"", {}, "\"a\"\"b\"");
    row("bytes", "#ff00A1", {hex("ff00a1")}, {});
    row("no bytes", "# 2", {QByteArray(), 2u}, {});
    row("odd hex digits", "#abc", {}, "#abc");
    row("not hex", "#zz", {}, "#zz");
    row("number with tail", "12abc", {}, "12abc");
    row("comma", "2,60", {}, "2,60");
    row("empty", "", {}, {});
    row("blanks only", "   ", {}, "   ");
    row("mixed", "4097 \"x y\" #01 -1", {4097u, QStringLiteral("x y"), hex("01"), -1}, {});
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
}

void TestRare::getParamsTypes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QVariant::Type>>("types");
    QTest::addColumn<QVariantList>("expected");

    using L = QList<QVariant::Type>;
    const QVariant::Type U = QVariant::UInt, S = QVariant::String, B = QVariant::ByteArray;
    QTest::newRow("uint little-endian") << hex("01020304") << L{U} << QVariantList{0x04030201u};
    QTest::newRow("utf-8 text") << hex("04000000d097d0b0") << L{S} << QVariantList{QString::fromUtf8("За")};
    QTest::newRow("bytes") << hex("0200000000ff") << L{B} << QVariantList{hex("00ff")};
    QTest::newRow("empty bytes then uint") << hex("0000000005000000") << L{B, U} << QVariantList{QByteArray(), 5u};
    QTest::newRow("more types than values") << hex("0100000002000000") << L{U, U, U} << QVariantList{1u, 2u};
    QTest::newRow("bytes left over") << hex("010000000200") << L{U} << QVariantList{1u};
    QTest::newRow("unsupported type stops") << hex("0100000002000000") << L{U, QVariant::Int, U} << QVariantList{1u};
    QTest::newRow("length one past the end") << hex("0100000004000000616263") << L{U, S} << QVariantList{1u};
    QTest::newRow("length ffffffff") << hex("ffffffff61") << L{B} << QVariantList{};
    QTest::newRow("length 80000000") << hex("0000008061") << L{S} << QVariantList{};
    QTest::newRow("length 7fffffff") << hex("ffffff7f61") << L{B} << QVariantList{};
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

void TestRare::noData()
{
    const char* p = nullptr;
    QVERIFY(!getParam(p).isValid());
    QVERIFY(p == nullptr);
    const QList<QVariant::Type> types{QVariant::UInt, QVariant::UInt};
    QVERIFY(getParams(nullptr, 16, types).isEmpty());
    ExactBytes exact(QByteArray(8, '\1'));
    QVERIFY(getParams(exact.data, -1, types).isEmpty());
    QVERIFY(getParams(exact.data, std::numeric_limits<int>::min(), types).isEmpty());
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
        // Texts are framed as byte arrays are, whatever the bytes hold.
        QList<QVariant::Type> textTypes = types;
        std::replace(textTypes.begin(), textTypes.end(), QVariant::ByteArray, QVariant::String);
        const QVariantList texts = getParams(exact.data, exact.size, textTypes);
        QCOMPARE(texts.size(), out.size());
        for (int i = 0; i < out.size(); ++i) {
            // Sized, so that a NUL inside the text is kept.
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
    QTest::newRow("unix epoch") << 25569.0 << utc(1970, 1, 1);
    QTest::newRow("evening") << 45000.75 << utc(2023, 3, 15, 18);
    QTest::newRow("one millisecond") << 25569.5 + 1.0 / 86400000.0 << utc(1970, 1, 1, 12, 0, 0, 1);
    QTest::newRow("rounds to midnight") << 0.9999999999 << utc(1899, 12, 31);
    QTest::newRow("day before epoch") << -1.25 << utc(1899, 12, 29, 6);
    QTest::newRow("earliest") << -657434.0 << utc(100, 1, 1);
    QTest::newRow("latest") << 2958465.5 << utc(9999, 12, 31, 12);
    QTest::newRow("nan") << std::nan("") << QDateTime();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QDateTime();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << QDateTime();
    QTest::newRow("after 9999") << 2958466.0 << QDateTime();
    QTest::newRow("before 100") << -657435.0 << QDateTime();
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << QDateTime();
    QTest::newRow("lowest double") << std::numeric_limits<double>::lowest() << QDateTime();
}

void TestRare::dateTime()
{
    QFETCH(double, stamp);
    QFETCH(QDateTime, expected);

    const QDateTime time = Rare::doubleToDateTime(stamp);
    QCOMPARE(time, expected);
    QCOMPARE(time.isNull(), expected.isNull());
    if (!expected.isNull())
        QCOMPARE(time.timeSpec(), Qt::UTC);
    QCOMPARE(Rare::doubleToTime(stamp), expected.time());
    QCOMPARE(Rare::doubleToTime(stamp).isNull(), expected.isNull());
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
