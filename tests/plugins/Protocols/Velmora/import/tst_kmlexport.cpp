// Writing outlines as KML, and reading them back through the import dialog.
#include <QDialogButtonBox>
#include <QDir>
#include <QDomDocument>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include "DomText.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/format/XmlText.h"
#include "Velmora/import/KmlExport.h"
#include "Velmora/import/KmlImport.h"
#include "Velmora/import/KmlImportDlg.h"

namespace {

const QString kml22 = QStringLiteral("http://www.opengis.net/kml/2.2");

// A zone element with the given outlines: the zone's first, then "name=outline"
// for each area ("name" alone: an area without Geometry).
QDomElement makeZone(QDomDocument* document, const QString& zoneOutline, const QStringList& areas)
{
    QDomElement zone = document->createElement(QStringLiteral("Zone"));
    zone.setAttribute(QStringLiteral("name"), QStringLiteral("North"));
    document->appendChild(zone);
    const auto addGeometry = [document](QDomElement element, const QString& text) {
        element.appendChild(document->createElement(QStringLiteral("Geometry")))
            .appendChild(document->createTextNode(text));
    };
    addGeometry(zone, zoneOutline);
    QDomElement list = zone.appendChild(document->createElement(QStringLiteral("Areas"))).toElement();
    for (const QString& area : areas) {
        QDomElement element = list.appendChild(document->createElement(QStringLiteral("Area"))).toElement();
        element.setAttribute(QStringLiteral("name"), area.section(QLatin1Char('='), 0, 0));
        if (area.contains(QLatin1Char('=')))
            addGeometry(element, area.section(QLatin1Char('='), 1));
    }
    return zone;
}

QStringList outlines(const QDomElement& zone)
{
    QStringList texts{Velmora::Xml::firstText(zone.firstChildElement(QStringLiteral("Geometry")))};
    for (const QDomElement& area : Velmora::Kml::areaElements(zone))
        texts << Velmora::Xml::firstText(area.firstChildElement(QStringLiteral("Geometry")));
    return texts;
}

// The KML elements at `path` below `parent`, every step in the KML 2.2 namespace.
QDomElement childAt(QDomElement parent, const QStringList& path)
{
    for (const QString& name : path) {
        QDomElement child = parent.firstChildElement();
        while (!child.isNull() && (child.namespaceURI() != kml22 || child.localName() != name))
            child = child.nextSiblingElement();
        parent = child;
    }
    return parent;
}

} // namespace

class KmlExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void document();
    void exportThenImport();
    void unwritableTarget();
    void failedWriteKeepsTheOldFile();

private:
    QTemporaryDir m_dir;
};

void KmlExportTest::document()
{
    QDomDocument zoneDocument;
    // Outlines the map would not draw give no placemark.
    const QDomElement zone = makeZone(&zoneDocument, "0,0;9,0;9,9",
                                      {"Центр=1,1;2,1;2,2", "Park", "Empty=", "Trailing=0,0;1,0;1,1;", "Short=0,0;1",
                                       "Line=0,0;1,1", "Nan=0,0;nan,0;1,1", "Closed=0,0;1,0;1,1;0.0,0",
                                       "Blanks= 1.5 , 2 ;\n3,2;\t3,4.25 ", "=5,5;6,5;6,6"});
    const QString file = m_dir.filePath(QStringLiteral("document.kml"));
    QString error;
    QVERIFY(Velmora::Kml::exportZone(file, QStringLiteral("Север"), zone, &error));
    QCOMPARE(error, QString());

    const QByteArray bytes = readFile(file);
    QVERIFY2(bytes.startsWith(R"(<?xml version="1.0" encoding="UTF-8"?>)"), bytes.constData());
    QVERIFY(bytes.contains(u8"<name>Центр</name>"));

    QDomDocument kml;
    QVERIFY(kml.setContent(bytes, true));
    const QDomElement root = kml.documentElement();
    QCOMPARE(root.namespaceURI(), kml22);
    QCOMPARE(root.localName(), QStringLiteral("kml"));
    // The editor's name field names the zone; rings are closed, numbers kept as written.
    QStringList placemarks;
    const QDomNodeList all = childAt(root, {"Document"}).elementsByTagNameNS(kml22, QStringLiteral("Placemark"));
    for (int i = 0; i < all.size(); ++i) {
        const QDomElement placemark = all.at(i).toElement();
        placemarks << childAt(placemark, {"name"}).text() + QLatin1Char('=')
                + childAt(placemark, {"Polygon", "outerBoundaryIs", "LinearRing", "coordinates"}).text();
    }
    QCOMPARE(placemarks, (QStringList{"Север=0,0,0 9,0,0 9,9,0 0,0,0 ", "Центр=1,1,0 2,1,0 2,2,0 1,1,0 ",
                                      "Closed=0,0,0 1,0,0 1,1,0 0,0,0 ", "Blanks=1.5,2,0 3,2,0 3,4.25,0 1.5,2,0 ",
                                      "=5,5,0 6,5,0 6,6,0 5,5,0 "}));
}

// What we write reads back through the import as it was: numbers as the
// editors write them (exponents, twelve digits) and as written by hand.
void KmlExportTest::exportThenImport()
{
    const QStringList outlines{"37.5,55.7;37.65,55.7;37.65,55.8;37.5,55.8",
                               "37.6175123457,55.7512;0.50,0.50;1.000,0.5;-180,-90",
                               "-0.1275,51.5072;1e-05,51.5;-1.5e-05,51.49"};
    QDomDocument document;
    QDomElement zone = makeZone(&document, outlines.first(), {"A=" + outlines.at(1), "B=" + outlines.at(2)});
    const QString file = m_dir.filePath(QStringLiteral("roundtrip.kml"));
    QVERIFY(Velmora::Kml::exportZone(file, QStringLiteral("North"), zone));

    QDomDocument target;
    QDomElement blank = makeZone(&target, QString(), {"A=", "B="});
    KmlImportDlg dialog(file, QStringLiteral("North"), Velmora::Kml::areaNames(blank));
    dialog.show();
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QString zoneName = QStringLiteral("North");
    Velmora::Kml::applyImport(dialog, blank, &zoneName);
    QCOMPARE(::outlines(blank), outlines);
}

void KmlExportTest::unwritableTarget()
{
    QDomDocument document;
    const QDomElement zone = makeZone(&document, "0,0;10,0;10,10", {});
    QString error;
    MessageCapture messages;
    QVERIFY(!Velmora::Kml::exportZone(m_dir.filePath(QStringLiteral("missing/out.kml")), "North", zone, &error));
    QVERIFY2(error.startsWith(QLatin1String("Error open kml file: ")), qPrintable(error));
    QCOMPARE(messages.messages(), QStringList{error});
}

// A write that fails half way, as on a full disk: the file size limit stops
// the export's temporary file, and the file already there must stay as it was.
void KmlExportTest::failedWriteKeepsTheOldFile()
{
    QDomDocument document;
    QStringList areas;
    for (int i = 0; i < 100; ++i)
        areas << QStringLiteral("Area %1=0,0;10,0;10,10").arg(i);
    const QDomElement zone = makeZone(&document, "0,0;10,0;10,10", areas);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("old.kml"));
    const QByteArray old = "<kml>the previous export</kml>";
    QVERIFY(writeFile(file, old));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QString error;
    bool written = true;
    {
        MessageCapture messages;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        written = Velmora::Kml::exportZone(file, QStringLiteral("North"), zone, &error);
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(messages.messages(), QStringList{error});
    }
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QVERIFY2(error.startsWith(QStringLiteral("Error writing kml file %1: ").arg(file)), qPrintable(error));
    QCOMPARE(readFile(file), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.kml"});
}

QTEST_MAIN(KmlExportTest)
#include "tst_kmlexport.moc"
