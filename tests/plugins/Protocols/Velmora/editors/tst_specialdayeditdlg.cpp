#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>
#include <QtTest>

#include "DomText.h"
#include "OffscreenLeaks.h"
#include "Velmora/editors/SpecialDayEditdlg.h"
#include "WidgetDriver.h"

namespace {

const char* const areaXml = R"(<Area id="3"><States><State id="1" name="Peak"/><State id="2" name="Calm"/></States>
<Calendar><SpecialDays><SpecialDay day="01.05" id="4"><Time state_id="2">00:00</Time></SpecialDay>
<SpecialDay day="09.05.2031"><Time state_id="2">20:00</Time><Time state_id="1">07:00</Time></SpecialDay>
<SpecialDay day="29.02"><Time state_id="2">00:00</Time></SpecialDay>
<SpecialDay day="31.12"><Time state_id="9">00:00</Time></SpecialDay><SpecialDay day="24.12"/></SpecialDays></Calendar></Area>)";

const QDate today = QDate::currentDate();

QString yearly(int daysFromToday)
{
    return today.addDays(daysFromToday).toString("dd.MM");
}

} // namespace

class SpecialDayEditdlgTest : public QObject
{
    Q_OBJECT

    QDomDocument doc;
    QScopedPointer<SpecialDayEditdlg> dialog;
    QTableWidget* table = nullptr;

    // Opens the special day whose `day` is given, or a new one among the
    // `taken` days only (the fixture's own days could meet today).
    void open(const QString& day, const QStringList& taken = {})
    {
        parseXml(&doc, areaXml);
        QDomElement days = doc.documentElement().firstChildElement("Calendar").firstChildElement("SpecialDays");
        QDomElement edited;
        for (QDomElement e = days.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            edited = !day.isEmpty() && e.attribute("day") == day ? e : edited;
        while (day.isEmpty() && days.hasChildNodes())
            days.removeChild(days.firstChild());
        for (const QString& text : taken)
            days.appendChild(doc.createElement("SpecialDay")).toElement().setAttribute("day", text);
        dialog.reset(new SpecialDayEditdlg(doc.documentElement().firstChildElement("States"), days, edited));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.data()));
        table = dialog->findChild<QTableWidget*>("timeData");
    }

    QDateEdit* dateEdit() const { return dialog->findChild<QDateEdit*>("dateEdit"); }

    // "tick" (the every-year box), "date yyyy-MM-dd", "add HH:MM STATE", "del" (row 0), "ok".
    void act(const QStringList& actions)
    {
        for (const QString& action : actions) {
            const QStringList w = action.split(' ');
            if (w[0] == "tick") {
                auto* box = dialog->findChild<QCheckBox*>("everyYear");
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
            } else if (w[0] == "ok") {
                Drive::clickButton(dialog.data()); // the dialog's own box; the embedded card's is hidden
            } else if (w[0] == "date") {
                dateEdit()->setDate(QDate::fromString(w[1], Qt::ISODate));
            } else if (w[0] == "del") {
                Drive::clickCell(table, 0, 0);
                QTest::mouseClick(dialog->findChild<QPushButton*>("delCard"), Qt::LeftButton);
            } else if (w[0] == "add") {
                QTest::mouseClick(dialog->findChild<QPushButton*>("addCard"), Qt::LeftButton);
                auto* time = qobject_cast<QTimeEdit*>(table->cellWidget(table->currentRow(), 0));
                QVERIFY(time);
                time->setTime(QTime::fromString(w[1], "hh:mm"));
                QVERIFY(Drive::choose(Drive::openCellEditor(table, table->currentRow(), 1), w[2]));
            }
        }
    }

private slots:
    void cleanup() { dialog.reset(); }
    void dateShown_data();
    void dateShown();
    void edit_data();
    void edit();
    void escapeInTheEmbeddedCard();
};

void SpecialDayEditdlgTest::dateShown_data()
{
    QTest::addColumn<QString>("day");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<bool>("everyYear");
    QTest::addColumn<QString>("shown");

    QStringList wholeYear; // every "dd.MM" of a leap year
    for (QDate d(2024, 1, 1); d.year() == 2024; d = d.addDays(1))
        wholeYear << d.toString("dd.MM");
    QTest::newRow("every year") << "01.05" << QStringList() << true << "01.05";
    QTest::newRow("one date") << "09.05.2031" << QStringList() << false << "09.05.2031";
    QTest::newRow("29 February every year") << "29.02" << QStringList() << true << "29.02";
    QTest::newRow("new on a free day: today") << "" << QStringList{today.toString("dd.MM.yyyy")} << true << yearly(0);
    QTest::newRow("new skips taken days") << "" << QStringList{yearly(1), yearly(3), yearly(0)} << true << yearly(2);
    QTest::newRow("new with every day taken still opens") << "" << wholeYear << true << yearly(366);
}

void SpecialDayEditdlgTest::dateShown()
{
    QFETCH(QString, day);
    QFETCH(QStringList, taken);
    QFETCH(bool, everyYear);
    QFETCH(QString, shown);

    open(day, taken);
    QCOMPARE(dialog->findChild<QCheckBox*>("everyYear")->isChecked(), everyYear);
    QCOMPARE(dateEdit()->text(), shown);
    QVERIFY(dateEdit()->date().year() >= (day.size() == 5 ? today.year() : 2000));
}

void SpecialDayEditdlgTest::edit_data()
{
    QTest::addColumn<QString>("day");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("outcome"); // the built day, or what is red: "table", "state"

    QTest::newRow("every year kept, with its id") << "01.05" << QStringList() << "SpecialDay day=01.05 id=4 [Time state_id=2 '00:00']";
    QTest::newRow("unticked: this year's date only") << "01.05" << QStringList{"tick"}
        << QString("SpecialDay day=01.05.%1 id=4 [Time state_id=2 '00:00']").arg(today.year());
    QTest::newRow("one date made yearly, rows sorted") << "09.05.2031" << QStringList{"tick"}
        << "SpecialDay day=09.05 [Time state_id=1 '07:00'] [Time state_id=2 '20:00']";
    QTest::newRow("one date moved, a row deleted") << "09.05.2031" << QStringList{"date 2032-01-02", "del"}
        << "SpecialDay day=02.01.2032 [Time state_id=2 '20:00']";
    QTest::newRow("29 February stays yearly") << "29.02" << QStringList() << "SpecialDay day=29.02 [Time state_id=2 '00:00']";
    QTest::newRow("new, without id") << "" << QStringList{"add 18:00 2", "add 06:30 1"}
        << "SpecialDay day=" + yearly(0) + " [Time state_id=1 '06:30'] [Time state_id=2 '18:00']";
    QTest::newRow("new on a picked date, once, after a refusal") << ""
        << QStringList{"date 2030-12-31", "tick", "ok", "add 00:00 2"} << "SpecialDay day=31.12.2030 [Time state_id=2 '00:00']";
    QTest::newRow("no Time elements") << "24.12" << QStringList() << "table";
    QTest::newRow("only row deleted") << "01.05" << QStringList{"del"} << "table";
    QTest::newRow("state that no longer exists") << "31.12" << QStringList() << "state";
}

void SpecialDayEditdlgTest::edit()
{
    QFETCH(QString, day);
    QFETCH(QStringList, actions);
    QFETCH(QString, outcome);

    open(day);
    const QString before = doc.toString();
    act(actions << "ok");
    if (dialog->isVisible()) {
        const bool tableRed = Drive::isRed(table);
        const bool stateRed = table->rowCount() > 0 && Drive::isRed(table->item(0, 1));
        QCOMPARE(QString(tableRed ? "table" : stateRed ? "state" : "nothing red"), outcome);
        return;
    }
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    const QDomElement element = dialog->specialDayElement();
    QCOMPARE(describe(element), outcome);
    QVERIFY(element.ownerDocument() == doc); // built in the area's document, left unchanged
    QCOMPARE(doc.toString(), before);
}

void SpecialDayEditdlgTest::escapeInTheEmbeddedCard()
{
    // Escape in a cell editor ends the editor only, not the card it sits in
    // nor the special day dialog around it; the next Escape cancels.
    open("01.05");
    QApplication::setActiveWindow(dialog.data());
    QVERIFY(QTest::qWaitForWindowActive(dialog.data()));
    for (int column : {0, 1}) {
        QWidget* editor = Drive::openCellEditor(table, 0, column);
        QTRY_VERIFY(editor && (editor == QApplication::focusWidget() || editor->isAncestorOf(QApplication::focusWidget())));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible() && table->isVisible());
        QVERIFY(!table->cellWidget(0, column));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

QTEST_MAIN(SpecialDayEditdlgTest)
#include "tst_specialdayeditdlg.moc"
