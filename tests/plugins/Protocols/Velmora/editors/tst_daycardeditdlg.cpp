#include "EditorTest.h"
#include "Velmora/editors/DaycardEditDlg.h"
#include "Velmora/editors/SpecialDayEditdlg.h"

namespace {

// Strategy ids sort as text in the choice editor: "1" < "10" < "2".
const char* const zoneXml = R"(<Zone id="7"><Strategies><Strategy id="1" name="Day"/><Strategy id="2" name="Night"/>
<Strategy id="10" name="Event"/></Strategies><States><State id="1" name="Peak"/><State id="2" name="Calm"/></States>
<SpecialDays><SpecialDay day="01.05" id="4"><Time state_id="2">00:00</Time></SpecialDay>
<SpecialDay day="09.05.2031"><Time state_id="2">20:00</Time><Time state_id="1">07:00</Time></SpecialDay>
<SpecialDay day="29.02"><Time state_id="2">00:00</Time></SpecialDay>
<SpecialDay day="31.13"><Time state_id="2">00:00</Time></SpecialDay></SpecialDays></Zone>)";

const QDate today = QDate::currentDate();

QString yearly(int daysFromToday) { return today.addDays(daysFromToday).toString("dd.MM"); }

} // namespace

// The day card editor, alone and embedded in the special day editor.
class DaycardEditDlgTest : public QObject
{
    Q_OBJECT

    QDomDocument doc;
    std::unique_ptr<QDialog> dialog;

    QDomElement choices(const QString& level) const { return doc.documentElement().firstChildElement(level); }
    QTableWidget* table() const { return dialog->findChild<QTableWidget*>("timeData"); }
    DaycardEditDlg* cardDialog() const { return static_cast<DaycardEditDlg*>(dialog.get()); }

    void openCard(const QString& level, const QString& xml)
    {
        QDomDocument part;
        dialog = std::make_unique<DaycardEditDlg>(choices(level), doc.importNode(parseXml(&part, xml), true).toElement());
        showExposed(dialog.get());
    }
    // The special day whose `day` is given, or a new one among the `taken` days only.
    void openSpecialDay(const QString& day, const QStringList& taken = {})
    {
        QDomElement days = choices("SpecialDays"), edited;
        for (QDomElement e = days.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            edited = !day.isEmpty() && e.attribute("day") == day ? e : edited;
        while (day.isEmpty() && days.hasChildNodes())
            days.removeChild(days.firstChild());
        for (const QString& text : taken)
            days.appendChild(doc.createElement("SpecialDay")).toElement().setAttribute("day", text);
        dialog = std::make_unique<SpecialDayEditdlg>(choices("States"), days, edited);
        showExposed(dialog.get());
    }

    // Red cells as "row:column:text", and "table" when the table is.
    QString red() const { return (Drive::redCells(table()) << (Drive::isRed(table()) ? "table" : "")).join(' ').trimmed(); }

    // "add HH:MM [ID]" (a row, its time editor open), "time ROW HH:MM", "pick ROW ID", "del ROW", "ok", "red MARKS"
    // (what red() shows by then), "reason TEXT" (the words for them); on a special day also "tick" (every year), "date
    // yyyy-MM-dd" and "dateTip TEXT".
    void act(const QStringList& actions)
    {
        for (const QString& action : actions) {
            const QStringList w = action.split(' ');
            int row = w.value(1).toInt();
            if (w[0] == "ok") {
                Drive::clickButton(dialog.get()); // a special day's own box; the embedded card's is hidden
            } else if (w[0] == "red") {
                QCOMPARE(red(), w.mid(1).join(' '));
            } else if (w[0] == "reason") { // the line above the buttons, "" while hidden
                const auto* line = dialog->findChild<QLabel*>("reason");
                QCOMPARE(line->isVisible() ? line->text() : "", w.mid(1).join(' '));
            } else if (w[0] == "tick") {
                auto* box = dialog->findChild<QCheckBox*>("everyYear");
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
            } else if (w[0] == "dateTip") { // the date box's tool tip, "" while it is not red
                QCOMPARE(dialog->findChild<QDateEdit*>("dateEdit")->toolTip(), w.mid(1).join(' '));
            } else if (w[0] == "date") {
                dialog->findChild<QDateEdit*>("dateEdit")->setDate(QDate::fromString(w[1], Qt::ISODate));
            } else if (w[0] == "del") {
                Drive::clickCell(table(), row, 0);
                press(dialog.get(), "delCard");
            } else if (w[0] == "pick") {
                pick(table(), row, 1, w[2]);
            } else {
                if (w[0] == "add")
                    press(dialog.get(), "addCard");
                else
                    Drive::openCellEditor(table(), row, 0);
                row = w[0] == "add" ? table()->currentRow() : row;
                auto* editor = qobject_cast<QTimeEdit*>(table()->cellWidget(row, 0));
                QVERIFY2(editor, qPrintable(action));
                editor->setTime(QTime::fromString(w[w[0] == "add" ? 1 : 2], "hh:mm"));
                if (w[0] == "add" && w.size() > 2)
                    pick(table(), table()->currentRow(), 1, w.last()); // the row moved to its sorted place
            }
        }
    }

    // After OK: the element built, or what is red; the document is never edited.
    QString outcome(const std::function<QDomElement()>& element, const QString& before)
    {
        if (dialog->isVisible()) {
            // Open editors were closed so that the colours show.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return table()->findChildren<QTimeEdit*>().isEmpty() ? red() : "an editor left open";
        }
        const QDomElement built = element();
        const bool untouched = dialog->result() == QDialog::Accepted && red().isEmpty() && doc.toString() == before
                               && built.ownerDocument() == doc;
        return untouched ? describe(built) : "accepted, but red or the document changed";
    }

    // The columns of edit() and fileDigits().
    static void editColumns()
    {
        QTest::addColumn<QString>("opened"); // "LEVEL CARDXML": a card choosing from the zone's LEVEL; "day DAY": that
                                             // special day; "new DAY,...": a new special day among those
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("shown");  // on a special day: "yearly dd.MM" or "once dd.MM.yyyy"; empty: unchecked
        QTest::addColumn<QString>("result"); // the built element, or what is red
    }

private slots:
    void init() { parseXml(&doc, zoneXml); }
    void cleanup() { dialog.reset(); }

    void elementTypeKnownAtLoad() { QVERIFY(QMetaType::type("QDomElement") != QMetaType::UnknownType); }

    void edit_data()
    {
        editColumns();
        QTest::newRow("new zone card, rows added out of order") << "Strategies <DayCard id='5'/>"
            << QStringList{"add 22:00 1", "add 07:00 2"} << ""
            << "DayCard id=5 [Time strategy_id=2 '07:00'] [Time strategy_id=1 '22:00']";
        QTest::newRow("loaded area card sorted: first text child, state_id only")
            << "States <DayCard id='1'><Time state_id='2'>22:00</Time><Time strategy_id='2' state_id='1'><!--c-->06:00"
               "<!--d-->x</Time></DayCard>" << QStringList() << "" << "DayCard id=1 [Time state_id=1 '06:00'] [Time state_id=2 '22:00']";
        QTest::newRow("deleted strategy shown raw, its row deleted; a changed time moves its row")
            << "Strategies <DayCard id='1'><Time strategy_id='7'>06:00</Time><Time strategy_id='1'>09:00</Time>"
               "<Time strategy_id='2'>22:00</Time></DayCard>" << QStringList{"ok", "red 0:1:7", "reason Row 1: there is no strategy 7",
                                                                       "del 0", "reason ", "time 0 23:00"} << ""
            << "DayCard id=1 [Time strategy_id=2 '22:00'] [Time strategy_id=1 '23:00']";
        QTest::newRow("no rows, then a row without its choice") << "States <DayCard><Time state_id='1'>07:00</Time></DayCard>"
            << QStringList{"del 0", "ok", "red table", "reason The card has no switching points", "add 08:00",
                           "reason Row 1 has no state"} << "" << "0:1:";
        QTest::newRow("times that are no times")
            << "States <DayCard><Time state_id='1'>25:00</Time><Time state_id='2'>7.30</Time></DayCard>" << QStringList()
            << "" << "0:0:25:00 1:0:7.30";
        QStringList wholeYear; // every "dd.MM" of a leap year
        for (QDate d(2024, 1, 1); d.year() == 2024; d = d.addDays(1))
            wholeYear << d.toString("dd.MM");
        QTest::newRow("unticked: this year's date only, id kept") << "day 01.05" << QStringList{"tick"} << "yearly 01.05"
            << QString("SpecialDay day=01.05.%1 id=4 [Time state_id=2 '00:00']").arg(today.year());
        QTest::newRow("one date made yearly, rows sorted") << "day 09.05.2031" << QStringList{"tick"} << "once 09.05.2031"
            << "SpecialDay day=09.05 [Time state_id=1 '07:00'] [Time state_id=2 '20:00']";
        // Read against a leap year, so it is neither refused nor written as 01.03.
        QTest::newRow("29 February stays yearly") << "day 29.02" << QStringList() << "yearly 29.02"
                                                  << "SpecialDay day=29.02 [Time state_id=2 '00:00']";
        QTest::newRow("a day that is no date: refused until one is picked") << "day 31.13"
            << QStringList{"ok", "dateTip \"31.13\" is no date; pick the day", "date 2031-06-01", "dateTip "} << ""
            << "SpecialDay day=01.06.2031 [Time state_id=2 '00:00']";
        QTest::newRow("new with every day taken still opens") << "new " + wholeYear.join(',') << QStringList()
                                                              << "yearly " + yearly(366) << "table";
        QTest::newRow("new on a picked date, once, after a refusal") << "new"
            << QStringList{"date 2030-12-31", "tick", "ok", "red table", "add 00:00 2"} << "yearly " + yearly(0)
            << "SpecialDay day=31.12.2030 [Time state_id=2 '00:00']";
    }
    void edit()
    {
        QFETCH(QString, opened);
        QFETCH(QStringList, actions);
        QFETCH(QString, shown);
        QFETCH(QString, result);
        const QString kind = opened.section(' ', 0, 0), rest = opened.section(' ', 1);
        if (kind == "day" || kind == "new")
            openSpecialDay(kind == "day" ? rest : "", kind == "new" ? rest.split(',', Qt::SkipEmptyParts) : QStringList());
        else
            openCard(kind, rest);
        const QString before = doc.toString();
        auto* special = qobject_cast<SpecialDayEditdlg*>(dialog.get());
        if (special) {
            const bool everyYear = dialog->findChild<QCheckBox*>("everyYear")->isChecked();
            auto* date = dialog->findChild<QDateEdit*>("dateEdit");
            if (!shown.isEmpty())
                QCOMPARE(QString(everyYear ? "yearly " : "once ") + date->text(), shown);
            QVERIFY(date->date().year() >= (everyYear ? today.year() : 2000));
        }
        act(actions << "ok");
        const auto built = [&] { return special ? special->specialDayElement() : cardDialog()->dayCardElement(doc); };
        QCOMPARE(outcome(built, before), result);
        if (special || dialog->isVisible())
            return;
        // A caller that hands no document still gets an element that outlives the call.
        const QDomElement element = cardDialog()->dayCardElement(QDomDocument());
        QVERIFY(element.ownerDocument() == doc);
        QCOMPARE(describe(element), result);
    }

    // Times and dates go into the file in its own digits, whatever digits the user's locale shows; the program runs
    // this once more under a system locale with digits of its own.
    void fileDigits_data()
    {
        editColumns();
        QTest::newRow("card") << "States <DayCard id='3'/>" << QStringList{"add 07:05 1"} << ""
                              << "DayCard id=3 [Time state_id=1 '07:05']";
        QTest::newRow("special day once") << "new" << QStringList{"date 2031-05-09", "tick", "add 20:45 2"} << ""
                                          << "SpecialDay day=09.05.2031 [Time state_id=2 '20:45']";
    }
    void fileDigits()
    {
        const auto restore = arabicLocale(dialog);
        edit();
    }

    // Escape and Return end an open cell editor only, not the card nor a special day around it; pressed again they act
    // on the dialog.
    void keysCloseEditorFirst_data()
    {
        QTest::addColumn<QString>("card"); // "special": embedded in the special day 01.05
        QTest::addColumn<int>("column");   // the open editor's
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result"); // -1: still open
        QTest::newRow("return on a faulty card") << "<DayCard><Time strategy_id='7'>06:00</Time></DayCard>" << 1
                                                 << int(Qt::Key_Return) << -1;
        QTest::newRow("escape on a faulty card: closes it") << "<DayCard><Time strategy_id='7'>06:00</Time></DayCard>" << 1
                                                            << int(Qt::Key_Escape) << 0;
        QTest::newRow("embedded: escape in the time editor") << "special" << 0 << int(Qt::Key_Escape) << 0;
        QTest::newRow("return on a good card: the table keeps it") << "<DayCard><Time strategy_id='1'>06:00</Time></DayCard>"
                                                                   << 0 << int(Qt::Key_Return) << -1;
    }
    void keysCloseEditorFirst()
    {
        QFETCH(QString, card);
        QFETCH(int, column);
        QFETCH(int, key);
        QFETCH(int, result);
        if (card == "special")
            openSpecialDay("01.05");
        else
            openCard("Strategies", card);
        QApplication::setActiveWindow(dialog.get());
        QTRY_VERIFY(dialog->isActiveWindow());
        QWidget* editor = Drive::openCellEditor(table(), 0, column);
        QTRY_VERIFY(editor && (editor == QApplication::focusWidget() || editor->isAncestorOf(QApplication::focusWidget())));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(dialog->isVisible() && table()->isVisible());
        QVERIFY(!table()->cellWidget(0, column));
        // Once the editor is deleted the view must not touch it when laying out.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dialog->resize(dialog->size() + QSize(30, 30));
        QCoreApplication::processEvents();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(dialog->isVisible() ? -1 : dialog->result(), result);
        QCOMPARE(red(), card.contains("'7'") ? "0:1:7" : "");
    }
};

QTEST_MAIN(DaycardEditDlgTest)
#include "tst_daycardeditdlg.moc"
