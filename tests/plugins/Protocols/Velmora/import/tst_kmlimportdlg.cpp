// The KML import dialog driven as a user would, offscreen, and what an
// accepted import does to a zone.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QFileDialog>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/format/XmlText.h"
#include "Velmora/import/KmlExport.h"
#include "Velmora/import/KmlImport.h"
#include "Velmora/import/KmlImportDlg.h"
#include "Velmora/import/TolImportDlg.h"
#include "WidgetDriver.h"

namespace {

// Two areas share a name, one has none, one has no outline yet; a comment
// sits between areas.
const char* const zoneXml = R"(<Zone id="1" name="North"><Geometry>0,0;9,0;9,9</Geometry><Areas>
<Area id="1" name="Centre"><Geometry>1,1;2,1;2,2</Geometry></Area>
<Area id="2" name="Park"/>
<!-- the old town -->
<Area id="3" name="Centre"><Geometry>3,3;4,3;4,4</Geometry></Area>
<Area id="4"><Geometry>5,5;6,5;6,6</Geometry></Area>
</Areas></Zone>)";

QString placemark(const QString& name, const QString& coordinates)
{
    return QStringLiteral("<Placemark><name>%1</name><Polygon><outerBoundaryIs><LinearRing><coordinates>%2"
                          "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>")
        .arg(name, coordinates);
}

// Besides the four usable placemarks: one without a name and one whose ring is no ring.
const QString placemarks = placemark("North", "10,10,0 19,10,0 19,19,0 10,10,0 ")
    + placemark("Centre", "11,11,0 12,11,0 12,12,0 11,11,0 ") + placemark("Park", "13,13,0 14,13,0 14,14,0 13,13,0 ")
    + placemark("River", "15,15,0 16,15,0 16,16,0 15,15,0 ") + placemark("", "1,1,0 2,2,0 3,1,0 ")
    + placemark("Broken", "1,1,0 2,x,0 3,1,0 ");

QString kmlDocument(const QString& body)
{
    return QStringLiteral("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>%1</Document></kml>").arg(body);
}

QString writeKml(const QTemporaryDir& dir, const QString& text)
{
    const QString path = dir.filePath(QStringLiteral("in.kml"));
    if (!writeFile(path, text.toUtf8()))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QTableWidget* table(QDialog* dialog)
{
    return dialog->findChild<QTableWidget*>(QStringLiteral("velmoraItems"));
}

QListWidget* kmlList(QDialog* dialog)
{
    return dialog->findChild<QListWidget*>(QStringLiteral("kmlItems"));
}

QComboBox* openChooser(QDialog* dialog, int row)
{
    return qobject_cast<QComboBox*>(Drive::openCellEditor(table(dialog), row, 2));
}

// Actions: "pick ROW ENTRY" (ENTRY may be "not using"), "replace", "ok", "cancel".
void run(QDialog* dialog, const QStringList& actions)
{
    for (const QString& action : actions) {
        if (action == QLatin1String("ok")) {
            Drive::clickButton(dialog);
        } else if (action == QLatin1String("cancel")) {
            Drive::clickButton(dialog, QDialogButtonBox::Cancel);
        } else if (action == QLatin1String("replace")) {
            // On the box itself: the check box spans the dialog, its middle is empty space.
            auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("replaceNames"));
            QStyleOptionButton option;
            option.initFrom(box);
            const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
            QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
            QVERIFY(box->isChecked());
        } else {
            const int row = action.section(QLatin1Char(' '), 1, 1).toInt();
            const QString entry = action.section(QLatin1Char(' '), 2);
            QComboBox* chooser = openChooser(dialog, row);
            QVERIFY2(chooser, qPrintable(action));
            // The chooser starts on what the cell shows (an empty cell: nothing).
            QCOMPARE(chooser->currentText(), table(dialog)->item(row, 2)->text());
            const int index = chooser->findText(entry);
            QVERIFY2(index >= 0, qPrintable(action));
            chooser->setCurrentIndex(index);
        }
    }
}

// "zone NAME: OUTLINE | AREA: OUTLINE | ...", "-" for an item without Geometry.
QString describe(const QString& zoneName, const QDomElement& zone)
{
    const auto outline = [](const QDomElement& element) {
        const QDomElement geometry = element.firstChildElement(QStringLiteral("Geometry"));
        return geometry.isNull() ? QStringLiteral("-") : Velmora::Xml::firstText(geometry);
    };
    QStringList parts{QStringLiteral("zone %1: %2").arg(zoneName, outline(zone))};
    for (const QDomElement& area : Velmora::Kml::areaElements(zone))
        parts << QStringLiteral("%1: %2").arg(area.attribute(QStringLiteral("name")), outline(area));
    return parts.join(QStringLiteral(" | "));
}

const QString zoneNorth = QStringLiteral("zone North: 0,0;9,0;9,9");
const QString untouchedAreas = QStringLiteral("Centre: 1,1;2,1;2,2 | Park: - | Centre: 3,3;4,3;4,4 | : 5,5;6,5;6,6");

} // namespace

class KmlImportDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void offered();
    void assign_data();
    void assign();
    void kmlVariants_data();
    void kmlVariants();
    void unreadableFile_data();
    void unreadableFile();
    void previews();
    void previewsOfADeletedScene();
    void fileDialogsRememberTheFolder_data();
    void fileDialogsRememberTheFolder();

private:
    QTemporaryDir m_dir;
};

void KmlImportDlgTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("velmora-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_kmlimportdlg"));
}

void KmlImportDlgTest::offered()
{
    QDomDocument zone;
    QVERIFY(zone.setContent(QString(zoneXml)));
    KmlImportDlg dialog(writeKml(m_dir, kmlDocument(placemarks)), QStringLiteral("North"),
                        Velmora::Kml::areaNames(zone.documentElement()));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Kml import"));
    QCOMPARE(dialog.size(), QSize(634, 389));
    QCOMPARE(table(&dialog)->editTriggers(), QAbstractItemView::NoEditTriggers);

    // Unnamed areas and placemarks, and rings that are none, are not offered; a shared name once.
    QCOMPARE(Drive::texts(table(&dialog), 0), (QStringList{"North", "Centre", "Park"}));
    QCOMPARE(Drive::texts(table(&dialog), 1), (QStringList{"zone", "area", "area"}));
    QCOMPARE(Drive::texts(table(&dialog), 2), (QStringList{"North", "Centre", "Park"}));
    QCOMPARE(Drive::texts(kmlList(&dialog)), (QStringList{"North", "Centre", "Park", "River"}));
    QComboBox* chooser = openChooser(&dialog, 1);
    QVERIFY(chooser);
    QCOMPARE(Drive::entries(chooser), (QStringList{"not using", "North", "Centre", "Park", "River"}));

    // Moving on to another cell takes the chooser away.
    Drive::clickCell(table(&dialog), 2, 0);
    QVERIFY(!table(&dialog)->cellWidget(1, 2));
}

void KmlImportDlgTest::assign_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("expected");

    const QString rings = QStringLiteral("zone North: 10,10;19,10;19,19 | Centre: 11,11;12,11;12,12 | "
                                         "Park: 13,13;14,13;14,14 | Centre: 11,11;12,11;12,12 | : 5,5;6,5;6,6");
    QTest::newRow("same names, OK alone") << QStringList{"ok"} << rings;
    QTest::newRow("same names, replace changes no name") << QStringList{"replace", "ok"} << rings;
    QTest::newRow("cancel") << QStringList{"pick 2 River", "cancel"} << zoneNorth + " | " + untouchedAreas;
    QTest::newRow("other placemark, not using")
        << QStringList{"pick 1 River", "pick 0 not using", "pick 2 not using", "ok"}
        << zoneNorth + " | Centre: 15,15;16,15;16,16 | Park: - | Centre: 15,15;16,15;16,16 | : 5,5;6,5;6,6";
    QTest::newRow("chooser still open at OK") << QStringList{"pick 0 not using", "pick 1 not using", "pick 2 River", "ok"}
                                              << zoneNorth + " | Centre: 1,1;2,1;2,2 | Park: 15,15;16,15;16,16 | "
                                                             "Centre: 3,3;4,3;4,4 | : 5,5;6,5;6,6";
    QTest::newRow("replace names")
        << QStringList{"replace", "pick 0 not using", "pick 1 River", "pick 2 not using", "ok"}
        << zoneNorth + " | River: 15,15;16,15;16,16 | Park: - | River: 15,15;16,15;16,16 | : 5,5;6,5;6,6";
    QTest::newRow("replace the zone's name")
        << QStringList{"pick 0 Park", "pick 1 not using", "pick 2 not using", "replace", "ok"}
        << "zone Park: 13,13;14,13;14,14 | " + untouchedAreas;
}

void KmlImportDlgTest::assign()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, expected);

    QDomDocument document;
    QVERIFY(document.setContent(QString(zoneXml)));
    const QDomElement zone = document.documentElement();
    KmlImportDlg dialog(writeKml(m_dir, kmlDocument(placemarks)), QStringLiteral("North"),
                        Velmora::Kml::areaNames(zone));
    dialog.show();
    run(&dialog, actions);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!dialog.isVisible());

    QString zoneName = QStringLiteral("North");
    const Velmora::Kml::AppliedImport applied = Velmora::Kml::applyImport(dialog, zone, &zoneName);
    QCOMPARE(describe(zoneName, zone), expected);
    QCOMPARE(applied.zoneOutline, !expected.startsWith(zoneNorth));
    QCOMPARE(applied.zoneRenamed, zoneName != QLatin1String("North"));
    QCOMPARE(applied.areasRenamed, expected.contains(QLatin1String("River:")));
}

void KmlImportDlgTest::kmlVariants_data()
{
    QTest::addColumn<QString>("kml");
    QTest::addColumn<QString>("outline"); // empty: no usable placemark

    const QString ring = QStringLiteral("<Polygon><outerBoundaryIs><LinearRing><coordinates>%1</coordinates>"
                                        "</LinearRing></outerBoundaryIs></Polygon>");
    const auto named = [](const QString& geometry) {
        return QStringLiteral("<Placemark><name>North</name>%1</Placemark>").arg(geometry);
    };
    const auto kml22 = [&](const QString& coordinates) { return kmlDocument(named(ring.arg(coordinates))); };

    QTest::newRow("as exported") << kml22("1.5,2,0 3,2,0 3,4.25,0 1.5,2,0 ") << "1.5,2;3,2;3,4.25";
    QTest::newRow("no blank after the last tuple") << kml22("1.5,2,0 3,2,0 3,4.25,0") << "1.5,2;3,2;3,4.25";
    QTest::newRow("tabs and line breaks") << kml22("\n\t1.5,2,0\t3,2,0\r\n  3,4.25,0\n") << "1.5,2;3,2;3,4.25";
    QTest::newRow("altitudes") << kml22("1.5,2,120 3,2,-4.5 3,4.25,1e3") << "1.5,2;3,2;3,4.25";
    QTest::newRow("no altitude, closed") << kml22("1.5,2 3,2 3,4.25 1.5,2") << "1.5,2;3,2;3,4.25";
    QTest::newRow("blanks after commas") << kml22("1.5, 2, 0 3 ,2 3,\n4.25") << "1.5,2;3,2;3,4.25";
    QTest::newRow("numbers kept as written") << kml22("37.617500,55.75,0 37.63,55.75,0 37.63,55.7601,0")
                                             << "37.617500,55.75;37.63,55.75;37.63,55.7601";
    QTest::newRow("MultiGeometry, first usable polygon")
        << kmlDocument(named("<MultiGeometry>" + ring.arg("0,0 1,1") + "<MultiGeometry>" + ring.arg("5,5 6,5 6,6")
                             + "</MultiGeometry>" + ring.arg("7,7 8,7 8,8") + "</MultiGeometry>"))
        << "5,5;6,5;6,6";
    QTest::newRow("nested folders, no Document")
        << QStringLiteral("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Folder><name>x</name><Document><Folder>%1"
                          "</Folder></Document></Folder></kml>")
               .arg(named(ring.arg("5,5 6,5 6,6")))
        << "5,5;6,5;6,6";
    QTest::newRow("no namespace") << QStringLiteral("<kml><Document>%1</Document></kml>").arg(named(ring.arg("5,5 6,5 6,6")))
                                  << "5,5;6,5;6,6";
    QTest::newRow("prefixed, KML 2.1")
        << QStringLiteral("<k:kml xmlns:k=\"http://earth.google.com/kml/2.1\"><k:Document><k:Placemark><k:name>North"
                          "</k:name><k:Polygon><k:outerBoundaryIs><k:LinearRing><k:coordinates>5,5 6,5 6,6"
                          "</k:coordinates></k:LinearRing></k:outerBoundaryIs></k:Polygon></k:Placemark>"
                          "</k:Document></k:kml>")
        << "5,5;6,5;6,6";
    QTest::newRow("name padded") << kmlDocument("<Placemark><name>\n  North\n</name>" + ring.arg("5,5 6,5 6,6")
                                                + "</Placemark>")
                                 << "5,5;6,5;6,6";
    QTest::newRow("inner boundary ignored")
        << kmlDocument(named("<Polygon><innerBoundaryIs><LinearRing><coordinates>7,7 8,7 8,8</coordinates>"
                             "</LinearRing></innerBoundaryIs><outerBoundaryIs><LinearRing><coordinates>5,5 6,5 6,6"
                             "</coordinates></LinearRing></outerBoundaryIs></Polygon>"))
        << "5,5;6,5;6,6";
    QTest::newRow("four numbers in a tuple") << kml22("1,2,0,0 3,2,0 3,4,0") << "";
    QTest::newRow("not a number") << kml22("1,2,0 3,abc,0 3,4,0") << "";
    QTest::newRow("two points") << kml22("1,2,0 3,2,0 1,2,0") << "";
    QTest::newRow("point, not polygon") << kmlDocument(named("<Point><coordinates>1,2,0</coordinates></Point>")) << "";
}

void KmlImportDlgTest::kmlVariants()
{
    QFETCH(QString, kml);
    QFETCH(QString, outline);

    QDomDocument document;
    QVERIFY(document.setContent(QStringLiteral("<Zone id=\"1\" name=\"North\"/>")));
    QDomElement zone = document.documentElement();
    KmlImportDlg dialog(writeKml(m_dir, kml), QStringLiteral("North"), QStringList());
    QCOMPARE(Drive::texts(kmlList(&dialog)), outline.isEmpty() ? QStringList() : QStringList{"North"});
    dialog.show();
    run(&dialog, {"ok"});

    QString zoneName = QStringLiteral("North");
    Velmora::Kml::applyImport(dialog, zone, &zoneName);
    // A zone without outline gets its Geometry from the import.
    QCOMPARE(describe(zoneName, zone), QStringLiteral("zone North: ") + (outline.isEmpty() ? "-" : outline));
}

void KmlImportDlgTest::unreadableFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("warning");

    QTest::newRow("missing") << m_dir.filePath("missing.kml") << "Error open kml file: No such file or directory";
    QTest::newRow("not XML") << writeKml(m_dir, "<kml><Document>" + placemarks) << "invalid kml file";
}

void KmlImportDlgTest::unreadableFile()
{
    QFETCH(QString, file);
    QFETCH(QString, warning);

    QDomDocument document;
    QVERIFY(document.setContent(QString(zoneXml)));
    const QDomElement zone = document.documentElement();
    const QString before = describe(QStringLiteral("North"), zone);
    MessageCapture messages;
    KmlImportDlg dialog(file, QStringLiteral("North"), Velmora::Kml::areaNames(zone));
    QCOMPARE(messages.messages(), QStringList{warning});
    QCOMPARE(table(&dialog)->rowCount(), 0);
    QCOMPARE(kmlList(&dialog)->count(), 0);
    dialog.show();
    run(&dialog, {"replace", "ok"});
    QString zoneName = QStringLiteral("North");
    Velmora::Kml::applyImport(dialog, zone, &zoneName);
    QCOMPARE(describe(zoneName, zone), before);
}

namespace {

QList<QGraphicsPathItem*> shownPaths(const QGraphicsScene& scene)
{
    QList<QGraphicsPathItem*> shown;
    for (QGraphicsItem* item : scene.items()) {
        auto* path = qgraphicsitem_cast<QGraphicsPathItem*>(item);
        if (path && path->isVisible())
            shown << path;
    }
    return shown;
}

} // namespace

void KmlImportDlgTest::previews()
{
    QGraphicsScene scene;
    QGraphicsRectItem* host = scene.addRect(0, 0, 100, 100);
    auto dialog = std::make_unique<KmlImportDlg>(writeKml(m_dir, kmlDocument(placemarks)), QStringLiteral("North"),
                                                 QStringList(), nullptr, &scene);
    QCOMPARE(scene.items().size(), 1 + 4);
    QVERIFY(shownPaths(scene).isEmpty());
    dialog->show();

    QListWidget* list = kmlList(dialog.get());
    for (const QString& name : QStringList{"Park", "North", "River"}) {
        const QListWidgetItem* entry = list->findItems(name, Qt::MatchExactly).value(0);
        QVERIFY(entry);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(entry).center());
        const QList<QGraphicsPathItem*> shown = shownPaths(scene);
        QCOMPARE(shown.size(), 1);
        // The preview is the placemark's ring in scene coordinates, filled.
        const QString expected = entry->data(Qt::UserRole).toString();
        QStringList drawn;
        const QPolygonF outline = shown.first()->path().toFillPolygon();
        for (int i = 0; i + 1 < outline.size(); ++i)
            drawn << QStringLiteral("%1,%2").arg(outline[i].x()).arg(outline[i].y());
        QCOMPARE(drawn.join(';'), expected);
        QCOMPARE(shown.first()->brush(), QBrush(Qt::white));
        QVERIFY(shown.first()->zValue() > host->zValue());
    }

    dialog.reset();
    QCOMPARE(scene.items(), QList<QGraphicsItem*>{host});
}

void KmlImportDlgTest::previewsOfADeletedScene()
{
    auto scene = std::make_unique<QGraphicsScene>();
    KmlImportDlg dialog(writeKml(m_dir, kmlDocument(placemarks)), QStringLiteral("North"), QStringList(), nullptr,
                        scene.get());
    kmlList(&dialog)->setCurrentRow(1);
    scene.reset();
    // Neither choosing nor closing touches the previews the scene took with it.
    kmlList(&dialog)->setCurrentRow(2);
    QCOMPARE(kmlList(&dialog)->currentRow(), 2);
}

void KmlImportDlgTest::fileDialogsRememberTheFolder_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("filter");

    QTest::newRow("KML import") << "KmlImportOfdDir" << "import" << "Select kml file" << "Kml files (*.kml)";
    QTest::newRow("KML export") << "KmlExportOfdDir" << "export" << "Select kml file" << "Kml files (*.kml)";
    QTest::newRow("TRANSYT report") << "TolOfdDir" << "report" << "Select transyt report"
                                    << "HTML files (*.html *.htm)";
}

// The host's INI settings keep the folder last chosen, and the next dialog opens there.
void KmlImportDlgTest::fileDialogsRememberTheFolder()
{
    QFETCH(QString, key);
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QString, filter);

    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    const QString chosen = second.filePath(QStringLiteral("chosen.file"));
    if (kind != QLatin1String("export"))
        QVERIFY(writeFile(chosen, QByteArray()));
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                       QCoreApplication::applicationName());
    settings.setValue(key, first.path());
    settings.sync();

    QString shownDir;
    QStringList shown;
    PopupAnswerer answerer;
    answerer.expect("QFileDialog", [&](QWidget* window) {
        auto* dialog = static_cast<QFileDialog*>(window);
        shownDir = dialog->directory().absolutePath();
        shown << dialog->windowTitle() << dialog->nameFilters();
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog makes it protected
    });
    const QString file = kind == QLatin1String("import") ? Velmora::Kml::selectImportFile(nullptr)
        : kind == QLatin1String("export")                ? Velmora::Kml::selectExportFile(nullptr)
                                                         : TolImportDlg::selectReport(nullptr);
    QCOMPARE(file, chosen);
    QCOMPARE(shownDir, QDir(first.path()).absolutePath());
    QCOMPARE(shown, (QStringList{caption, filter}));
    settings.sync();
    QCOMPARE(settings.value(key).toString(), QDir(second.path()).absolutePath());
}

QTEST_MAIN(KmlImportDlgTest)
#include "tst_kmlimportdlg.moc"
