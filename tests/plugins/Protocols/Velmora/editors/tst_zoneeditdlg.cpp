#include "EditorTest.h"
#include "MessageCapture.h"
#include "Velmora/Translations.h"
#include "Velmora/editors/AreaEditDlg.h"
#include "Velmora/editors/DomMetaType.h"
#include "Velmora/editors/ZoneEditDlg.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/format/XmlText.h"
#include "Velmora/import/KmlImportDlg.h"

// The area items keep their previews in item data.
Q_DECLARE_METATYPE(QGraphicsPathItem*)

namespace {

using Velmora::Xml::firstText;

// Strategies 2 and 3 use only area 3; card 2 only strategy 2, card 5 only strategy 3.
const char* const zoneXml = R"(<Zone id="7" name="North"><Geometry>0,0;1000,0;1000,800;0,800</Geometry>
<Calendar><DayCards><DayCard id="1"><Time strategy_id="1">06:00</Time><Time strategy_id="2">22:00</Time></DayCard>
<DayCard id="2"><Time strategy_id="2">00:00</Time></DayCard><DayCard id="5"><Time strategy_id="3">00:00</Time>
</DayCard></DayCards><WeekDistribution>1,1,1,1,1,2,5</WeekDistribution></Calendar><Strategies>
<Strategy id="1" name="Day" default="1"><Area id="3" control_source="1"/><Area id="4" control_source="2"/></Strategy>
<Strategy id="2" name="Night"><Area id="3" control_source="3"/></Strategy>
<Strategy id="3" name="Event"><Area id="3" control_source="1"/></Strategy></Strategies>
<Areas><Area id="3" name="Centre"><Geometry>10,10;500,10;500,400</Geometry><Controllers>101</Controllers><States/>
<Calendar><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution><DayCards><DayCard id="1"/></DayCards></Calendar></Area>
<Area id="4" name="River"><Geometry>600,10;900,10;900,300</Geometry></Area></Areas></Zone>)";

const QString outline = "0,0;1000,0;1000,800;0,800";
const QString untouched = "zone 7 North | strategies 1*Day:3,4 2Night:3 3Event:3 | cards 1:1@06:00,2@22:00 "
                          "2:2@00:00 5:3@00:00 | week 1,1,1,1,1,2,5 | areas 3:Centre=10,10;500,10;500,400 "
                          "4:River=600,10;900,10;900,300 | outline " + outline;

// Outlines by name for the zone, area 3, and an area the zone lacks.
const QString placemark = "<Placemark><name>%1</name><Polygon><outerBoundaryIs><LinearRing><coordinates>%2"
                          "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>";
// The lake's name holds U+0001, which the file writes as a reference.
const QString kml = "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>" + placemark.arg("North", "1,1,0 9,1,0 9,9,0 ")
                    + placemark.arg("Centre", "2,2,0 4,2,0 4,4,0 ") + placemark.arg("La&#1;ke", "5,5,0 6,5,0 6,6,0 ")
                    + "</Document></kml>";
const QString lake = QString("La") + QChar(1) + "ke";
const QString nameFault = "The name holds the character U+0001, which a zone file cannot carry.";

// The document in one line; "*" marks a strategy carrying "default", "=" an area's outline.
QString summary(const QDomDocument& document)
{
    const QDomElement zone = document.documentElement(), calendar = zone.firstChildElement("Calendar");
    const auto id = [](const QDomElement& e) { return e.attribute("id"); };
    const auto strategy = [&](const QDomElement& s) {
        return id(s) + (s.hasAttribute("default") ? "*" : "") + s.attribute("name") + ":" + each(s, id, ',');
    };
    const auto time = [](const QDomElement& t) { return t.attribute("strategy_id") + "@" + firstText(t); };
    const auto card = [&](const QDomElement& c) { return id(c) + ":" + each(c, time, ','); };
    const auto area = [&](const QDomElement& a) {
        const QString outline = firstText(a.firstChildElement("Geometry"));
        return id(a) + ":" + a.attribute("name") + (outline.isEmpty() ? "" : "=" + outline);
    };
    return QStringList{"zone " + id(zone) + " " + zone.attribute("name"),
                       "strategies " + each(zone.firstChildElement("Strategies"), strategy),
                       "cards " + each(calendar.firstChildElement("DayCards"), card),
                       "week " + firstText(calendar.firstChildElement("WeekDistribution")),
                       "areas " + each(zone.firstChildElement("Areas"), area),
                       "outline " + firstText(zone.firstChildElement("Geometry"))}
        .join(" | ");
}

// KML files come from the test, not from a file dialog.
class KmlZoneEditDlg : public ZoneEditDlg
{
public:
    using ZoneEditDlg::ZoneEditDlg;
    QString kmlFile;

protected:
    QString selectKmlImportFile() override { return kmlFile; }
    QString selectKmlExportFile() override { return kmlFile; }
};

} // namespace

// The zone editor and the editors it opens for its parts.
class ZoneEditDlgTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QStringList said; // message boxes and refusals not yet checked by a "said" step
    QByteArray spoilt; // the zone's file as it was before "spoil"
    QGraphicsScene scene;
    QObject storage;
    QScopedPointer<KmlZoneEditDlg> dialog;

    // The editor on `xml` (empty: a new zone), on the map; shown unless told otherwise.
    void open(const QString& xml, bool show = true)
    {
        QString fileName;
        if (!xml.isEmpty())
            QVERIFY(writeFile(fileName = dir.filePath("zone.xtsc"), xml.toUtf8()));
        dialog.reset(new KmlZoneEditDlg(fileName, nullptr, &scene));
        dialog->cnfStorage = &storage;
        dialog->kmlFile = dir.filePath("outlines.kml");
        if (show)
            showExposed(dialog.data());
    }

    template<typename T = QWidget> T* widget(const char* name) const { return dialog->findChild<T*>(name); }

    // One user step; editing_data() lists the words. These close, or try to close, the editor: "esc [ANSWER]" to the
    // focused widget, "cancel [ANSWER]", "enter ROW" in the strategies table; a question box on the way is said
    // ("NAME: TEXT") and answered with the button ANSWER names, else closed. "shown yes|no" tells whether it is open.
    void act(const QString& action)
    {
        const QStringList w = action.split(' ');
        const QString verb = w[0];
        const int row = w.value(1).toInt();
        auto* strategies = widget<QTableWidget>("strategies");
        const bool closing = verb == "esc" || verb == "cancel" || verb == "enter";
        PopupAnswerer editors(QString(), closing ? w.mid(1).join(' ') : QString());
        if (verb == "ok")
            Drive::clickButton(dialog.data());
        else if (verb == "shown")
            QCOMPARE(dialog->isVisible() ? "yes" : "no", w[1]);
        else if (verb == "esc")
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog.data(), Qt::Key_Escape);
        else if (verb == "cancel")
            Drive::clickButton(dialog.data(), QDialogButtonBox::Cancel);
        else if (verb == "enter") { // it moves in the table; OK is no default a key there could press
            Drive::clickCell(strategies, row, 0);
            QTest::keyClick(strategies, Qt::Key_Return);
            QCOMPARE(strategies->currentRow(), std::min(row + 1, strategies->rowCount() - 1));
            QVERIFY(!widget<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Ok)->isDefault());
        } else if (verb == "red")
            QCOMPARE(redMarks(), w.mid(1).join(' '));
        else if (verb == "tip") // tip DAY TEXT: what a week cell's tool tip says
            QCOMPARE(widget<QTableWidget>("weekDistrib")->item(0, row)->toolTip(), w.mid(2).join(' '));
        else if (verb == "offered") { // offered DAY CARD: the card a week cell's drop-down starts on
            const auto* combo = qobject_cast<QComboBox*>(Drive::openCellEditor(widget<QTableWidget>("weekDistrib"), 0, row));
            QCOMPARE(combo ? combo->currentText() : "no drop-down", w.value(2));
        } else if (verb == "defaultTip") // defaultTip ROW TEXT: what a default cell's tool tip says
            QCOMPARE(strategies->item(row, 2)->toolTip(), w.mid(2).join(' '));
        else if (verb == "reason")
            QCOMPARE(widget<QLabel>("reason")->isVisible() ? widget<QLabel>("reason")->text() : "", w.mid(1).join(' '));
        else if (verb == "changes" || verb == "firstChange") { // firstChange: the first line only; DIR: the folder
            press(dialog.data(), "showChanges");
            const QStringList listed = Drive::texts(widget<QListWidget>("changes"));
            const QString expected = w.mid(1).join(' ').replace("DIR", dir.path());
            QCOMPARE(verb == "changes" ? listed.join(" / ") : listed.value(0), expected);
        } else if (verb == "name")
            enter(widget("zoneName"), w.mid(1).join(' '));
        else if (verb == "said")
            QCOMPARE(std::exchange(said, {}).join(" / "), w.mid(1).join(' '));
        else if (verb == "day")
            pick(widget<QTableWidget>("weekDistrib"), 0, row, w[2]);
        else if (verb == "kml")
            QVERIFY(writeFile(dialog->kmlFile, kml.toUtf8()));
        else if (verb == "spoil") { // another program leaves the zone's file cut short, then puts it back
            spoilt = readFile(dir.filePath("zone.xtsc"));
            QVERIFY(writeFile(dir.filePath("zone.xtsc"), "<Zone id=\"7\">"));
        } else if (verb == "unspoil")
            QVERIFY(writeFile(dir.filePath("zone.xtsc"), spoilt));
        else if (verb == "delStrat" || verb == "delDayCard" || verb == "delArea" || verb == "week") {
            if (verb == "delStrat")
                Drive::clickCell(strategies, row, 0);
            else
                Drive::clickRow(widget<QListWidget>(verb == "delArea" ? "areas" : "daycards"), row);
            if (verb == "week")
                widget<QListWidget>("daycards")->actions().first()->trigger();
            else
                press(dialog.data(), verb);
        } else if (verb == "addStrat" || verb == "editStrat") {
            const QString name = w.value(verb == "addStrat" ? 1 : 2), id = w.value(3);
            editors.expect("StratEditDlg", [this, name, id](QWidget* editor) {
                if (name == "-")
                    return static_cast<QDialog*>(editor)->reject();
                enter(editor->findChild<QLineEdit*>("stratName"), name);
                if (!id.isEmpty())
                    Drive::retype(editor->findChild<QSpinBox*>("stratId"), id);
                pick(editor->findChild<QTableWidget*>("areas"), 0, 2, "calendar");
                Drive::clickButton(editor);
                // Refused: what it marks is said, and the user gives up.
                if (editor->isVisible()) {
                    said << markedRed(editor, {"stratId", "stratName"}) << editor->findChild<QLabel*>("reason")->text();
                    static_cast<QDialog*>(editor)->reject();
                }
            });
            if (verb == "addStrat")
                press(dialog.data(), "addStrat");
            else
                Drive::clickCell(strategies, row, 1, true);
        } else if (verb == "addCard") {
            editors.expect("DaycardEditDlg", [w](QWidget* editor) { addRowAndAccept(editor, w[1]); });
            press(dialog.data(), "addDaycard");
        } else if (verb == "addArea" || verb == "editArea") {
            if (verb == "addArea")
                press(dialog.data(), "addArea");
            else
                Drive::clickRow(widget<QListWidget>("areas"), row, true);
            QPointer<AreaEditDlg> editor;
            for (AreaEditDlg* opened : dialog->findChildren<AreaEditDlg*>())
                editor = opened->isVisible() ? opened : editor.data();
            QVERIFY2(editor && editor->isModal(), qPrintable(action));
            QCOMPARE(editor->cnfStorage.data(), &storage);
            Drive::retype(editor->findChild<QSpinBox*>("areaId"), w[w.size() - 2]);
            Drive::retype(editor->findChild<QLineEdit*>("areaName"), w.last());
            // A new area passes its own editor only with day cards (its own test's matter).
            if (verb == "addArea")
                editor->accept();
            else
                Drive::clickButton(editor);
            QTRY_VERIFY2(!editor, qPrintable(action)); // deleted once finished
        } else if (verb == "edit") { // the zone outline edited on the map
            press(dialog.data(), "editZoneGeometry");
            QVERIFY(toolWindow(dialog.data()) && !dialog->isVisible() && overlay(&scene)->isEditing());
        } else if (verb == "shift") { // the whole outline dragged on the map with Shift held, 100 east
            QGraphicsView map(&scene);
            map.setTransform(QTransform::fromScale(0.5, 0.5));
            map.resize(700, 500);
            showExposed(&map);
            const QPoint from = map.mapFromScene(QPointF(1000, 0));
            QTest::keyPress(&map, Qt::Key_Shift);
            Drive::drag(map.viewport(), from, from + QPoint(50, 0), Qt::ShiftModifier);
            QTest::keyRelease(&map, Qt::Key_Shift);
        } else if (verb == "end" || verb == "close") { // the tool window's button, or its close box
            if (verb == "end")
                QTest::mouseClick(toolWindow(dialog.data())->findChild<QPushButton*>(), Qt::LeftButton);
            else
                toolWindow(dialog.data())->close();
            QVERIFY(dialog->isVisible() && !overlay(&scene)->isEditing());
        } else if (verb == "import") { // import [replace ROW PLACEMARK]: names replaced, a row's placemark picked
            press(dialog.data(), "importKml");
            auto* import = dialog->findChild<KmlImportDlg*>();
            QVERIFY(import && import->isVisible() && !dialog->isVisible());
            if (w.value(1) == "replace") {
                pick(import->findChild<QTableWidget*>("velmoraItems"), w[2].toInt(), 2, w[3]);
                QTest::keyClick(import->findChild<QCheckBox*>("replaceNames"), Qt::Key_Space);
            }
            Drive::clickButton(import);
            QVERIFY(dialog->isVisible());
            QTRY_VERIFY(!dialog->findChild<KmlImportDlg*>());
        } else if (verb == "export") { // export NAME, typed without ".kml"; said: the boxes, "wrote FILE" for a file there
            dialog->kmlFile = dir.filePath(w[1]);
            QFile::remove(dialog->kmlFile + ".kml");
            press(dialog.data(), "exportKml");
            for (const QString& file : QDir(dir.path()).entryList({"outlines*"}, QDir::Files))
                editors.boxes << "wrote " + file;
        } else {
            QFAIL(qPrintable("unknown action " + action)); // else a misspelt step would do nothing and pass
        }
        said << editors.boxes;
        QVERIFY2(editors.allAnswered(), qPrintable("no editor opened for " + action));
    }

    // What is shown red: "zoneName", "strategies", "day:D", "default:ROW".
    QString redMarks() const
    {
        const auto day = [](const QString&, const QString& column) { return "day:" + column; };
        const auto row = [](const QString& row, const QString&) { return "default:" + row; };
        return (markedRed(dialog.data(), {"zoneName", "strategies"}, "weekDistrib", day)
                + markedRed(dialog.data(), {}, "strategies", row)).join(' ');
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        said.clear();
    }
    void cleanup()
    {
        dialog.reset();
        QCOMPARE(scene.items().size(), 0); // nothing of an editor stays on the map
    }

    // A file that is no XML: the editor says so and closes.
    void unreadable()
    {
        const QString fileName = dir.filePath("broken.xtsc");
        QVERIFY(writeFile(fileName, "<Zone id=\"1\"><Areas></Zone>"));
        MessageCapture messages;
        KmlZoneEditDlg editor(fileName, nullptr, nullptr);
        QSignalSpy finished(&editor, &QDialog::finished);
        editor.show();
        QVERIFY2(messages.contains(fileName), qPrintable(messages.messages().join('\n')));
        QVERIFY(finished.wait());
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QCOMPARE(summary(editor.zoneDocument()), QString("zone 1  | strategies  | cards  | week ,,,,,, | areas  | outline "));
    }

    void editing_data()
    {
        QTest::addColumn<QString>("xml"); // empty: a new zone
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("red"); // after the last "ok"; empty: accepted
        QTest::addColumn<QString>("document");
        // name TEXT | delStrat ROW | delDayCard ROW | delArea ROW | week CARDROW | day D CARD | addStrat
        // NAME ("-": cancel) | editStrat ROW NAME [ID] | addCard STRATEGY | addArea ID NAME | editArea ROW ID NAME | ok
        // | red MARKS (what redMarks() must show by then)
        const QString zone = zoneXml, none;
        const QString week = "day:0 day:1 day:2 day:3 day:4 day:5 day:6";
        const QString weekdays = "Monday, Tuesday, Wednesday, Thursday, Friday";
        QTest::newRow("new zone: refused until area, strategy and a card for the week") << none
            << QStringList{"ok", "red zoneName=The zone has no name strategies=No strategy " + week,
                           "reason The zone has no name; " + weekdays + ", Saturday, Sunday have no day card; No strategy",
                           "name Fresh", "addArea 4 Lake", "addStrat Day",
                           "addCard 1", "week 0", "ok"} << ""
            << "zone 1 Fresh | strategies 1*Day:4 | cards 1:1@00:00 | week 1,1,1,1,1,1,1 | areas 4:Lake | outline ";
        QTest::newRow("new zone: only the first strategy added is the default") << none
            << QStringList{"name Fresh", "addArea 4 Lake", "addStrat Day", "addStrat Night", "addCard 2", "week 0", "ok"} << ""
            << "zone 1 Fresh | strategies 1*Day:4 2Night:4 | cards 1:2@00:00 | week 1,1,1,1,1,1,1 | areas 4:Lake | outline ";
        QTest::newRow("eight days are no week; default 'yes' is none")
            << R"(<Zone id="x" name="S"><Calendar><WeekDistribution>1,1,1,1,1,1,1,1</WeekDistribution></Calendar>
<Strategies><Strategy id="1" name="A" default="yes"/><Strategy id="2" name="B"/></Strategies></Zone>)"
            << QStringList{"ok", "reason " + weekdays + ", Saturday, Sunday have no day card; No default strategy"}
            << week + " default:0 default:1"
            << "zone 1 S | strategies 1*A: 2B: | cards  | week ,,,,,, | areas  | outline ";
        QTest::newRow("default strategy deleted, name emptied: said why, in the tool tips too") << zone
            << QStringList{"defaultTip 0 The zone's default strategy", "defaultTip 1 Not the default strategy", "name",
                           "delStrat 0", "reason Strategy 1 \"Day\" deleted; its entries removed from day card 1", "ok",
                           "reason The zone has no name; No default strategy", "defaultTip 0 No default strategy"}
            << "zoneName=The zone has no name default:0 default:1"
            << QString(untouched).replace("North", "").replace("1*Day:3,4 ", "").replace("1@06:00,", "");
        QTest::newRow("area alone in two adjacent strategies: what went with it said") << zone
            << QStringList{"delArea 0", "reason Strategy 1 \"Day\": area 3 no longer used; Strategy 2 \"Night\" deleted; "
                           "its entries removed from day cards 1 and 2; Strategy 3 \"Event\" deleted; its entries removed from "
                           "day card 5; Area 3 \"Centre\" deleted", "ok"} << "day:5 day:6"
            << "zone 7 North | strategies 1*Day:4 | cards 1:1@06:00 | week 1,1,1,1,1,, | areas 4:River=600,10;900,10;900,300"
               " | outline " + outline;
        QTest::newRow("card deleted: its days empty until given a card again") << zone
            << QStringList{"delDayCard 0", "ok", "red day:0 day:1 day:2 day:3 day:4", "tip 0 Monday has no day card",
                           "reason " + weekdays + " have no day card", "week 0", "red ",
                           "reason ", "tip 0 00:00 Night", "day 6 5", "ok"} << ""
            << QString(untouched).replace("1:1@06:00,2@22:00 ", "").replace("1,1,1,1,1,2,5", "2,2,2,2,2,2,5");
        QTest::newRow("week written with blanks: its cards described and offered, deleted from its days")
            << QString(zone).replace("1,1,1,1,1,2,5", " 1,1 ,1,1,1,2,5")
            << QStringList{"tip 0 06:00 Day, 22:00 Night", "offered 1 1", "delDayCard 0", "ok"}
            << "day:0 day:1 day:2 day:3 day:4"
            << QString(untouched).replace("1:1@06:00,2@22:00 ", "").replace("1,1,1,1,1,2,5", ",,,,,2,5");
        QTest::newRow("strategy renumbered: cards follow") << zone << QStringList{"tip 0 06:00 Day, 22:00 Night", "editStrat 1 Late 9",
                                                                           "tip 0 06:00 Day, 22:00 Late", "tip 5 00:00 Late", "ok"} << ""
            << QString(untouched).replace("2Night:3", "9Late:3").replace("2@22:00 2:2@", "9@22:00 2:9@");
        QTest::newRow("default strategy edited: still the default") << zone << QStringList{"editStrat 0 Morning", "ok"} << ""
            << QString(untouched).replace("1*Day", "1*Morning");
        QTest::newRow("area renumbered: strategies follow") << zone << QStringList{"editArea 0 8 Middle", "ok"} << ""
            << QString(untouched).replace("3,4", "8,4").replace("Night:3", "Night:8").replace("Event:3", "Event:8")
                   .replace("3:Centre", "8:Middle");
        QTest::newRow("strategy added, not default; cancelled editor; card takes the next id") << zone
            << QStringList{"addStrat Peak", "addStrat -", "addCard 3", "day 6 6", "ok"} << ""
            << QString(untouched).replace("3Event:3", "3Event:3 4Peak:3").replace("5:3@00:00", "5:3@00:00 6:3@00:00")
                   .replace("1,2,5", "1,2,6");
        // What a zone file cannot carry is refused where it comes in, and said why; a KML export refuses it too (a file
        // name typed without the extension gets it).
        const QString north = QString("No") + QChar(1) + "rth";
        QTest::newRow("zone name XML cannot carry: not exported, refused until changed") << zone
            << QStringList{"name " + north, "export outlines", "said Error: Cannot export " + dir.filePath("outlines.kml")
                           + ": the name \"No\uFFFDrth\" holds the character U+0001, which KML cannot carry", "ok",
                           "red zoneName=" + nameFault, "name North", "ok"} << "" << untouched;
        const QString taken = "Another strategy of the zone has the id 3";
        QTest::newRow("strategy id taken, name XML cannot carry: refused") << zone
            << QStringList{"editStrat 1 " + north + " 3", "said stratId=" + taken + " / stratName=" + nameFault + " / " + taken
                           + "; " + nameFault, "ok"} << "" << untouched;
        QTest::newRow("control source the file invented: strategy refused")
            << QString(zone).replace("<Area id=\"4\" control_source=\"2\"/>", "<Area id=\"4\" control_source=\"7\"/>")
            << QStringList{"editStrat 0 Day", "said Area 4 (River) has no known control source", "ok"} << "" << untouched;
        QTest::newRow("Changes against the file: a rename, then none once undone") << zone
            << QStringList{"name South", "changes Zone 7 \"South\": name \"North\" \u2192 \"South\"", "name North",
                           "changes No changes.", "ok"} << "" << untouched;
        QTest::newRow("Changes against a file spoilt meanwhile: said, the whole zone listed") << zone
            << QStringList{"spoil", "firstChange The file DIR/zone.xtsc cannot be read: unexpected end of file", "unspoil", "ok"}
            << "" << untouched;
        // Stored outlines hold where they are shown: reloading one takes back a whole-outline drag too.
        const QString movedOnce = "100,0;1100,0;1100,800;100,800";
        QTest::newRow("outline moved whole, an edit cancelled, one kept: moved once") << zone
            << QStringList{"edit", "shift", "end", "edit", "close", "edit", "end", "ok"} << ""
            << QString(untouched).replace(outline, movedOnce);
        // The zone's outline goes to the placemark of its name; a name XML cannot carry is said, its outline taken.
        QTest::newRow("outline moved whole, then KML outlines: by name, or picked") << zone
            << QStringList{"edit", "shift", "end", "kml", "import replace 1 " + lake, "said Warning: These names in the "
                           "KML file hold characters a zone file cannot carry and were not taken: La[U+0001]ke", "ok"} << ""
            << QString(untouched).replace(outline, "1,1;9,1;9,9").replace("10,10;500,10;500,400", "5,5;6,5;6,6");
    }
    void editing()
    {
        QFETCH(QString, xml);
        QFETCH(QStringList, actions);
        QFETCH(QString, red);
        QFETCH(QString, document);
        open(xml);
        // Only an outline the file brings can be exported.
        QCOMPARE(widget("exportKml")->isEnabled(), xml.contains("<Geometry>0"));
        QSignalSpy accepted(dialog.data(), &QDialog::accepted);
        for (const QString& action : actions) {
            act(action);
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(redMarks(), red);
        QCOMPARE(said, QStringList());
        QCOMPARE(accepted.count(), red.isEmpty() ? 1 : 0);
        QCOMPARE(summary(dialog->zoneDocument()), document);
        QCOMPARE(overlay(&scene)->outlineText(), document.section("| outline ", 1)); // the map shows what is saved
        // So do the areas' previews; a hairline keeps each one's bounds its outline's own.
        const QListWidget* areas = widget<QListWidget>("areas");
        for (int row = 0; row < areas->count(); ++row) {
            const auto* preview = areas->item(row)->data(Qt::UserRole + 1).value<QGraphicsPathItem*>();
            const QDomElement area = areas->item(row)->data(Qt::UserRole).value<QDomElement>();
            QPolygonF ring;
            if (!Velmora::Geometry::parsePoints(firstText(area.firstChildElement("Geometry")), &ring)) {
                QVERIFY(!preview || preview->path().isEmpty());
                continue;
            }
            QVERIFY2(preview, qPrintable(area.attribute("name")));
            QCOMPARE(preview->path().toFillPolygon(), ring << ring.first());
            QCOMPARE(preview->boundingRect(), preview->path().controlPointRect());
        }
    }

    // Nothing is lost to a key: Escape in a cell closes the cell, Enter in a table stays there, and closing an editor
    // that holds changes asks first. A change undone is none.
    void closing_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<int>("early"); // how many of them come before the editor is first drawn
        QTest::addColumn<bool>("rejected"); // else still open
        const QString asked = "said discardChanges: Discard changes to zone 7 \"North\"?";
        QTest::newRow("untouched: Cancel closes at once") << QStringList{"cancel"} << 0 << true;
        QTest::newRow("Escape in a week cell closes the cell; then asked, kept, asked, discarded")
            << QStringList{"day 6 2", "esc", "shown yes", "esc Keep editing", asked, "shown yes", "cancel Discard", asked}
            << 0 << true;
        QTest::newRow("a name typed before the editor was first drawn: Cancel asked, kept")
            << QStringList{"name South", "cancel Keep editing", asked} << 1 << false;
        QTest::newRow("a choice undone is no change") << QStringList{"day 6 2", "esc", "day 6 5", "cancel"} << 0 << true;
        QTest::newRow("Enter in the strategies table moves down, never accepts")
            << QStringList{"enter 0", "shown yes", "enter 2", "shown yes"} << 0 << false;
    }
    void closing()
    {
        QFETCH(QStringList, actions);
        QFETCH(int, early);
        QFETCH(bool, rejected);
        open(zoneXml, early == 0);
        QSignalSpy finished(dialog.data(), &QDialog::finished);
        for (int step = 0; step < actions.size(); ++step) {
            if (step == early && step > 0)
                showExposed(dialog.data());
            act(actions.at(step));
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(said, QStringList());
        QCOMPARE(finished.count(), rejected ? 1 : 0);
        QCOMPARE(dialog->isVisible(), !rejected);
        if (rejected)
            QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    }

    // Ids as the file writes them survive an edit; a new one follows the largest without overflowing; the file
    // gets ASCII digits whatever the user's locale.
    void ids_data()
    {
        QTest::addColumn<QString>("edited");  // zone; strategy: the first opened and accepted (=ID: that id typed);
                                              // new strategy; new card
        QTest::addColumn<QString>("ids");     // of the zone, its strategies or its cards
        QTest::addColumn<QString>("written"); // the edited or new element's id
        QTest::addColumn<bool>("arabic");     // the user's locale has digits of its own
        QTest::newRow("zone 0") << "zone" << "0" << "0" << false;
        QTest::newRow("zone 4294967295") << "zone" << "4294967295" << "4294967295" << true;
        QTest::newRow("strategy 4294967295") << "strategy" << "4294967295,5" << "4294967295" << true;
        QTest::newRow("strategy 100000 retyped") << "strategy=12" << "100000,5" << "12" << false;
        QTest::newRow("new strategy after 2147483647") << "new strategy" << "1,2147483647" << "2147483648" << true;
        QTest::newRow("new strategy after 4294967295: the smallest free")
            << "new strategy" << "1,4294967295,2" << "3" << false;
        QTest::newRow("new card after 2147483647") << "new card" << "2147483647,1" << "2147483648" << true;
    }
    void ids()
    {
        QFETCH(QString, edited);
        QFETCH(QString, ids);
        QFETCH(QString, written);
        QFETCH(bool, arabic);
        const auto restore = arabicLocale(dialog, arabic);
        const QStringList list = ids.split(',');
        const QStringList strategyIds = edited.contains("strategy") ? list : QStringList{"1"};
        const QStringList cardIds = edited == "new card" ? list : QStringList{"1"};
        QString strategies, cards;
        for (const QString& id : strategyIds)
            strategies += QString("<Strategy id=\"%1\" name=\"S\"%2><Area id=\"3\" control_source=\"1\"/></Strategy>")
                              .arg(id, strategies.isEmpty() ? " default=\"1\"" : "");
        for (const QString& id : cardIds)
            cards += QString("<DayCard id=\"%1\"><Time strategy_id=\"%2\">00:00</Time></DayCard>").arg(id, strategyIds[0]);
        const QString week = QVector<QString>(7, cardIds[0]).toList().join(QLatin1Char(','));
        open(QString("<Zone id=\"%1\" name=\"N\"><Calendar><DayCards>%2</DayCards><WeekDistribution>%3</WeekDistribution>"
                     "</Calendar><Strategies>%4</Strategies><Areas><Area id=\"3\" name=\"A\"/></Areas></Zone>")
                 .arg(edited == "zone" ? ids : "7", cards, week, strategies));
        if (edited.startsWith("strategy"))
            act("editStrat 0 S " + edited.section('=', 1));
        else if (edited.startsWith("new "))
            act(edited == "new card" ? "addCard " + strategyIds[0] : "addStrat New");
        act("ok");
        QVERIFY(!dialog->isVisible());
        const QDomElement zone = dialog->zoneDocument().documentElement();
        const QDomElement savedStrategies = zone.firstChildElement("Strategies");
        const QDomElement savedCards = zone.firstChildElement("Calendar").firstChildElement("DayCards");
        const QDomElement element = edited == "zone" ? zone
            : edited.startsWith("strategy")         ? savedStrategies.firstChildElement()
            : edited == "new strategy"              ? savedStrategies.lastChildElement()
                                                    : savedCards.lastChildElement();
        QCOMPARE(element.attribute("id"), written);
    }

    void check_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("found");    // in the first finding's text
        QTest::addColumn<QString>("selected"); // the strategy row choosing it selects
        QTest::addColumn<bool>("byKey");       // chosen with the Down key, not a click
        QTest::newRow("strategy using a missing area") << "unknown-area" << "error: Strategy 2 uses area 8" << "2" << false;
        QTest::newRow("the same, chosen with the keyboard") << "unknown-area" << "error: Strategy 2 uses area 8" << "2"
                                                            << true;
        QTest::newRow("a clean zone") << "clean" << "No faults found." << "" << false;
    }
    // "Check" lists the checker's findings on the zone; choosing one selects the row it is about.
    void check()
    {
        QFETCH(QString, file);
        QFETCH(QString, found);
        QFETCH(QString, selected);
        QFETCH(bool, byKey);
        open(QString::fromUtf8(readFile(VELMORA_TEST_DATA "/check/" + file + ".xtsc")));
        press(dialog.data(), "checkZone");
        auto* findings = widget<QListWidget>("findings");
        QVERIFY(findings && findings->count() > 0);
        QVERIFY2(findings->item(0)->text().contains(found), qPrintable(findings->item(0)->text()));
        if (byKey) {
            findings->setFocus();
            QTest::keyClick(findings, Qt::Key_Down);
        } else {
            Drive::clickRow(findings, 0);
        }
        auto* strategies = widget<QTableWidget>("strategies");
        QCOMPARE(strategies->currentRow() < 0 ? "" : strategies->item(strategies->currentRow(), 0)->text(), selected);
    }

    // However the editor is left, it goes with whatever it opened, and its document is freed apart from it: a
    // document the opener took stays whole.
    void teardown_data()
    {
        QTest::addColumn<QString>("left"); // "ok", or the button pressed last
        QTest::newRow("accepted, its document kept by the opener") << "ok";
        QTest::newRow("an area editor open") << "addArea";
        QTest::newRow("the findings shown") << "checkZone";
        QTest::newRow("a KML import open") << "importKml";
        QTest::newRow("the outline being edited on the map") << "editZoneGeometry";
    }
    void teardown()
    {
        QFETCH(QString, left);
        open(zoneXml);
        act("kml");
        if (left == "ok")
            act("ok");
        else
            press(dialog.data(), left);
        QCOMPARE(dialog->isVisible(), left == "addArea" || left == "checkZone");
        const QDomDocument kept = dialog->zoneDocument();
        QList<QPointer<QDialog>> opened;
        for (QDialog* child : dialog->findChildren<QDialog*>())
            opened << child;
        QCOMPARE(opened.isEmpty(), left == "ok");
        dialog.reset();
        QCOMPARE(opened.count(nullptr), opened.size());
        QCOMPARE(summary(kept), untouched);
    }

    // Russian texts show once installed; English, the source, takes them away again (rows in this order).
    void followsTheLanguage_data()
    {
        QTest::addColumn<QLocale>("locale");
        // The editor's title, the strategies' default column header, "Changes", the day cards' menu, the
        // default cell's tool tip, the findings window's title.
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia)
                                 << QStringList{"Редактирование зоны", "по умолчанию", "Изменения",
                                                "использовать на всю неделю", "Стратегия зоны по умолчанию",
                                                "Проверить"};
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates)
                                 << QStringList{"Zone edit", "default", "Changes", "use for whole week",
                                                "The zone's default strategy", "Check"};
    }
    void followsTheLanguage()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, texts);
        QCOMPARE(Velmora::installTranslation(locale), locale.language() == QLocale::Russian);
        open(zoneXml);
        press(dialog.data(), "checkZone");
        const auto* strategies = widget<QTableWidget>("strategies");
        QCOMPARE((QStringList{dialog->windowTitle(), strategies->horizontalHeaderItem(2)->text(),
                              widget<QPushButton>("showChanges")->text(),
                              widget<QListWidget>("daycards")->actions().value(0)->text(),
                              strategies->item(0, 2)->data(Qt::ToolTipRole).toString(),
                              widget<QListWidget>("findings")->window()->windowTitle()}),
                 texts);
    }
};

QTEST_MAIN(ZoneEditDlgTest)
#include "tst_zoneeditdlg.moc"
