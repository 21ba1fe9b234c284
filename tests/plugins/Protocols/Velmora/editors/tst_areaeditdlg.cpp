#include "EditorTest.h"
#include "FakeLight.h"
#include "FakeStorage.h"
#include "Velmora/editors/AreaEditDlg.h"
#include "Velmora/format/GeometryText.h"
#include "Velmora/format/XmlText.h"
#include "Velmora/graphics/AreaGraphicsItem.h"

namespace {

using Velmora::Xml::firstText;

const char* const zoneXml = R"(<Zone id="7"><Areas>
<Area id="3" name="Centre"><Geometry>10,10;500,10;500,400</Geometry><Controllers>101,102</Controllers>
 <States><State id="1" name="Peak"><Controller id="101" state="2"/><Controller id="102" program_id="4"/></State>
  <State id="2" name="Calm"><Controller id="102" state="1"/></State></States>
 <Calendar><WeekDistribution>1,1,1,1,1,2,2</WeekDistribution>
  <DayCards><DayCard id="1"><Time state_id="1">07:00</Time><Time state_id="2">20:00</Time></DayCard>
   <DayCard id="2"><Time state_id="2">00:00</Time></DayCard></DayCards>
  <SpecialDays><SpecialDay day="01.05"><Time state_id="2">00:00</Time></SpecialDay>
   <SpecialDay day="09.05.2031"><Time state_id="1">00:00</Time><Time state_id="2">12:00</Time></SpecialDay></SpecialDays>
 </Calendar></Area>
<Area id="1" name="Twin"><Controllers>101,102,101</Controllers>
 <States><State id="1" name="Peak"><Controller id="101" state="2"/><Controller id="102" state="1"/></State>
  <State id="1" name="Copy"><Controller id="102" state="3"/></State></States>
 <Calendar><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution><DayCards><DayCard id="1"><Time state_id="1">07:00</Time></DayCard></DayCards></Calendar></Area>
<Area id="4" name="North"><Controllers/><States/><Calendar><WeekDistribution>1,1,1,1,1,1</WeekDistribution><DayCards/></Calendar></Area>
</Areas></Zone>)";

// What a zone editor hands over for a new area: unattached, without id.
const char* const newAreaXml = "<Area><Controllers></Controllers><States/><Calendar><WeekDistribution/><DayCards/></Calendar></Area>";

// As the TRANSYT conversion returns it: no outline.
const char* const importedXml = R"(<Area id="9" name="Imported"><Controllers>5,6</Controllers>
<Calendar><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution><DayCards><DayCard id="1"><Time state_id="1">07:00</Time></DayCard></DayCards></Calendar>
<States><State id="1" name="Plan"><Controller id="5"><Program type="2" cycle_length="90" cycle_shift="0">1</Program></Controller><Controller id="6"/></State></States></Area>)";

const QString centre = "3 Centre | g=10,10;500,10;500,400 | c=101,102 | s=1:101/2,102/p4 2:102/1,101/1"
                       " | d=1:07:00>1,20:00>2 2:00:00>2 | w=1,1,1,1,1,2,2 | x=01.05:00:00>2 09.05.2031:00:00>1,12:00>2";

QDomElement at(QDomElement element, const QString& path)
{
    for (const QString& step : path.split('/'))
        element = element.firstChildElement(step);
    return element;
}

// "id name | g=outline | c=controllers | s=states | d=day cards | w=week | x=special days"
QString summary(const QDomElement& area)
{
    const auto time = [](const QDomElement& t) { return firstText(t) + '>' + t.attribute("state_id"); };
    const auto day = [time](const char* key) {
        return [time, key](const QDomElement& d) { return d.attribute(key) + ':' + each(d, time, ','); };
    };
    const auto controller = [](const QDomElement& c) {
        return c.attribute("id") + '/' + c.attribute("state") + (c.hasAttribute("program_id") ? 'p' + c.attribute("program_id") : "");
    };
    const auto state = [controller](const QDomElement& s) { return s.attribute("id") + ':' + each(s, controller, ','); };
    const QDomElement geometry = area.firstChildElement("Geometry");
    return QStringList{area.attribute("id") + ' ' + area.attribute("name"),
                       geometry.isNull() ? "no geometry"
                       : Velmora::Xml::firstTextNode(geometry).isNull() ? "g without text" : "g=" + firstText(geometry),
                       "c=" + firstText(at(area, "Controllers")), "s=" + each(at(area, "States"), state),
                       "d=" + each(at(area, "Calendar/DayCards"), day("id")),
                       "w=" + firstText(at(area, "Calendar/WeekDistribution")),
                       "x=" + each(at(area, "Calendar/SpecialDays"), day("day"))}
        .join(" | ");
}

} // namespace

class AreaEditDlgTest : public QObject
{
    Q_OBJECT

    QDomDocument doc;
    QScopedPointer<QDialog> zoneEditor; // the parent the area editor hides with itself
    QScopedPointer<QGraphicsScene> scene;
    QPointer<AreaEditDlg> dialog;
    FakeStorage storage; // handed on to the state editor, which listens to its signals
    QObject lights;
    // Sub-dialogs run modal inside the slots; each is answered by the next expectation of its class.
    std::unique_ptr<PopupAnswerer> answerer;
    QString asked; // the last closing question

    // The area `id` of the zone, or a new one.
    void open(const QString& id, bool withScene = true, const QString& xml = zoneXml)
    {
        const QDomElement areas = at(parseXml(&doc, xml), "Areas");
        QDomElement area;
        for (QDomElement a = areas.firstChildElement(); !a.isNull(); a = a.nextSiblingElement())
            area = a.attribute("id") == id ? a : area;
        QDomDocument skeleton;
        if (area.isNull())
            area = doc.importNode(parseXml(&skeleton, newAreaXml), true).toElement();
        zoneEditor.reset(new QDialog);
        zoneEditor->show();
        scene.reset(withScene ? new QGraphicsScene : nullptr);
        dialog = new AreaEditDlg(areas, area, zoneEditor.data(), scene.data());
        dialog->cnfStorage = &storage;
        showExposed(dialog);
        answerer = std::make_unique<PopupAnswerer>();
    }

    template <class T = QWidget> T* widget(const QString& name) const { return dialog->findChild<T*>(name); }

    // The item whose text is `text` or starts with `text` and a blank; "@N" is the item in row N.
    void select(const QString& listName, const QString& text, bool twice = false)
    {
        auto* view = widget<QListWidget>(listName);
        QList<QListWidgetItem*> found = view->findItems(text, Qt::MatchExactly);
        if (text.startsWith('@'))
            found = {view->item(text.mid(1).toInt())};
        found = found.isEmpty() ? view->findItems(text + ' ', Qt::MatchStartsWith) : found;
        QVERIFY2(found.size() == 1, qPrintable(text));
        Drive::clickIndex(view, view->model()->index(view->row(found.first()), 0), twice);
    }

    // One word list per action; "-" is an empty text.
    void act(const QStringList& actions)
    {
        for (const QString& action : actions) {
            QStringList w = action.split(' ');
            w.replaceInStrings(QRegularExpression("^-$"), QString());
            const QString& verb = w[0];
            if (verb == "select") {                  // select LIST TEXT
                select(w[1], w.mid(2).join(' '));
            } else if (verb == "number") {           // number OLD|new NEW...: a controller's number typed, then Enter
                if (w[1] == "new")
                    press(dialog, "addController");
                else
                    select("controllers", w[1]);
                QTest::keyClick(widget("controllers"), Qt::Key_F2);
                QWidget* field = QApplication::focusWidget();
                QVERIFY2(qobject_cast<QLineEdit*>(field), qPrintable(action));
                QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(field, w.mid(2).join(' '));
                QTest::keyClick(field, Qt::Key_Return);
            } else if (verb == "click") {            // click BUTTON
                press(dialog, w[1]);
            } else if (verb == "set") {              // set areaId N, set areaName TEXT
                enter(widget(w[1]), w[2]);
            } else if (verb == "addState" || verb == "editState") { // addState NAME; editState STATE NEWID
                answerer->expect("ControllersStateEditdlg", [=](QWidget* editor) {
                    if (verb == "editState")
                        editor->findChild<QSpinBox*>("stateId")->setValue(w[2].toInt());
                    else
                        editor->findChild<QLineEdit*>("stateName")->setText(w[1]);
                    Drive::clickButton(editor);
                });
                if (verb == "addState")
                    press(dialog, verb);
                else
                    select("states", w[1], true);
            } else if (verb == "addDaycard" || verb == "editCard" || verb == "addSpecialDay") {
                // addDaycard STATE; editCard CARD STATE; addSpecialDay STATE: a row at 00:00 for STATE
                answerer->expect(verb == "addSpecialDay" ? "SpecialDayEditdlg" : "DaycardEditDlg",
                                 [w](QWidget* editor) { addRowAndAccept(editor, w.last()); });
                if (verb == "editCard")
                    select("daycards", w[1], true);
                else
                    press(dialog, verb);
            } else if (verb == "edit" || verb == "create") {
                press(dialog, verb == "edit" ? "editGeometry" : "controllersFromMap");
                QVERIFY(toolWindow(dialog));
                QCOMPARE(toolWindow(dialog)->windowTitle(), verb == "edit" ? "Area edit" : "Area creation");
                QVERIFY(!dialog->isVisible() && !zoneEditor->isVisible());
            } else if (verb == "move") {             // move X,Y X,Y: a vertex dragged
                const QStringList from = w[1].split(','), to = w[2].split(',');
                overlay(scene.data())->movePoint(QPointF(from[0].toDouble(), from[1].toDouble()),
                                                 QPointF(to[0].toDouble(), to[1].toDouble()));
            } else if (verb == "pick") {             // pick ID X Y: a light selected on the map
                auto* item = new QGraphicsEllipseItem(-4, -4, 8, 8);
                item->setPos(w[2].toDouble(), w[3].toDouble());
                item->setFlag(QGraphicsItem::ItemIsSelectable);
                item->setData(0, QVariant::fromValue<QObject*>(new Semtra::Light(w[1], w[2] + ' ' + w[3], &lights)));
                scene->addItem(item);
                scene->clearSelection();
                item->setSelected(true);
            } else if (verb == "end" || verb == "close") { // the tool window's button, or its close box
                QVERIFY(toolWindow(dialog));
                if (verb == "end")
                    QTest::mouseClick(toolWindow(dialog)->findChild<QPushButton*>(), Qt::LeftButton);
                else
                    toolWindow(dialog)->close();
                QVERIFY(dialog->isVisible() && zoneEditor->isVisible());
            } else if (verb == "import") {           // a TRANSYT conversion's result
                QDomDocument report; // the import's own document, gone before the area is read
                dialog->applyImportedArea(parseXml(&report, importedXml));
            } else if (verb == "dropScene") {        // the host's map goes before the editor
                scene.reset();
            } else if (verb == "destroy") {
                delete dialog;
                return;
            } else if (verb == "ok") {
                Drive::clickButton(dialog);
            } else if (verb == "cell") {             // cell DAY CARD: chosen in the week cell's editor, left open
                pick(widget<QTableWidget>("weekDistrib"), 0, w[1].toInt(), w[2]);
            } else if (verb == "tip") {              // tip DAY TEXT: what the week cell's tool tip says
                QCOMPARE(widget<QTableWidget>("weekDistrib")->item(0, w[1].toInt())->toolTip(), w.mid(2).join(' '));
            } else if (verb == "reason") {           // reason TEXT [...]: the line above the buttons, "" when hidden
                const QString shown = widget<QLabel>("reason")->isVisible() ? widget<QLabel>("reason")->text() : "";
                const QString text = w.mid(1).join(' ');
                QCOMPARE(text.endsWith(" ...") ? shown.left(text.size() - 4) : shown, text.chopped(text.endsWith(" ...") ? 4 : 0));
            } else if (verb == "changes") {          // changes LINE: what "Changes" lists
                press(dialog, "showChanges");
                QCOMPARE(Drive::texts(widget<QListWidget>("changes")).join(" / "), w.mid(1).join(' '));
                widget<QListWidget>("changes")->window()->close();
            } else if (verb == "shown") {            // shown yes|no
                QCOMPARE(dialog->isVisible() ? "yes" : "no", w[1]);
            } else if (verb == "asked") {            // asked TEXT: the question the last closing step met
                QCOMPARE(std::exchange(asked, {}), w.mid(1).join(' '));
            } else if (verb == "esc" || verb == "cancel") { // esc|cancel [ANSWER]: a question met gets that button
                answerer = std::make_unique<PopupAnswerer>(QString(), w.mid(1).join(' '));
                if (verb == "esc")
                    QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog.data(), Qt::Key_Escape);
                else
                    Drive::clickButton(dialog, QDialogButtonBox::Cancel);
                asked = answerer->boxes.join(" / ");
                answerer = std::make_unique<PopupAnswerer>();
            } else {
                QFAIL(qPrintable("unknown action " + action));
            }
            QVERIFY2(answerer->allAnswered(), qPrintable(action + ": a sub-dialog did not appear"));
        }
    }

    // What is red after OK, or "" when the dialog accepted.
    QString red() const
    {
        if (dialog->result() == QDialog::Accepted && !dialog->isVisible())
            return QString();
        const auto day = [](const QString&, const QString& column) { return "w" + column; };
        const QStringList faults = markedRed(dialog, {"areaId", "areaName"}, "weekDistrib", day);
        return faults.isEmpty() ? "open" : faults.join(',');
    }

private slots:
    void cleanup()
    {
        answerer.reset();
        delete dialog;
        scene.reset();
        zoneEditor.reset();
    }

    // Ids as the file writes them survive an edit; a new one follows the largest without overflowing.
    void ids_data()
    {
        QTest::addColumn<bool>("isNew");      // a new area, else the first accepted as it is
        QTest::addColumn<QString>("ids");     // of the zone's areas
        QTest::addColumn<QString>("written"); // the edited or new area's id
        QTest::newRow("area 4294967295") << false << "4294967295,5" << "4294967295";
        QTest::newRow("new area after 2147483647") << true << "2147483647,1" << "2147483648";
    }
    void ids()
    {
        QFETCH(bool, isNew);
        QFETCH(QString, ids);
        QFETCH(QString, written);
        QString areas;
        for (const QString& id : ids.split(','))
            areas += QString("<Area id=\"%1\" name=\"A\"><Controllers>101</Controllers><States><State id=\"1\" name=\"S\">"
                             "<Controller id=\"101\" state=\"1\"/></State></States><Calendar><WeekDistribution>1,1,1,1,1,1,1"
                             "</WeekDistribution><DayCards><DayCard id=\"1\"><Time state_id=\"1\">00:00</Time></DayCard>"
                             "</DayCards></Calendar></Area>").arg(id);
        open(isNew ? "" : ids.section(',', 0, 0), false, "<Zone><Areas>" + areas + "</Areas></Zone>");
        if (isNew)
            act({"set areaName B"});
        QCOMPARE(dialog->areaElement().attribute("id"), written);
        if (!isNew) { // a new one's week is empty
            act({"ok"});
            QCOMPARE(red(), QString());
        }
    }

    void edit_data()
    {
        QTest::addColumn<QString>("area"); // its id, or none for a new one; "without a map" after it
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("expected"); // the returned area; "corridor: ..." after an outline made from picks;
                                               // "gone" once the editor is
        QTest::addColumn<QString>("faults");   // what is red, "" when accepted, "open" when OK was not clicked
        const QString all = "w0,w1,w2,w3,w4,w5,w6";
        const QString discard = "discardChanges: Discard changes to area 3 \"Centre\"?";
        QTest::newRow("opened and accepted: states completed with every controller")
            << "3" << QStringList{"tip 0 07:00 Peak, 20:00 Calm", "tip 5 00:00 Calm", "changes No changes.", "ok"} << centre << "";
        QTest::newRow("without a map: nothing to edit on") << "3 without a map" << QStringList{"click editGeometry", "ok"}
                                                           << centre << "";
        QTest::newRow("last controllers deleted: states, times, cards, special days go")
            << "3" << QStringList{"select controllers 101", "click delController", "select controllers 102", "click delController", "ok"}
            << "3 Centre | g=10,10;500,10;500,400 | c= | s= | d= | w=,,,,,, | x=" << all;
        QTest::newRow("state deleted: its times, emptied card and special day go")
            << "3" << QStringList{"select states 2 (Calm)", "click delState", "reason Area 3 \"Centre\": state 2 \"Calm\" deleted; its entries removed from day cards 1 and 2, special "
                                  "days 01.05 and 09.05.2031; day card 1: 20:00 state 2 removed; day card 2 deleted; ...", "ok"}
            << "3 Centre | g=10,10;500,10;500,400 | c=101,102 | s=1:101/2,102/p4 | d=1:07:00>1 | w=1,1,1,1,1,, | x=09.05.2031:00:00>1"
            << "w5,w6";
        QTest::newRow("id of another area, empty name") << "3" << QStringList{"set areaId 4", "set areaName -", "ok",
                                                                    "reason Another area of the zone has the id 4; The area has no name",
                                                                    "set areaId 5", "reason The area has no name"}
            << QString(centre).replace("3 Centre", "5 ") << "areaName=The area has no name";
        const QString unwritable = QString("Cen") + QChar(1) + "tre";
        QTest::newRow("name XML cannot carry") << "3" << QStringList{"set areaName " + unwritable, "ok"}
            << QString(centre).replace("3 Centre", "3 " + unwritable)
            << "areaName=The name holds the character U+0001, which a zone file cannot carry.";
        QTest::newRow("new area: next free id, nothing scheduled") << "" << QStringList{"set areaName South", "ok"}
            << "5 South | g= | c= | s= | d= | w=,,,,,, | x=" << all;
        // A new special day starts on today, or the next day not taken yet.
        const QDate date = QDate::currentDate();
        const QString today = date.toString("dd.MM");
        const QString free = (today == "01.05" ? date.addDays(1) : date).toString("dd.MM");
        QTest::newRow("added: a state with every controller, a card, a special day; a card edited")
            << "3" << QStringList{"addState Night", "addDaycard 2", "editCard 1 2", "addSpecialDay 1", "ok"}
            << QString(centre).replace(",101/1 |", ",101/1 3:101/1,102/1 |").replace("2:00:00>2 |", "2:00:00>2 3:00:00>2 |")
                   .replace("1:07:00>1,20:00>2", "1:00:00>2,07:00>1,20:00>2").replace("12:00>2", "12:00>2 " + free + ":00:00>1")
            << "";
        QTest::newRow("special day deleted") << "3" << QStringList{"select specilaDays 01.05", "click delSpecialDay", "ok"}
            << QString(centre).replace("x=01.05:00:00>2 ", "x=") << "";
        QTest::newRow("a controller added but left without a number: not in a new state")
            << "3" << QStringList{"click addController", "addState Night", "ok"}
            << QString(centre).replace(",101/1 |", ",101/1 3:101/1,102/1 |") << "";
        QTest::newRow("a card edited twice: both edits kept") << "3" << QStringList{"editCard 1 2", "editCard 1 1", "ok"}
            << QString(centre).replace("1:07:00>1,20:00>2", "1:00:00>2,00:00>1,07:00>1,20:00>2") << "";
        QTest::newRow("one controller deleted: said what went with it")
            << "3" << QStringList{"select controllers 101", "click delController", "reason Area 3 \"Centre\": ...", "ok"}
            << QString(centre).replace("c=101,102", "c=102").replace("1:101/2,102/p4 2:102/1,101/1", "1:102/p4 2:102/1") << "";
        QTest::newRow("controller renumbered: states follow, blanks trimmed; a number taken or emptied is put back")
            << "3" << QStringList{"number 101 102 ", "number 101 -", "number 101 105", "number new 130 ", "ok"}
            << QString(centre).replace("101", "105").replace("c=105,102", "c=105,102,130").replace("/p4 2:", "/p4,130/1 2:").replace("105/1 |", "105/1,130/1 |") << "";
        QTest::newRow("a controller listed twice: a new state has it once; one entry deleted, the states keep it")
            << "1" << QStringList{"addState Night", "select controllers @2", "click delController", "ok"}
            << "1 Twin | g= | c=101,102 | s=1:101/2,102/1 1:102/3,101/1 2:101/1,102/1 | d=1:07:00>1 | w=1,1,1,1,1,1,1 | x=" << "";
        QTest::newRow("a controller listed twice, one entry renumbered: the states keep it and gain the new one")
            << "1" << QStringList{"number @2 105", "ok"}
            << "1 Twin | g= | c=101,102,105 | s=1:101/2,102/1,105/1 1:102/3,101/1,105/1 | d=1:07:00>1 | w=1,1,1,1,1,1,1 | x=" << "";
        QTest::newRow("state renumbered: cards and special days follow") << "3" << QStringList{"editState 2 7", "ok"}
            << QString(centre).replace(" 2:102/1", " 7:102/1").replace(">2", ">7") << "";
        QTest::newRow("one of two states under one id renumbered: the card stays with the other")
            << "1" << QStringList{"editState @1 2", "ok"}
            << "1 Twin | g= | c=101,102,101 | s=1:101/2,102/1 2:102/3,101/1 | d=1:07:00>1 | w=1,1,1,1,1,1,1 | x=" << "";
        QTest::newRow("first special day of an area whose six-day week shows empty") << "4" << QStringList{"addState S", "addSpecialDay 1", "changes Area 4 \"North\": state 1 \"S\" added; special day " + today + " added", "ok"}
            << "4 North | g= | c= | s=1: | d= | w=,,,,,, | x=" + today + ":00:00>1" << all;
        const QString imported = " | c=5,6 | s=1:5/,6/ | d=1:07:00>1 | w=1,1,1,1,1,1,1 | x=";
        QTest::newRow("untouched: Cancel closes at once") << "3" << QStringList{"cancel", "shown no", "asked "} << centre << "open";
        QTest::newRow("Escape in a week cell closes the cell; closing asks, kept, then discarded")
            << "3" << QStringList{"cell 6 1", "esc", "asked ", "shown yes", "cancel Keep editing", "asked " + discard, "shown yes",
                                  "esc Discard", "asked " + discard, "shown no"}
            << QString(centre).replace("1,2,2", "1,2,1") << "open";
        QTest::newRow("renamed, then discarded: asked under the name it was opened with")
            << "3" << QStringList{"set areaName South", "cancel Discard", "asked " + discard, "shown no"}
            << QString(centre).replace("3 Centre", "3 South") << "open";
        QTest::newRow("tool window closed: edit discarded") << "3" << QStringList{"edit", "move 500,10 600,20", "close"} << centre << "open";
        QTest::newRow("an import keeps the outline, which stays editable")
            << "3" << QStringList{"import", "edit", "move 10,10 0,0", "end"} << "9 Imported | g=0,0;500,10;500,400" + imported << "open";
        QTest::newRow("picked lights: exactly their controllers; one kept keeps its settings, one dropped its states")
            << "3" << QStringList{"create", "pick 102 49.1 55.7", "pick 7 49.11 55.7", "pick 7 49.11 55.7", "end"}
            << "corridor: c=102,7 | s=1:102/p4,7/1 2:102/1,7/1 | d=1:07:00>1,20:00>2 2:00:00>2 | w=1,1,1,1,1,2,2"
               " | x=01.05:00:00>2 09.05.2031:00:00>1,12:00>2" << "open";
        QTest::newRow("editor gone while creating") << "3" << QStringList{"create", "pick 7 49.1 55.7", "destroy"} << "gone" << "open";
        QTest::newRow("map gone first") << "3" << QStringList{"create", "pick 7 49.1 55.7", "dropScene", "destroy"} << "gone" << "open";
    }
    void edit()
    {
        QFETCH(QString, area);
        QFETCH(QStringList, actions);
        QFETCH(QString, expected);
        QFETCH(QString, faults);
        open(area.section(' ', 0, 0), !area.endsWith(" without a map"));
        const QString before = doc.toString();
        act(actions);
        if (expected == "gone") { // what the editor put on the map goes with it; the host's lights stay
            QVERIFY(!dialog && !QApplication::overrideCursor());
            const QList<QGraphicsItem*> left = scene ? scene->items() : QList<QGraphicsItem*>();
            for (QGraphicsItem* item : left)
                QVERIFY(item->data(0).value<QObject*>()->inherits("Semtra::Light"));
            QCOMPARE(left.size(), scene ? 1 : 0);
            return;
        }
        QCOMPARE(red(), faults);
        QCOMPARE(doc.toString(), before); // the zone's document changes only when the zone editor takes the element
        const QDomElement result = dialog->areaElement();
        QVERIFY(result.ownerDocument() == doc);
        // An outline made from picked lights is the corridor's matter; here, what the area holds.
        const QString described = summary(result);
        QCOMPARE(expected.startsWith("corridor: ") ? "corridor: " + described.mid(described.indexOf("c=")) : described,
                 expected);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!toolWindow(dialog) && !dialog->findChild<AreaGraphicsItem*>());
        if (faults != "open")
            return;
        // The overlay shows what is stored, where it is stored.
        GraphicsArea* shown = overlay(scene.data());
        QVERIFY(shown && !shown->isEditing());
        QVector<QPointF> stored = Velmora::Geometry::parsePointsLenient(firstText(result.firstChildElement("Geometry")));
        if (stored.size() > 1 && stored.first() == stored.last())
            stored.removeLast();
        QCOMPARE(shown->scenePolygon(), QPolygonF(stored));
    }
};

QTEST_MAIN(AreaEditDlgTest)
#include "tst_areaeditdlg.moc"
