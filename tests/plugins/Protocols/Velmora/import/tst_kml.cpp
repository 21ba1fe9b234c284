// Outlines read from KML through the import dialog, driven as a user would, offscreen; and outlines written as KML.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QListWidget>
#include <QTableWidget>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

#include "DomText.h"
#include "MessageCapture.h"
#include "QtOwnLeaks.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/format/XmlText.h"
#include "Velmora/import/KmlExport.h"
#include "Velmora/import/KmlImport.h"
#include "Velmora/import/KmlImportDlg.h"
#include "Velmora/import/TolImportDlg.h"
#include "WidgetDriver.h"

using namespace Velmora;

namespace {

// Two areas share a name, one has none, one has no outline yet; a comment sits between areas.
const char* const zoneXml = R"(<Zone id="1" name="North"><Geometry>0,0;9,0;9,9</Geometry><Areas>
<Area id="1" name="Centre"><Geometry>1,1;2,1;2,2</Geometry></Area><Area id="2" name="Park"/><!-- the old town -->
<Area id="3" name="Centre"><Geometry>3,3;4,3;4,4</Geometry></Area><Area id="4"><Geometry>5,5;6,5;6,6</Geometry></Area>
</Areas></Zone>)";
const QString untouched = QStringLiteral("zone North: 0,0;9,0;9,9 | Centre: 1,1;2,1;2,2 | Park: - | "
                                         "Centre: 3,3;4,3;4,4 | : 5,5;6,5;6,6");

QString ring(const QString& coordinates, const QString& hole = {})
{
    return "<Polygon><outerBoundaryIs><LinearRing><coordinates>" + coordinates
        + "</coordinates></LinearRing></outerBoundaryIs>"
        + (hole.isEmpty() ? QString() : "<innerBoundaryIs><LinearRing><coordinates>" + hole
                                            + "</coordinates></LinearRing></innerBoundaryIs>") + "</Polygon>";
}
QString placemark(const QString& name, const QString& geometry)
{
    return "<Placemark><name>" + name + "</name>" + geometry + "</Placemark>";
}
QString kmlDocument(const QString& body)
{
    return "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>" + body + "</Document></kml>";
}

// A name holding U+0001, which the file writes as a reference.
const QString Unwritable = QStringLiteral("Ri") + QChar(1) + QStringLiteral("ver");

// Besides the five usable placemarks: one without a name and one whose ring is no ring.
const QString placemarks = placemark("North", ring("10,10,0 19,10,0 19,19,0 10,10,0 "))
    + placemark("Centre", ring("11,11,0 12,11,0 12,12,0 11,11,0 ")) + placemark("Park", ring("13,13 14,13 14,14"))
    + placemark("River", ring("15,15,0 16,15,0 16,16,0")) + placemark("", ring("1,1,0 2,2,0 3,1,0 "))
    + placemark("Broken", ring("1,1,0 2,x,0 3,1,0 ")) + placemark("Ri&#1;ver", ring("7,7 8,7 8,8"));

QTableWidget* table(QDialog* dialog) { return dialog->findChild<QTableWidget*>(QStringLiteral("velmoraItems")); }
QListWidget* kmlList(QDialog* dialog) { return dialog->findChild<QListWidget*>(QStringLiteral("kmlItems")); }

// "zone NAME: OUTLINE | AREA: OUTLINE | ...", "-" for an item without Geometry.
QString describe(const QString& zoneName, const QDomElement& zone)
{
    const auto outline = [](const QDomElement& element) {
        const QDomElement geometry = element.firstChildElement(QStringLiteral("Geometry"));
        return geometry.isNull() ? QStringLiteral("-") : Xml::firstText(geometry);
    };
    QStringList parts{QStringLiteral("zone %1: %2").arg(zoneName, outline(zone))};
    for (const QDomElement& area : Kml::areaElements(zone))
        parts << QStringLiteral("%1: %2").arg(area.attribute(QStringLiteral("name")), outline(area));
    return parts.join(QStringLiteral(" | "));
}

// "NAME=OUTLINE" of every placemark the reader offers, or its error.
QStringList placemarksIn(const QString& file)
{
    QList<Kml::Placemark> found;
    QString error;
    if (!Kml::readPlacemarks(file, &found, &error))
        return {"error: " + error};
    QStringList read;
    for (const Kml::Placemark& p : found)
        read << p.name + "=" + p.coordinates;
    return read;
}

} // namespace

class KmlTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("velmora-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_kml"));
    }

    void assign_data()
    {
        QTest::addColumn<QStringList>("actions"); // "pick ROW ENTRY", "replace", "ok"
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("refused"); // names not taken
        // The last chooser is still open at OK.
        QTest::newRow("other placemarks, not using")
            << QStringList{"pick 0 not using", "pick 1 River", "pick 2 River", "ok"}
            << "zone North: 0,0;9,0;9,9 | Centre: 15,15;16,15;16,16 | Park: 15,15;16,15;16,16 | "
               "Centre: 15,15;16,15;16,16 | : 5,5;6,5;6,6" << QStringList();
        QTest::newRow("replace the zone's and the areas' names")
            << QStringList{"replace", "pick 0 Park", "pick 1 River", "pick 2 not using", "ok"}
            << "zone Park: 13,13;14,13;14,14 | River: 15,15;16,15;16,16 | Park: - | River: 15,15;16,15;16,16 | "
               ": 5,5;6,5;6,6" << QStringList();
        // Park keeps the placemark of its own name, and so its name.
        QTest::newRow("replace names XML cannot carry: outlines taken, names not")
            << QStringList{"pick 0 " + Unwritable, "pick 1 " + Unwritable, "replace", "ok"}
            << "zone North: 7,7;8,7;8,8 | Centre: 7,7;8,7;8,8 | Park: 13,13;14,13;14,14 | Centre: 7,7;8,7;8,8 | "
               ": 5,5;6,5;6,6" << QStringList{Unwritable};
    }
    void assign()
    {
        QFETCH(QStringList, actions);
        QFETCH(QString, expected);
        QFETCH(QStringList, refused);
        const QDomElement zone = parseXml(&m_document, zoneXml);
        KmlImportDlg dialog(writeKml(kmlDocument(placemarks)), QStringLiteral("North"), Kml::areaNames(zone));
        dialog.show();
        // Unnamed areas and placemarks, and rings that are none, are not offered; a shared name once.
        const QStringList names{"North", "Centre", "Park"};
        QCOMPARE(Drive::texts(table(&dialog), 0) + Drive::texts(table(&dialog), 2), names + names);
        QCOMPARE(Drive::texts(kmlList(&dialog)), (names + QStringList{"River", Unwritable}));
        auto* offered = qobject_cast<QComboBox*>(Drive::openCellEditor(table(&dialog), 1, 2));
        QVERIFY(offered);
        QCOMPARE(Drive::entries(offered), (QStringList{"not using"} + names + QStringList{"River", Unwritable}));
        // Moving on to another cell takes the chooser away.
        Drive::clickCell(table(&dialog), 2, 0);
        QVERIFY(!table(&dialog)->cellWidget(1, 2));

        for (const QString& action : actions) {
            if (action == QLatin1String("ok")) {
                Drive::clickButton(&dialog);
            } else if (action == QLatin1String("replace")) {
                auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("replaceNames"));
                QTest::keyClick(box, Qt::Key_Space);
                QVERIFY(box->isChecked());
            } else {
                const int row = action.section(QLatin1Char(' '), 1, 1).toInt();
                auto* chooser = qobject_cast<QComboBox*>(Drive::openCellEditor(table(&dialog), row, 2));
                QVERIFY2(chooser, qPrintable(action));
                // The chooser starts on what the cell shows.
                QCOMPARE(chooser->currentText(), table(&dialog)->item(row, 2)->text());
                QVERIFY(Drive::choose(chooser, action.section(QLatin1Char(' '), 2)));
            }
        }
        QVERIFY(!dialog.isVisible());
        QString zoneName = QStringLiteral("North");
        const Kml::AppliedImport applied = Kml::applyImport(dialog, zone, &zoneName);
        QCOMPARE(describe(zoneName, zone), expected);
        QCOMPARE((QList<bool>{applied.zoneOutline, applied.zoneRenamed, applied.areasRenamed}),
                 (QList<bool>{!expected.startsWith(QLatin1String("zone North: 0,0;")),
                              zoneName != QLatin1String("North"), expected.contains(QLatin1String("River:"))}));
        QCOMPARE(applied.refusedNames, refused);
    }

    void kmlVariants_data()
    {
        QTest::addColumn<QString>("kml");
        QTest::addColumn<QString>("outline");
        QTest::newRow("tabs, line breaks, altitudes, blanks after commas, no blank at the end")
            << kmlDocument(placemark("North", ring("\n\t1.5, 2, 120\t3 ,2,-4.5\r\n  3,\n4.25,1e3")))
            << "1.5,2;3,2;3,4.25";
        // A line, and a ring of two points once its closing point goes, are passed over.
        QTest::newRow("MultiGeometry, first usable polygon, its hole ignored")
            << kmlDocument(placemark("North", "<MultiGeometry><LineString><coordinates>0,0 1,0 1,1</coordinates>"
                                                  "</LineString>" + ring("0,0 1,1 0,0") + "<MultiGeometry>"
                                                  + ring("5,5 6,5 6,6", "5.5,5.1 5.9,5.1 5.9,5.5") + "</MultiGeometry>"
                                                  + ring("7,7 8,7 8,8") + "</MultiGeometry>"))
            << "5,5;6,5;6,6";
        QTest::newRow("folders without a namespace, a prefixed KML 2.1 placemark, its name padded")
            << "<kml><Folder><name>x</name><Document><Folder xmlns:k=\"http://earth.google.com/kml/2.1\"><k:Placemark>"
               "<k:name>\n  North\n</k:name><k:Polygon><k:outerBoundaryIs><k:LinearRing><k:coordinates>5,5 6,5 6,6"
               "</k:coordinates></k:LinearRing></k:outerBoundaryIs></k:Polygon></k:Placemark></Folder></Document>"
               "</Folder></kml>"
            << "5,5;6,5;6,6";
    }
    void kmlVariants()
    {
        QFETCH(QString, kml);
        QFETCH(QString, outline);
        QCOMPARE(placemarksIn(writeKml(kml)), QStringList{"North=" + outline});
    }

    void unreadableFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("warning");
        QTest::newRow("missing") << m_dir.filePath("missing.kml") << "Error open kml file: No such file or directory";
        QTest::newRow("not XML") << writeKml("<kml><Document>" + placemarks) << "Error processing file FILE (";
        // Sparse: the size counts, not what is in it.
        QFile huge(m_dir.filePath(QStringLiteral("huge.kml")));
        QVERIFY(writeFile(huge.fileName(), kmlDocument(placemarks).toUtf8()) && huge.resize(Kml::MaxFileBytes + 1));
        QTest::newRow("too large") << huge.fileName()
                                   << QDir::toNativeSeparators(huge.fileName())
                + " is larger than 128 MiB, the most a KML import reads.";
    }
    void unreadableFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, warning);
        const QDomElement zone = parseXml(&m_document, zoneXml);
        MessageCapture messages;
        KmlImportDlg dialog(file, QStringLiteral("North"), Kml::areaNames(zone));
        QCOMPARE(messages.messages().size(), 1);
        QVERIFY2(messages.messages().first().startsWith(warning.replace("FILE", file)), qPrintable(messages.messages().first()));
        QCOMPARE(table(&dialog)->rowCount() + kmlList(&dialog)->count(), 0);
        dialog.show();
        Drive::clickButton(&dialog);
        QString zoneName = QStringLiteral("North");
        Kml::applyImport(dialog, zone, &zoneName);
        QCOMPARE(describe(zoneName, zone), untouched);
    }

    void previews()
    {
        auto scene = std::make_unique<QGraphicsScene>();
        QGraphicsRectItem* host = scene->addRect(0, 0, 100, 100);
        const auto paths = [&](bool visibleOnly) {
            QList<QGraphicsPathItem*> found;
            for (QGraphicsItem* item : scene->items())
                if (auto* path = qgraphicsitem_cast<QGraphicsPathItem*>(item); path && (path->isVisible() || !visibleOnly))
                    found << path;
            return found;
        };
        const auto shown = [&] { return paths(true); };
        const QString file = writeKml(kmlDocument(placemarks));
        auto dialog = std::make_unique<KmlImportDlg>(file, "North", QStringList(), nullptr, scene.get());
        QCOMPARE(paths(false).size(), 5);
        QVERIFY(shown().isEmpty());
        dialog->show();
        QListWidget* list = kmlList(dialog.get());
        for (const int row : {2, 0, 3}) {
            Drive::clickRow(list, row);
            QCOMPARE(shown().size(), 1);
            // The placemark's ring in scene coordinates.
            QPolygonF ring;
            QVERIFY(Geometry::parsePoints(list->item(row)->data(Qt::UserRole).toString(), &ring));
            QCOMPARE(shown().first()->path().toFillPolygon(), ring << ring.first());
            // Lines a pixel wide at any zoom: the bounds are the outline's own.
            QCOMPARE(shown().first()->boundingRect(), shown().first()->path().controlPointRect());
        }
        dialog.reset();
        QCOMPARE(scene->items(), QList<QGraphicsItem*>{host});
        // A scene that goes first takes the previews with it; choosing and closing touch none of them.
        KmlImportDlg orphan(file, QStringLiteral("North"), QStringList(), nullptr, scene.get());
        kmlList(&orphan)->setCurrentRow(1);
        scene.reset();
        kmlList(&orphan)->setCurrentRow(2);
    }

    void fileDialogsRememberTheFolder_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("KML import") << "KmlImportOfdDir";
        QTest::newRow("KML export") << "KmlExportOfdDir";
        QTest::newRow("TRANSYT report") << "TolOfdDir";
    }
    // The host's INI settings keep the folder last chosen, and the next dialog opens there.
    void fileDialogsRememberTheFolder()
    {
        QFETCH(QString, key);
        QTemporaryDir first, second;
        const QString chosen = second.filePath(QStringLiteral("chosen.file"));
        // A save dialog would ask before replacing a file.
        QVERIFY(key == QLatin1String("KmlExportOfdDir") || writeFile(chosen, QByteArray()));
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                           QCoreApplication::applicationName());
        settings.setValue(key, first.path());
        settings.sync();
        QString shownDir;
        PopupAnswerer answerer;
        answerer.expect("QFileDialog", [&](QWidget* window) {
            auto* dialog = static_cast<QFileDialog*>(window);
            shownDir = dialog->directory().absolutePath();
            dialog->selectFile(chosen);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog makes it protected
        });
        const QString file = key == QLatin1String("KmlImportOfdDir") ? Kml::selectImportFile(nullptr)
            : key == QLatin1String("KmlExportOfdDir")                ? Kml::selectExportFile(nullptr)
                                                                     : TolImportDlg::selectReport(nullptr);
        settings.sync();
        QCOMPARE((QStringList{file, shownDir, settings.value(key).toString()}),
                 (QStringList{chosen, QDir(first.path()).absolutePath(), QDir(second.path()).absolutePath()}));
    }

    // Outlines the map would not draw give no placemark; the editor's name field names the zone; numbers go out and
    // come back as written: by the editors (exponents, twelve digits) or by hand. Closed rings: tst_kmlinterop.
    void exportZone()
    {
        const QDomElement zone = parseXml(&m_document, R"(<Zone name="North">
            <Geometry>37.5,55.7;37.65,55.7;37.65,55.8</Geometry><Areas>
            <Area name="Центр"><Geometry>37.6175123457,55.7512;0.50,0.50;1.000,0.5;-180,-90</Geometry></Area>
            <Area name="Park"/><Area name="Empty"><Geometry/></Area><Area name="Line"><Geometry>0,0;1,1</Geometry></Area>
            <Area name="Trailing"><Geometry>0,0;1,0;1,1;</Geometry></Area><Area name="Nan"><Geometry>0,0;nan,0;1,1</Geometry></Area>
            <Area name="Closed"><Geometry>-0.1275,51.5072;1e-05,51.5;-1.5e-05,51.49;-0.12750,51.5072</Geometry></Area>
            <Area name="Blanks"><Geometry> 1.5 , 2 ;&#10;3,2;&#9;3,4.25 </Geometry></Area>
            <Area><Geometry>5,5;6,5;6,6</Geometry></Area></Areas></Zone>)");
        const QString file = m_dir.filePath(QStringLiteral("export.kml"));
        QString error;
        QVERIFY2(Kml::exportZone(file, QStringLiteral("Север"), zone, &error) && error.isEmpty(), qPrintable(error));

        const QByteArray bytes = readFile(file);
        QVERIFY2(bytes.startsWith(R"(<?xml version="1.0" encoding="UTF-8"?>)"), bytes.constData());
        QVERIFY(bytes.contains(u8"<name>Центр</name>"));
        QDomDocument kml;
        QVERIFY(kml.setContent(bytes, true));
        QCOMPARE(kml.documentElement().namespaceURI(), QStringLiteral("http://www.opengis.net/kml/2.2"));
        // Four below, and the unnamed area's: areas without an outline would be features without a shape.
        QCOMPARE(bytes.count("<Placemark>"), 5);
        QCOMPARE(placemarksIn(file), (QStringList{"Север=37.5,55.7;37.65,55.7;37.65,55.8",
                                                  "Центр=37.6175123457,55.7512;0.50,0.50;1.000,0.5;-180,-90",
                                                  "Closed=-0.1275,51.5072;1e-05,51.5;-1.5e-05,51.49",
                                                  "Blanks=1.5,2;3,2;3,4.25"}));
    }

    void failedExportKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("firstArea"); // the first area's name
        QTest::addColumn<QString>("error");
        QTest::newRow("folder missing") << "missing/out.kml" << "Area 0" << "Error open kml file: ";
        // As on a full disk: the file size limit stops the export's temporary file.
        QTest::newRow("write fails half way") << "old.kml" << "Area 0" << "Error writing kml file %1: ";
        QTest::newRow("name XML cannot carry") << "old.kml" << "Area" + QString(QChar(1))
            << QString::fromUtf8("Cannot export %1: the name \"Area\uFFFD\" holds the character U+0001, which KML cannot carry");
    }
    void failedExportKeepsTheOldFile()
    {
        QFETCH(QString, target);
        QFETCH(QString, firstArea);
        QFETCH(QString, error);
        QString areas;
        for (int i = 0; i < 100; ++i)
            areas += QStringLiteral("<Area name=\"Area %1\"><Geometry>0,0;10,0;10,10</Geometry></Area>").arg(i);
        QDomElement zone = parseXml(&m_document, "<Zone><Areas>" + areas + "</Areas></Zone>");
        Kml::areaElements(zone).first().setAttribute(QStringLiteral("name"), firstArea);
        QTemporaryDir dir;
        const QString file = dir.filePath(target);
        const QByteArray old = "<kml>the previous export</kml>";
        QVERIFY(writeFile(dir.filePath("old.kml"), old));

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit small{1024, saved.rlim_max};
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QString reason;
        MessageCapture messages;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = Kml::exportZone(file, QStringLiteral("North"), zone, &reason);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!written);
        QVERIFY2(reason.startsWith(error.contains("%1") ? error.arg(file) : error), qPrintable(reason));
        QCOMPARE(messages.messages(), QStringList{reason});
        QCOMPARE(readFile(dir.filePath("old.kml")), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.kml"});
    }

private:
    QString writeKml(const QString& text)
    {
        const QString path = m_dir.filePath(QStringLiteral("in.kml"));
        return writeFile(path, text.toUtf8()) ? path : QString();
    }
    QTemporaryDir m_dir;
    QDomDocument m_document;
};

QTEST_MAIN(KmlTest)
#include "tst_kml.moc"