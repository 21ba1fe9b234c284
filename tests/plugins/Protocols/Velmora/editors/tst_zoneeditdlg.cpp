#include "EditorTest.h"
#include "MessageCapture.h"
#include "Velmora/Translations.h"
#include "Velmora/editors/AreaEditDlg.h"
#include "Velmora/editors/StratEditDlg.h"
#include "Velmora/editors/ZoneEditDlg.h"
#include "Velmora/format/XmlText.h"
#include "Velmora/import/KmlImportDlg.h"

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
                          "2:2@00:00 5:3@00:00 | week 1,1,1,1,1,2,5 | areas 3:Centre 4:River | outline " + outline;

// Outlines by name for the zone, area 3, and an area the zone lacks.
const QString placemark = "<Placemark><name>%1</name><Polygon><outerBoundaryIs><LinearRing><coordinates>%2"
                          "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>";
const QString kml = "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>" + placemark.arg("North", "1,1,0 9,1,0 9,9,0 ")
                    + placemark.arg("Centre", "2,2,0 4,2,0 4,4,0 ") + placemark.arg("Lake", "5,5,0 6,5,0 6,6,0 ")
                    + "</Document></kml>";

// For the strategy editor alone: strategy 2 drives area 4 by a source no
// editor offers ("9"); zone 8 has no areas.
const char* const strategiesXml = R"(<Zones><Zone id="7"><Strategies>
<Strategy id="1" name="Day" default="1"><Area id="3" control_source="1"/></Strategy>
<Strategy id="2" name="Night"><Area id="3" control_source="3"/><Area id="4" control_source="9"/></Strategy>
<Strategy id="7" name="Event"/></Strategies>
<Areas><Area id="3" name="Centre"/><Area id="4" name="River"/><Area id="5" name="Port"/></Areas></Zone>
<Zone id="8"><Strategies><Strategy id="4" name="Only"/></Strategies></Zone></Zones>)";

// The document in one line; "*" marks a strategy carrying "default".
QString summary(const QDomDocument& document)
{
    const QDomElement zone = document.documentElement(), calendar = zone.firstChildElement("Calendar");
    const auto id = [](const QDomElement& e) { return e.attribute("id"); };
    const auto strategy = [&](const QDomElement& s) {
        return id(s) + (s.hasAttribute("default") ? "*" : "") + s.attribute("name") + ":" + each(s, id, ',');
    };
    const auto time = [](const QDomElement& t) { return t.attribute("strategy_id") + "@" + firstText(t); };
    const auto card = [&](const QDomElement& c) { return id(c) + ":" + each(c, time, ','); };
    const auto area = [&](const QDomElement& a) { return id(a) + ":" + a.attribute("name"); };
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

// The zone editor, and its strategy editor alone.
class ZoneEditDlgTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QGraphicsScene scene;
    QObject storage;
    QScopedPointer<KmlZoneEditDlg> dialog;
    QDomDocument strategiesDoc;
    QScopedPointer<StratEditDlg> strategyEditor;

    // The editor on `xml` (empty: a new zone), on the map.
    void open(const QString& xml)
    {
        QString fileName;
        if (!xml.isEmpty())
            QVERIFY(writeFile(fileName = dir.filePath("zone.xtsc"), xml.toUtf8()));
        dialog.reset(new KmlZoneEditDlg(fileName, nullptr, &scene));
        dialog->cnfStorage = &storage;
        dialog->kmlFile = dir.filePath("outlines.kml");
        showExposed(dialog.data());
        // The three lists share the width through a splitter, second in the dialog.
        auto* splitter = dialog->findChild<QSplitter*>("splitter");
        QVERIFY(splitter && splitter->count() == 3);
        QCOMPARE(qobject_cast<QBoxLayout*>(dialog->layout())->indexOf(splitter), 1);
    }

    template<typename T = QWidget> T* widget(const char* name) const { return dialog->findChild<T*>(name); }

    // One user step; editing_data() and map_data() list the words.
    void act(const QString& action)
    {
        const QStringList w = action.split(' ');
        const QString verb = w[0];
        const int row = w.value(1).toInt();
        auto* strategies = widget<QTableWidget>("strategies");
        PopupAnswerer editors;
        if (verb == "ok") {
            Drive::clickButton(dialog.data());
        } else if (verb == "red") {
            QCOMPARE(redMarks(), w.mid(1).join(' '));
        } else if (verb == "name") {
            Drive::retype(widget("zoneName"), w.mid(1).join(' '));
        } else if (verb == "default") {
            Drive::clickCell(strategies, row, 2, true);
        } else if (verb == "delStrat") {
            Drive::clickCell(strategies, row, 0);
            press(dialog.data(), "delStrat");
        } else if (verb == "delCard" || verb == "week") {
            Drive::clickRow(widget<QListWidget>("daycards"), row);
            if (verb == "week")
                widget<QListWidget>("daycards")->actions().first()->trigger();
            else
                press(dialog.data(), "delDayCard");
        } else if (verb == "delArea" || verb == "current") {
            Drive::clickRow(widget<QListWidget>("areas"), row);
            if (verb == "delArea")
                press(dialog.data(), "delArea");
        } else if (verb == "day") {
            pick(widget<QTableWidget>("weekDistrib"), 0, row, w[2]);
        } else if (verb == "addStrat" || verb == "editStrat") {
            const QString name = w.value(verb == "addStrat" ? 1 : 2), id = w.value(3);
            editors.expect("StratEditDlg", [name, id](QWidget* editor) {
                if (name == "-")
                    return static_cast<QDialog*>(editor)->reject();
                Drive::retype(editor->findChild<QLineEdit*>("stratName"), name);
                if (!id.isEmpty())
                    Drive::retype(editor->findChild<QSpinBox*>("stratId"), id);
                pick(editor->findChild<QTableWidget*>("areas"), 0, 2, "calendar");
                Drive::clickButton(editor);
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
            // A new area passes its own editor only with day cards (its own
            // test's matter); here what counts is what comes back.
            if (verb == "addArea")
                editor->accept();
            else
                Drive::clickButton(editor);
            QTRY_VERIFY2(!editor, qPrintable(action)); // deleted once finished
        } else if (verb == "drag") { // the zone outline edited on the map: one vertex moved
            press(dialog.data(), "editZoneGeometry");
            QVERIFY(toolWindow(dialog.data()) && !dialog->isVisible() && overlay(&scene)->isEditing());
            overlay(&scene)->movePoint(QPointF(1000, 0), QPointF(1200, 50.5));
        } else if (verb == "end" || verb == "close") { // the tool window's button, or its close box
            if (verb == "close")
                toolWindow(dialog.data())->close();
            else
                QTest::mouseClick(toolWindow(dialog.data())->findChild<QPushButton*>(), Qt::LeftButton);
            QVERIFY(dialog->isVisible() && !overlay(&scene)->isEditing());
        } else if (verb == "export") { // the editor's own KML file
            press(dialog.data(), "exportKml");
        } else if (verb == "kml") {
            QVERIFY(writeFile(dialog->kmlFile, kml.toUtf8()));
        } else if (verb == "import") { // import ok|cancel
            press(dialog.data(), "importKml");
            auto* import = dialog->findChild<KmlImportDlg*>();
            QVERIFY(import && import->isVisible() && !dialog->isVisible());
            if (w[1] == "ok")
                Drive::clickButton(import);
            else
                import->reject();
            QVERIFY(dialog->isVisible());
            QTRY_VERIFY(!dialog->findChild<KmlImportDlg*>());
        } else {
            QFAIL(qPrintable("unknown action " + action));
        }
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

    // The area previews on the map: how many, and the outline of the one shown.
    QString previews() const
    {
        QStringList shown;
        int count = 0;
        for (QGraphicsItem* item : scene.items()) {
            auto* path = qgraphicsitem_cast<QGraphicsPathItem*>(item);
            count += path ? 1 : 0;
            const QPolygonF polygon = path && path->isVisible() ? path->path().toFillPolygon() : QPolygonF();
            for (int i = 0; i + 1 < polygon.size(); ++i) // the last point closes the fill polygon
                shown << QString("%1,%2").arg(polygon[i].x()).arg(polygon[i].y());
        }
        return QString("%1 %2").arg(count).arg(shown.isEmpty() ? "none" : shown.join(';'));
    }

    // The strategy editor on "ZONE/STRATEGY" of strategiesXml; no strategy: a new one.
    QTableWidget* openStrategy(const QString& path)
    {
        QDomElement zone = parseXml(&strategiesDoc, strategiesXml).firstChildElement();
        while (zone.attribute("id") != path.section('/', 0, 0))
            zone = zone.nextSiblingElement();
        const QDomElement strategies = zone.firstChildElement("Strategies");
        QDomElement strategy;
        for (QDomElement s = strategies.firstChildElement(); !s.isNull(); s = s.nextSiblingElement())
            strategy = s.attribute("id") == path.section('/', 1) ? s : strategy;
        strategyEditor.reset(new StratEditDlg(zone.firstChildElement("Areas"), strategies, strategy));
        showExposed(strategyEditor.data());
        return strategyEditor->findChild<QTableWidget*>("areas");
    }

    // Everything shown red: "stratId", "stratName", "areas", "used:ROW", "source:ROW".
    QString strategyRed() const
    {
        const auto cell = [](const QString& row, const QString& column) { return (column == "1" ? "used:" : "source:") + row; };
        return markedRed(strategyEditor.data(), {"stratId", "stratName", "areas"}, "areas", cell).join(' ');
    }

private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup()
    {
        strategyEditor.reset();
        dialog.reset();
        QCOMPARE(scene.items().size(), 0); // nothing of an editor stays on the map
    }

    void unreadable_data()
    {
        QTest::addColumn<QString>("content"); // empty: the path is a directory
        QTest::newRow("no XML") << "<Zone id=\"1\"><Areas></Zone>";
        QTest::newRow("cannot be opened") << "";
    }
    void unreadable()
    {
        QFETCH(QString, content);
        QString fileName = dir.path();
        if (!content.isEmpty())
            QVERIFY(writeFile(fileName = dir.filePath("broken.xtsc"), content.toUtf8()));
        MessageCapture messages;
        KmlZoneEditDlg editor(fileName, nullptr, nullptr);
        QSignalSpy finished(&editor, &QDialog::finished);
        editor.show();
        QVERIFY2(messages.contains(fileName), qPrintable(messages.messages().join('\n')));
        QVERIFY(finished.wait(1000));
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QCOMPARE(summary(editor.zoneDocument()), QString("zone 1  | strategies  | cards  | week ,,,,,, | areas  | outline "));
    }

    void editing_data()
    {
        QTest::addColumn<QString>("xml"); // empty: a new zone
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("red"); // after the last "ok"; empty: accepted
        QTest::addColumn<QString>("document");

        // name TEXT | default ROW | delStrat ROW | delCard ROW | delArea ROW | week CARDROW | day D CARD |
        // addStrat NAME ("-": cancel) | editStrat ROW NAME [ID] | addCard STRATEGY | addArea ID NAME |
        // editArea ROW ID NAME | ok | red MARKS (what redMarks() must show by then)
        const QString zone = zoneXml, none;
        const QString badWeek = R"(<Zone id="x" name="S"><Calendar><WeekDistribution>%1</WeekDistribution></Calendar>
<Strategies><Strategy id="1" name="A" default="%2"/><Strategy id="2" name="B"/></Strategies></Zone>)";
        const QString badWeekSaved = "zone 1 S | strategies 1*A: 2B: | cards  | week ,,,,,, | areas  | outline ";
        const QString week = "day:0 day:1 day:2 day:3 day:4 day:5 day:6";
        QTest::newRow("untouched") << zone << QStringList{"ok"} << "" << untouched;
        QTest::newRow("new zone: refused until area, strategy and a card for the week") << none
            << QStringList{"ok", "red zoneName strategies " + week, "name Fresh", "addArea 4 Lake", "addStrat Day",
                           "addCard 1", "week 0", "ok"} << ""
            << "zone 1 Fresh | strategies 1*Day:4 | cards 1:1@00:00 | week 1,1,1,1,1,1,1 | areas 4:Lake | outline ";
        QTest::newRow("six days are no week") << badWeek.arg("1,1,1,1,1,1", "TRUE") << QStringList{"ok"} << week
                                              << badWeekSaved;
        QTest::newRow("eight neither; default 'yes' is none") << badWeek.arg("1,1,1,1,1,1,1,1", "yes")
            << QStringList{"ok"} << week + " default:0 default:1" << badWeekSaved;
        QTest::newRow("default strategy deleted, name emptied") << zone << QStringList{"name", "delStrat 0", "ok"}
            << "zoneName default:0 default:1"
            << QString(untouched).replace("North", "").replace("1*Day:3,4 ", "").replace("1@06:00,", "");
        QTest::newRow("strategy of a card's switch deleted") << zone << QStringList{"delStrat 1", "ok"} << "day:5"
            << QString(untouched).replace("2Night:3 ", "").replace(",2@22:00 2:2@00:00", "").replace("2,5", ",5");
        QTest::newRow("area alone in two adjacent strategies") << zone << QStringList{"delArea 0", "ok"} << "day:5 day:6"
            << "zone 7 North | strategies 1*Day:4 | cards 1:1@06:00 | week 1,1,1,1,1,, | areas 4:River | outline " + outline;
        QTest::newRow("area sharing its strategy deleted, another added") << zone
            << QStringList{"delArea 1", "addArea 9 Lake", "ok"} << ""
            << QString(untouched).replace("3,4", "3").replace("4:River", "9:Lake");
        QTest::newRow("card deleted: its days empty until given a card again") << zone
            << QStringList{"delCard 0", "ok", "red day:0 day:1 day:2 day:3 day:4", "week 0", "day 6 5", "ok"} << ""
            << QString(untouched).replace("1:1@06:00,2@22:00 ", "").replace("1,1,1,1,1,2,5", "2,2,2,2,2,2,5");
        QTest::newRow("default cleared on its own row, then chosen") << zone
            << QStringList{"default 0", "ok", "red default:0 default:1 default:2", "default 1", "ok"} << ""
            << QString(untouched).replace("1*Day", "1Day").replace("2Night", "2*Night");
        QTest::newRow("default moved; the default strategy edited stays default") << zone
            << QStringList{"default 2", "editStrat 2 Morning", "ok"} << ""
            << QString(untouched).replace("1*Day", "1Day").replace("3Event", "3*Morning");
        QTest::newRow("strategy renumbered: cards follow") << zone << QStringList{"editStrat 1 Late 9", "ok"} << ""
            << QString(untouched).replace("2Night:3", "9Late:3").replace("2@22:00 2:2@", "9@22:00 2:9@");
        QTest::newRow("area renumbered: strategies follow") << zone << QStringList{"editArea 0 8 Middle", "ok"} << ""
            << QString(untouched).replace("3,4", "8,4").replace("Night:3", "Night:8").replace("Event:3", "Event:8")
                   .replace("3:Centre", "8:Middle");
        QTest::newRow("strategy added, not default; cancelled editor; card takes the next id") << zone
            << QStringList{"addStrat Peak", "addStrat -", "addCard 3", "day 6 6", "ok"} << ""
            << QString(untouched).replace("3Event:3", "3Event:3 4Peak:3").replace("5:3@00:00", "5:3@00:00 6:3@00:00")
                   .replace("1,2,5", "1,2,6");
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
        QCOMPARE(accepted.count(), red.isEmpty() ? 1 : 0);
        QCOMPARE(summary(dialog->zoneDocument()), document);
    }

    void map_data()
    {
        // "current ROW", "drag", "end", "close", "export", "kml", "import ok|cancel", or an editing step
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("previews"); // count, then the area outline shown
        QTest::addColumn<QString>("outline");  // of the zone, as saved

        const QString centre = "2 10,10;500,10;500,400", river = "600,10;900,10;900,300";
        QTest::newRow("second area shown instead of the first") << QStringList{"current 0", "current 1"}
                                                                << "2 " + river << outline;
        QTest::newRow("current area deleted") << QStringList{"current 0", "delArea 0"} << "1 " + river << outline;
        QTest::newRow("edited area still shown") << QStringList{"current 0", "editArea 0 3 Middle"} << centre << outline;
        QTest::newRow("zone outline edited") << QStringList{"drag", "end"} << "2 none" << "0,0;1200,50.5;1000,800;0,800";
        QTest::newRow("tool window closed: edit dropped") << QStringList{"drag", "close"} << "2 none" << outline;
        QTest::newRow("own KML export read back") << QStringList{"export", "current 0", "import ok"} << centre << outline;
        QTest::newRow("KML outlines assigned by name") << QStringList{"kml", "current 0", "import ok"}
                                                       << "2 2,2;4,2;4,4" << "1,1;9,1;9,9";
        QTest::newRow("KML import cancelled") << QStringList{"kml", "current 0", "import cancel"} << centre << outline;
    }
    void map()
    {
        QFETCH(QStringList, actions);
        QFETCH(QString, previews);
        QFETCH(QString, outline);
        open(zoneXml);
        for (const QString& action : actions)
            act(action);
        QCOMPARE(this->previews(), previews);
        QCOMPARE(overlay(&scene)->outlineText(), outline);
        QCOMPARE(summary(dialog->zoneDocument()).section("| outline ", 1), outline);
    }

    void check_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("found");    // in the first finding's text
        QTest::addColumn<QString>("selected"); // "strategies ID", "areas ID", or nothing
        QTest::newRow("strategy using a missing area") << "unknown-area" << "error: Strategy 2 uses area 8" << "strategies 2";
        QTest::newRow("area card naming a missing state") << "unknown-state" << "names state 9" << "areas 1";
        QTest::newRow("a clean zone") << "clean" << "No faults found." << "";
    }
    // "Check" lists the checker's findings on the zone; a click on one selects
    // the row it is about, and nothing else changes.
    void check()
    {
        QFETCH(QString, file);
        QFETCH(QString, found);
        QFETCH(QString, selected);
        open(QString::fromUtf8(readFile(VELMORA_TEST_DATA "/check/" + file + ".xtsc")));
        press(dialog.data(), "checkZone");
        auto* findings = widget<QListWidget>("findings");
        QVERIFY(findings && findings->count() > 0);
        QVERIFY2(findings->item(0)->text().contains(found), qPrintable(findings->item(0)->text()));
        Drive::clickRow(findings, 0);
        auto* strategies = widget<QTableWidget>("strategies");
        auto* areas = widget<QListWidget>("areas");
        const int row = strategies->currentRow();
        QString current = row < 0 ? "" : "strategies " + strategies->item(row, 0)->text();
        if (areas->currentItem())
            current += "areas " + areas->currentItem()->text().section(" (", 0, 0);
        QCOMPARE(current, selected);
        QVERIFY(dialog->isVisible());
    }

    // Used areas show their source by name, one no editor offers by its number.
    void strategyRows()
    {
        QTableWidget* table = openStrategy("7/2");
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << table->item(row, 0)->text() + (table->item(row, 1)->data(Qt::EditRole).toBool() ? "|used|" : "|-|")
                        + table->item(row, 2)->text();
        QCOMPARE(rows, (QStringList{"3 (Centre)|used|local control", "4 (River)|used|9", "5 (Port)|-|"}));
    }

    void strategy_data()
    {
        QTest::addColumn<QString>("strategy");    // as openStrategy() takes it
        QTest::addColumn<QStringList>("actions"); // "toggle ROW", "source ROW NAME", "id N", "name TEXT", "ok",
                                                  // "red MARKS": what strategyRed() shows by then
        QTest::addColumn<QString>("outcome");     // the built strategy, or what is red

        QTest::newRow("new after ids 1, 2, 7: a source chosen uses the area") << "7/"
            << QStringList{"name Evening", "source 2 adaptive system"} << "Strategy id=8 name=Evening [Area control_source=2 id=5]";
        QTest::newRow("id kept, default never written; a re-ticked area keeps its source") << "7/1"
            << QStringList{"toggle 0", "toggle 0"} << "Strategy id=1 name=Day [Area control_source=1 id=3]";
        QTest::newRow("unticked area left out, unknown source with it") << "7/2" << QStringList{"toggle 1"}
            << "Strategy id=2 name=Night [Area control_source=3 id=3]";
        QTest::newRow("sources replaced, areas in table order") << "7/2"
            << QStringList{"source 2 calendar", "source 1 local control"}
            << "Strategy id=2 name=Night [Area control_source=3 id=3] [Area control_source=3 id=4] [Area control_source=1 id=5]";
        QTest::newRow("id of another strategy refused, then mended; renamed") << "7/1"
            << QStringList{"id 7", "ok", "red stratId", "id 5", "name Late"} << "Strategy id=5 name=Late [Area control_source=1 id=3]";
        QTest::newRow("new one given a taken id, empty name") << "7/" << QStringList{"id 2", "source 0 calendar"}
            << "stratId stratName";
        QTest::newRow("used area, unknown source") << "7/2" << QStringList() << "source:1";
        QTest::newRow("ticked area without source") << "7/1" << QStringList{"toggle 2"} << "source:2";
        QTest::newRow("no area used, then mended") << "7/1"
            << QStringList{"toggle 0", "ok", "red used:0 used:1 used:2", "toggle 0"} << "Strategy id=1 name=Day [Area control_source=1 id=3]";
        QTest::newRow("zone without areas") << "8/" << QStringList{"name Lonely"} << "areas";
    }
    void strategy()
    {
        QFETCH(QString, strategy);
        QFETCH(QStringList, actions);
        QFETCH(QString, outcome);
        QTableWidget* table = openStrategy(strategy);
        const QString before = strategiesDoc.toString();
        for (const QString& action : actions << "ok") {
            const QString verb = action.section(' ', 0, 0), rest = action.section(' ', 1);
            if (verb == "ok")
                Drive::clickButton(strategyEditor.data());
            else if (verb == "red")
                QCOMPARE(strategyRed(), rest);
            else if (verb == "id" || verb == "name")
                Drive::retype(strategyEditor->findChild<QWidget*>(verb == "id" ? "stratId" : "stratName"), rest);
            else if (verb == "source")
                pick(table, rest.section(' ', 0, 0).toInt(), 2, rest.section(' ', 1));
            else
                Drive::openCellEditor(table, rest.toInt(), 1);
        }
        const bool accepted = !strategyEditor->isVisible();
        QCOMPARE(strategyRed(), accepted ? QString() : outcome);
        if (accepted) {
            QCOMPARE(describe(strategyEditor->strategyElement(strategiesDoc)), outcome);
            QCOMPARE(strategiesDoc.toString(), before);
        }
    }

    // The module carries Russian texts and shows them once installed; English
    // stays the source. Last: the English row takes the translation away again.
    void followsTheLanguage_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QStringList>("texts"); // the strategy editor's title and source column header
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << true
                                 << QStringList{"Редактирование стратегии", "Источник управления"};
        QTest::newRow("English: the source texts") << QLocale(QLocale::English, QLocale::UnitedStates) << false
                                                   << QStringList{"Strategy edit", "Control source"};
    }
    void followsTheLanguage()
    {
        QFETCH(QLocale, locale);
        QFETCH(bool, installed);
        QFETCH(QStringList, texts);
        QCOMPARE(Velmora::installTranslation(locale), installed);
        QTableWidget* table = openStrategy("7/");
        QCOMPARE((QStringList{strategyEditor->windowTitle(), table->horizontalHeaderItem(2)->text()}), texts);
    }
};

QTEST_MAIN(ZoneEditDlgTest)
#include "tst_zoneeditdlg.moc"
