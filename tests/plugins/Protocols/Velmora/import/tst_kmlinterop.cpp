// KML exchanged with GDAL, the usual peer of other map software: what we export ogrinfo reads. What GDAL writes
// (folders, closed rings, holes, multipolygons, features without a name) is read by tst_kml's rules.
#include <QDomDocument>
#include <QtTest>

#include "Velmora/import/KmlExport.h"
#include "Velmora/import/KmlImport.h"

namespace {

// Exit code (-1 when it did not end normally), standard output, standard error.
struct Run
{
    int exitCode = -1;
    QString out, err;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// ogrinfo's features as "name=x y,x y,...": the name field and the polygon's outer ring, altitudes left out.
QStringList features(const QString& listing)
{
    static const QRegularExpression feature(QStringLiteral("Name \\(String\\) = ([^\\n]*)\\n(?:[^\\n]*\\n)*?"
                                                           "\\s+POLYGON(?: Z)? \\(\\(([^)]*)\\)"));
    QStringList found;
    for (auto it = feature.globalMatch(listing); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QStringList points;
        for (const QString& point : match.captured(2).split(QLatin1Char(',')))
            points << point.trimmed().section(QLatin1Char(' '), 0, 1);
        found << match.captured(1) + QLatin1Char('=') + points.join(QLatin1Char(','));
    }
    return found;
}

} // namespace

class KmlInteropTest : public QObject
{
    Q_OBJECT

    QString m_ogrinfo;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_ogrinfo = QStandardPaths::findExecutable(QStringLiteral("ogrinfo"));
        if (m_ogrinfo.isEmpty()) {
            // CI installs it: there, a missing GDAL is a broken setup, not a reason to pass.
            if (qgetenv("CI") == "true")
                QFAIL("GDAL's ogrinfo is missing (Debian package gdal-bin), and CI=true");
            QSKIP("GDAL's ogrinfo is not installed (Debian package gdal-bin): KML exchange not checked");
        }
    }

    void ogrinfoReadsExport_data()
    {
        QTest::addColumn<QString>("driver");
        const Run formats = run(m_ogrinfo, {"--formats"});
        for (const QString& driver : {QStringLiteral("KML"), QStringLiteral("LIBKML")})
            if (formats.out.contains(QStringLiteral("\n  %1 -vector-").arg(driver)))
                QTest::newRow(qPrintable(driver)) << driver;
    }
    void ogrinfoReadsExport()
    {
        QFETCH(QString, driver);
        QDomDocument document;
        QVERIFY(document.setContent(QStringLiteral(
            "<Zone name=\"North\"><Geometry>37.5,55.7;37.65,55.7;37.65,55.8;37.5,55.8</Geometry><Areas>"
            "<Area name=\"Центр\"><Geometry>37.51,55.71;37.55,55.71;37.55,55.75</Geometry></Area>"
            "<Area name=\"Park\"><Geometry>37.56,55.72;37.59,55.72;37.59,55.75;37.56,55.72</Geometry></Area>"
            "</Areas></Zone>")));
        const QString kml = m_dir.filePath(QStringLiteral("export.kml"));
        QVERIFY(Velmora::Kml::exportZone(kml, QStringLiteral("Север"), document.documentElement()));
        // GDAL has two KML readers; each row keeps the other one out.
        const QString other = driver == QLatin1String("KML") ? QStringLiteral("LIBKML") : QStringLiteral("KML");
        const Run listing = run(m_ogrinfo, {"--config", "GDAL_SKIP", other, "-ro", "-al", kml});
        QVERIFY2(listing.exitCode == 0, qPrintable(listing.err));
        QVERIFY2(listing.out.contains(QStringLiteral("using driver `%1' successful").arg(driver)),
                 qPrintable(listing.out));
        // Not even a warning: GDAL complains about rings that are not closed.
        QVERIFY2(!listing.err.contains(QLatin1String("Warning")), qPrintable(listing.err));
        QCOMPARE(features(listing.out),
                 (QStringList{"Север=37.5 55.7,37.65 55.7,37.65 55.8,37.5 55.8,37.5 55.7",
                              "Центр=37.51 55.71,37.55 55.71,37.55 55.75,37.51 55.71",
                              "Park=37.56 55.72,37.59 55.72,37.59 55.75,37.56 55.72"}));
    }
};

QTEST_GUILESS_MAIN(KmlInteropTest)
#include "tst_kmlinterop.moc"