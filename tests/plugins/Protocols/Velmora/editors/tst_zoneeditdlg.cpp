#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "MessageCapture.h"
#include "OffscreenLeaks.h"
#include "Velmora/editors/AreaEditDlg.h"
#include "Velmora/editors/DaycardEditDlg.h"
#include "Velmora/editors/StratEditDlg.h"
#include "Velmora/editors/ZoneEditDlg.h"
#include "Velmora/format/XmlText.h"
#include "Velmora/graphics/GraphicsArea.h"
#include "Velmora/import/KmlImportDlg.h"
#include "WidgetDriver.h"

namespace {

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

const QString untouched = "zone 7 North | strategies 1*Day:3,4 2Night:3 3Event:3 | cards 1:1@06:00,2@22:00 "
                          "2:2@00:00 5:3@00:00 | week 1,1,1,1,1,2,5 | areas 3:Centre 4:River | "
                          "outline 0,0;1000,0;1000,800;0,800";
const QString empty = "zone 1  | strategies  | cards  | week ,,,,,, | areas  | outline ";

QList<QDomElement> children(const QDomElement& parent, const char* tag)
{
    QList<QDomElement> list;
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        list << e;
    return list;
}

// The document in one line; "*" marks a strategy carrying "default".
QString summary(const QDomDocument& document)
{
    const QDomElement zone = document.documentElement();
    const QDomElement calendar = zone.firstChildElement("Calendar");
    QStringList strategies, cards, areas;
    for (const QDomElement& s : children(zone.firstChildElement("Strategies"), "Strategy")) {
        QStringList used;
        for (const QDomElement& a : children(s, "Area"))
            used << a.attribute("id");
        const QString mark = s.hasAttribute("default") ? "*" : "";
        strategies << s.attribute("id") + mark + s.attribute("name") + ":" + used.join(',');
    }
    for (const QDomElement& c : children(calendar.firstChildElement("DayCards"), "DayCard")) {
        QStringList times;
        for (const QDomElement& t : children(c, "Time"))
            times << t.attribute("strategy_id") + "@" + Velmora::Xml::firstText(t);
        cards << c.attribute("id") + ":" + times.join(',');
    }
    for (const QDomElement& a : children(zone.firstChildElement("Areas"), "Area"))
        areas << a.attribute("id") + ":" + a.attribute("name");
    return QStringList{"zone " + zone.attribute("id") + " " + zone.attribute("name"),
                       "strategies " + strategies.join(' '), "cards " + cards.join(' '),
                       "week " + Velmora::Xml::firstText(calendar.firstChildElement("WeekDistribution")),
                       "areas " + areas.join(' '),
                       "outline " + Velmora::Xml::firstText(zone.firstChildElement("Geometry"))}
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

class ZoneEditDlgTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QGraphicsScene scene;
    QObject storage;
    QScopedPointer<KmlZoneEditDlg> dialog;

    // The editor on `xml` (empty: a new zone), on the map.
    void open(const QString& xml)
    {
        QString fileName;
        if (!xml.isEmpty())
            QVERIFY(writeFile(fileName = dir.filePath("zone.xtsc"), xml.toUtf8()));
        dialog.reset(new KmlZoneEditDlg(fileName, nullptr, &scene));
        dialog->cnfStorage = &storage;
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.data()));
        // The three lists share the width through a splitter, second in the dialog.
        auto* splitter = dialog->findChild<QSplitter*>("splitter");
        QVERIFY(splitter && splitter->count() == 3);
        QCOMPARE(qobject_cast<QBoxLayout*>(dialog->layout())->indexOf(splitter), 1);
    }

    template<typename T = QWidget>
    T* widget(const char* name) const
    {
        return dialog->findChild<T*>(name);
    }

    // One user step; editing_data() lists the words.
    void act(const QString& action)
    {
        const QStringList w = action.split(' ');
        const int row = w.value(1).toInt();
        auto* strategies = widget<QTableWidget>("strategies");
        PopupAnswerer editors;
        if (w[0] == "ok") {
            Drive::clickButton(dialog.data());
        } else if (w[0] == "name") {
            Drive::retype(widget("zoneName"), w.mid(1).join(' '));
        } else if (w[0] == "default") {
            Drive::clickCell(strategies, row, 2, true);
        } else if (w[0] == "delStrat") {
            Drive::clickCell(strategies, row, 0);
            QTest::mouseClick(widget<QPushButton>("delStrat"), Qt::LeftButton);
        } else if (w[0] == "delCard" || w[0] == "delArea") {
            Drive::clickRow(widget<QListWidget>(w[0] == "delCard" ? "daycards" : "areas"), row);
            QTest::mouseClick(widget<QPushButton>(w[0] == "delCard" ? "delDayCard" : "delArea"), Qt::LeftButton);
        } else if (w[0] == "week") {
            Drive::clickRow(widget<QListWidget>("daycards"), row);
            widget<QListWidget>("daycards")->actions().first()->trigger();
        } else if (w[0] == "day") {
            QVERIFY2(Drive::choose(Drive::openCellEditor(widget<QTableWidget>("weekDistrib"), 0, row), w[2]),
                     qPrintable(action));
        } else if (w[0] == "addStrat" || w[0] == "editStrat") {
            const QString name = w.value(w[0] == "addStrat" ? 1 : 2), id = w.value(3);
            editors.expect("StratEditDlg", [name, id](QWidget* editor) {
                if (name == "-")
                    return static_cast<QDialog*>(editor)->reject();
                Drive::retype(editor->findChild<QLineEdit*>("stratName"), name);
                if (!id.isEmpty())
                    Drive::retype(editor->findChild<QSpinBox*>("stratId"), id);
                // The first area by calendar.
                Drive::choose(Drive::openCellEditor(editor->findChild<QTableWidget*>("areas"), 0, 2), "calendar");
                Drive::clickButton(editor);
            });
            if (w[0] == "addStrat")
                QTest::mouseClick(widget<QPushButton>("addStrat"), Qt::LeftButton);
            else
                Drive::clickCell(strategies, row, 1, true);
        } else if (w[0] == "addCard") {
            const QString strategy = w[1];
            editors.expect("DaycardEditDlg", [strategy](QWidget* editor) {
                auto* times = editor->findChild<QTableWidget*>("timeData");
                QTest::mouseClick(editor->findChild<QPushButton*>("addCard"), Qt::LeftButton);
                Drive::choose(Drive::openCellEditor(times, times->currentRow(), 1), strategy);
                Drive::clickButton(editor);
            });
            QTest::mouseClick(widget<QPushButton>("addDaycard"), Qt::LeftButton);
        } else if (w[0] == "addArea" || w[0] == "editArea") {
            if (w[0] == "addArea")
                QTest::mouseClick(widget<QPushButton>("addArea"), Qt::LeftButton);
            else
                Drive::clickRow(widget<QListWidget>("areas"), row, true);
            AreaEditDlg* editor = nullptr;
            for (AreaEditDlg* opened : dialog->findChildren<AreaEditDlg*>())
                editor = opened->isVisible() ? opened : editor;
            QVERIFY2(editor && editor->isModal(), qPrintable(action));
            QCOMPARE(editor->cnfStorage.data(), &storage);
            Drive::retype(editor->findChild<QSpinBox*>("areaId"), w[w.size() - 2]);
            Drive::retype(editor->findChild<QLineEdit*>("areaName"), w.last());
            // A new area passes its own editor only with day cards (its own
            // test's matter); here what counts is what comes back.
            QPointer<AreaEditDlg> closed = editor;
            if (w[0] == "addArea")
                editor->accept();
            else
                Drive::clickButton(editor);
            QTRY_VERIFY2(!closed, qPrintable(action)); // deleted once finished
        } else {
            QFAIL(qPrintable("unknown action " + action));
        }
        QVERIFY2(editors.allAnswered(), qPrintable("no editor opened for " + action));
    }

    // What is shown red: "zoneName", "strategies", "day:D", "default:ROW".
    QString redMarks() const
    {
        QStringList red;
        for (const char* name : {"zoneName", "strategies"})
            if (Drive::isRed(widget(name)))
                red << name;
        for (const QString& cell : Drive::redCells(widget<QTableWidget>("weekDistrib")))
            red << "day:" + cell.section(':', 1, 1);
        for (const QString& cell : Drive::redCells(widget<QTableWidget>("strategies")))
            red << "default:" + cell.section(':', 0, 0);
        return red.join(' ');
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

    GraphicsArea* overlay() const
    {
        for (QGraphicsItem* item : scene.items())
            if (auto* area = qobject_cast<GraphicsArea*>(item->toGraphicsObject()))
                return area;
        return nullptr;
    }

private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup()
    {
        dialog.reset();
        QCOMPARE(scene.items().size(), 0); // nothing of an editor stays on the map
    }
    void unreadable_data();
    void unreadable();
    void editing_data();
    void editing();
    void map_data();
    void map();
    void kml_data();
    void kml();
};

void ZoneEditDlgTest::unreadable_data()
{
    QTest::addColumn<QString>("content"); // empty: the path is a directory
    QTest::newRow("no XML") << "<Zone id=\"1\"><Areas></Zone>";
    QTest::newRow("cannot be opened") << "";
}

void ZoneEditDlgTest::unreadable()
{
    QFETCH(QString, content);
    QString fileName = dir.path();
    if (!content.isEmpty()) {
        QVERIFY(writeFile(fileName = dir.filePath("broken.xtsc"), content.toUtf8()));
    }
    MessageCapture messages;
    KmlZoneEditDlg editor(fileName, nullptr, nullptr);
    QSignalSpy finished(&editor, &QDialog::finished);
    editor.show();
    QVERIFY2(messages.contains(fileName), qPrintable(messages.messages().join('\n')));
    QVERIFY(finished.wait(1000));
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QCOMPARE(summary(editor.zoneDocument()), empty);
}

void ZoneEditDlgTest::editing_data()
{
    QTest::addColumn<QString>("xml"); // empty: a new zone
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("red"); // after the last "ok"; empty: accepted
    QTest::addColumn<QString>("document");

    // name TEXT | default ROW | delStrat ROW | delCard ROW | delArea ROW | week CARDROW | day D CARD |
    // addStrat NAME ("-": cancel) | editStrat ROW NAME [ID] | addCard STRATEGY | addArea ID NAME |
    // editArea ROW ID NAME | ok
    const QString zone = zoneXml, none;
    const QString badWeek = R"(<Zone id="x" name="S"><Calendar><WeekDistribution>%1</WeekDistribution></Calendar>
<Strategies><Strategy id="1" name="A" default="%2"/><Strategy id="2" name="B"/></Strategies></Zone>)";
    const QString badWeekSaved = "zone 1 S | strategies 1*A: 2B: | cards  | week ,,,,,, | areas  | outline ";
    QTest::newRow("untouched") << zone << QStringList{"ok"} << "" << untouched;
    QTest::newRow("new zone refused until complete") << none << QStringList{"ok"}
        << "zoneName strategies day:0 day:1 day:2 day:3 day:4 day:5 day:6" << empty;
    QTest::newRow("new zone: area, strategy, card for the week") << none
        << QStringList{"name Fresh", "addArea 4 Lake", "addStrat Day", "addCard 1", "week 0", "ok"} << ""
        << "zone 1 Fresh | strategies 1*Day:4 | cards 1:1@00:00 | week 1,1,1,1,1,1,1 | areas 4:Lake | outline ";
    QTest::newRow("six days are no week") << badWeek.arg("1,1,1,1,1,1", "TRUE") << QStringList{"ok"}
        << "day:0 day:1 day:2 day:3 day:4 day:5 day:6" << badWeekSaved;
    QTest::newRow("eight neither; default 'yes' is none") << badWeek.arg("1,1,1,1,1,1,1,1", "yes") << QStringList{"ok"}
        << "day:0 day:1 day:2 day:3 day:4 day:5 day:6 default:0 default:1"
        << badWeekSaved;
    QTest::newRow("empty name") << zone << QStringList{"name", "ok"} << "zoneName"
                                << QString(untouched).replace("North", "");
    QTest::newRow("strategy of a card's switch deleted") << zone << QStringList{"delStrat 1", "ok"} << "day:5"
        << "zone 7 North | strategies 1*Day:3,4 3Event:3 | cards 1:1@06:00 5:3@00:00 | week 1,1,1,1,1,,5 | "
           "areas 3:Centre 4:River | outline 0,0;1000,0;1000,800;0,800";
    QTest::newRow("default strategy deleted") << zone << QStringList{"delStrat 0", "ok"} << "default:0 default:1"
        << QString(untouched).replace("1*Day:3,4 ", "").replace("1@06:00,", "");
    QTest::newRow("area alone in two adjacent strategies") << zone << QStringList{"delArea 0", "ok"} << "day:5 day:6"
        << "zone 7 North | strategies 1*Day:4 | cards 1:1@06:00 | week 1,1,1,1,1,, | areas 4:River | "
           "outline 0,0;1000,0;1000,800;0,800";
    QTest::newRow("area sharing its strategy") << zone << QStringList{"delArea 1", "ok"} << ""
        << QString(untouched).replace("3,4", "3").replace(" 4:River", "");
    QTest::newRow("card deleted: its days empty") << zone << QStringList{"delCard 0", "ok"}
        << "day:0 day:1 day:2 day:3 day:4"
        << QString(untouched).replace("1:1@06:00,2@22:00 ", "").replace("1,1,1,1,1,2,5", ",,,,,2,5");
    QTest::newRow("days given a card again") << zone << QStringList{"delCard 0", "week 0", "day 6 5", "ok"} << ""
        << QString(untouched).replace("1:1@06:00,2@22:00 ", "").replace("1,1,1,1,1,2,5", "2,2,2,2,2,2,5");
    QTest::newRow("default moved") << zone << QStringList{"default 2", "ok"} << ""
        << QString(untouched).replace("1*Day", "1Day").replace("3Event", "3*Event");
    QTest::newRow("default cleared on its own row") << zone << QStringList{"default 0", "ok"}
        << "default:0 default:1 default:2" << untouched;
    QTest::newRow("default cleared, then chosen") << zone << QStringList{"default 0", "ok", "default 1", "ok"} << ""
        << QString(untouched).replace("1*Day", "1Day").replace("2Night", "2*Night");
    QTest::newRow("default strategy edited stays default") << zone << QStringList{"editStrat 0 Morning", "ok"} << ""
        << QString(untouched).replace("1*Day", "1*Morning");
    QTest::newRow("strategy renumbered: cards follow") << zone << QStringList{"editStrat 1 Late 9", "ok"} << ""
        << QString(untouched).replace("2Night:3", "9Late:3").replace("2@22:00 2:2@", "9@22:00 2:9@");
    QTest::newRow("strategy added, not default") << zone << QStringList{"addStrat Peak", "ok"} << ""
        << QString(untouched).replace("3Event:3", "3Event:3 4Peak:3");
    QTest::newRow("strategy editor cancelled") << zone << QStringList{"addStrat -", "ok"} << "" << untouched;
    QTest::newRow("card takes the next id") << zone << QStringList{"addCard 3", "day 6 6", "ok"} << ""
        << QString(untouched).replace("5:3@00:00", "5:3@00:00 6:3@00:00").replace("1,2,5", "1,2,6");
    QTest::newRow("area added") << zone << QStringList{"addArea 9 Lake", "ok"} << ""
        << QString(untouched).replace("4:River", "4:River 9:Lake");
    QTest::newRow("area renumbered: strategies follow") << zone << QStringList{"editArea 0 8 Middle", "ok"} << ""
        << QString(untouched).replace("3,4", "8,4").replace("Night:3", "Night:8").replace("Event:3", "Event:8")
               .replace("3:Centre", "8:Middle");
}

void ZoneEditDlgTest::editing()
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

void ZoneEditDlgTest::map_data()
{
    // "current ROW", "drag" (edit the zone outline: one vertex moved), "end edit", "close", or an editing step
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("previews"); // count, then the area outline shown
    QTest::addColumn<QString>("outline");  // of the zone, as saved

    const QString outline = "0,0;1000,0;1000,800;0,800";
    QTest::newRow("no area current") << QStringList() << "2 none" << outline;
    QTest::newRow("first area") << QStringList{"current 0"} << "2 10,10;500,10;500,400" << outline;
    QTest::newRow("second area") << QStringList{"current 0", "current 1"} << "2 600,10;900,10;900,300" << outline;
    QTest::newRow("current area deleted") << QStringList{"current 0", "delArea 0"} << "1 600,10;900,10;900,300"
                                          << outline;
    QTest::newRow("edited area still shown") << QStringList{"current 0", "editArea 0 3 Middle"}
                                             << "2 10,10;500,10;500,400" << outline;
    QTest::newRow("zone outline edited") << QStringList{"drag", "end edit"} << "2 none"
                                         << "0,0;1200,50.5;1000,800;0,800";
    QTest::newRow("tool window closed: edit dropped") << QStringList{"drag", "close"} << "2 none" << outline;
}

void ZoneEditDlgTest::map()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, previews);
    QFETCH(QString, outline);

    open(zoneXml);
    QDialog* tool = nullptr;
    for (const QString& action : actions) {
        if (action.startsWith("current")) {
            Drive::clickRow(widget<QListWidget>("areas"), action.section(' ', 1).toInt());
        } else if (action == "drag") {
            QTest::mouseClick(widget<QPushButton>("editZoneGeometry"), Qt::LeftButton);
            for (QDialog* window : dialog->findChildren<QDialog*>())
                tool = window->windowTitle() == "Zone edit" && window->isVisible() ? window : tool;
            // The map is the user's meanwhile.
            QVERIFY(tool && !dialog->isVisible() && overlay()->isEditing());
            overlay()->movePoint(QPointF(1000, 0), QPointF(1200, 50.5));
        } else if (action == "end edit" || action == "close") {
            if (action == "close")
                tool->close();
            else
                QTest::mouseClick(tool->findChild<QPushButton*>(), Qt::LeftButton);
            QVERIFY(dialog->isVisible() && !overlay()->isEditing());
        } else {
            act(action);
        }
    }
    QCOMPARE(this->previews(), previews);
    QCOMPARE(overlay()->outlineText(), outline);
    QCOMPARE(summary(dialog->zoneDocument()).section("| outline ", 1), outline);
}

void ZoneEditDlgTest::kml_data()
{
    QTest::addColumn<QString>("kml"); // empty: the editor's own export
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("outlines"); // the zone's, then the shown area previews

    const QString placemark = "<Placemark><name>%1</name><Polygon><outerBoundaryIs><LinearRing><coordinates>%2"
                              "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>";
    const QString kml = "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>"
                        + placemark.arg("North", "1,1,0 9,1,0 9,9,0 ") + placemark.arg("Centre", "2,2,0 4,2,0 4,4,0 ")
                        + placemark.arg("Lake", "5,5,0 6,5,0 6,6,0 ") + "</Document></kml>";
    QTest::newRow("own export read back") << "" << true << "0,0;1000,0;1000,800;0,800 | 2 10,10;500,10;500,400";
    QTest::newRow("outlines assigned by name") << kml << true << "1,1;9,1;9,9 | 2 2,2;4,2;4,4";
    QTest::newRow("import cancelled") << kml << false << "0,0;1000,0;1000,800;0,800 | 2 10,10;500,10;500,400";
}

void ZoneEditDlgTest::kml()
{
    QFETCH(QString, kml);
    QFETCH(bool, ok);
    QFETCH(QString, outlines);

    open(zoneXml);
    dialog->kmlFile = dir.filePath("outlines.kml");
    if (kml.isEmpty()) {
        QTest::mouseClick(widget<QPushButton>("exportKml"), Qt::LeftButton);
    } else {
        QVERIFY(writeFile(dialog->kmlFile, kml.toUtf8()));
    }
    Drive::clickRow(widget<QListWidget>("areas"), 0);
    QTest::mouseClick(widget<QPushButton>("importKml"), Qt::LeftButton);
    auto* import = dialog->findChild<KmlImportDlg*>();
    QVERIFY(import && import->isVisible() && !dialog->isVisible());
    if (ok)
        Drive::clickButton(import);
    else
        import->reject();
    QVERIFY(dialog->isVisible());
    QTRY_VERIFY(!dialog->findChild<KmlImportDlg*>());
    const QString zoneOutline = outlines.section(" | ", 0, 0);
    QCOMPARE(summary(dialog->zoneDocument()), QString(untouched).replace("0,0;1000,0;1000,800;0,800", zoneOutline));
    QCOMPARE(overlay()->outlineText(), zoneOutline);
    QCOMPARE(previews(), outlines.section(" | ", 1));
}

QTEST_MAIN(ZoneEditDlgTest)
#include "tst_zoneeditdlg.moc"
