#include <QtTest>

#include <cmath>
#include <limits>

#include "Velmora/format/GeometryText.h"

using namespace Velmora;

using Points = QVector<QPointF>;
Q_DECLARE_METATYPE(Points)

class GeometryTextTest : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data();
    void numbers();
    void pointLists_data();
    void pointLists();
};

void GeometryTextTest::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("degrees") << 49.1035 << "49.1035";
    QTest::newRow("binary noise rounds away") << 0.1 + 0.2 << "0.3";
    QTest::newRow("zeros left by rounding dropped") << 55.78150000001 << "55.7815";
    QTest::newRow("two thirds rounds up") << 2.0 / 3 << "0.666666666667";
    QTest::newRow("twelve digits stay fixed") << 123456789012.0 << "123456789012";
    QTest::newRow("thirteen digits go to exponent") << 1234567890123.0 << "1.23456789012e+12";
    QTest::newRow("rounding carries into the exponent") << 999999999999.5 << "1e+12";
    QTest::newRow("exponent -4 stays fixed") << 0.0001 << "0.0001";
    QTest::newRow("exponent -5 is shorter") << -0.000025 << "-2.5e-05";
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << "1.79769313486e+308";
}

void GeometryTextTest::numbers()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    // The program's locale has no say in a file format.
    QLocale::setDefault(QLocale(QLocale::German));
    const QString written = Geometry::formatNumber(value);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(written, text);
    // Twelve significant digits: read back within 5e-12 relative.
    QVERIFY(std::abs(written.toDouble() - value) <= 5e-12 * std::abs(value));
}

void GeometryTextTest::pointLists_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << Points() << "";
    QTest::newRow("one") << Points{{1, 2}} << "1,2";
    QTest::newRow("closed square") << Points{{0, 0}, {1000, 0}, {1000, 800}, {0, 0}} << "0,0;1000,0;1000,800;0,0";
    QTest::newRow("mixed forms") << Points{{-1e-7, 1e15}, {2.0 / 3, 49.10351234567891}}
                                 << "-1e-07,1e+15;0.666666666667,49.1035123457";
}

void GeometryTextTest::pointLists()
{
    QFETCH(Points, points);
    QFETCH(QString, text);
    QCOMPARE(Geometry::formatPoints(points), text);
    // What was written once reads back to the same text.
    Points read;
    QCOMPARE(Geometry::parsePoints(text, &read), !points.isEmpty());
    QCOMPARE(read.size(), points.size());
    QCOMPARE(Geometry::formatPoints(read), text);
}

QTEST_APPLESS_MAIN(GeometryTextTest)
#include "tst_geometrytext.moc"
