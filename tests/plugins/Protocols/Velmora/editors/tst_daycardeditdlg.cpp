#include <QApplication>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>
#include <QtTest>

#include "DomText.h"
#include "OffscreenLeaks.h"
#include "Velmora/editors/DaycardEditDlg.h"
#include "Velmora/editors/DomMetaType.h"
#include "WidgetDriver.h"

namespace {

// Strategy ids sort as text in the choice editor: "1" < "10" < "2".
const char* const zoneXml = R"(<Zone id="7"><Strategies><Strategy id="1" name="Day"/><Strategy id="2" name="Night"/>
<Strategy id="10" name="Event"/></Strategies><States><State id="1" name="Peak"/><State id="2" name="Calm"/></States></Zone>)";

// Rows as shown: "add HH:MM [ID]", "time ROW HH:MM", "pick ROW ID", "del ROW", "ok".
void run(QDialog* dialog, const QStringList& actions)
{
    auto* table = dialog->findChild<QTableWidget*>("timeData");
    for (const QString& action : actions) {
        const QStringList w = action.split(' ');
        int row = w.value(1).toInt();
        if (w[0] == "ok") {
            Drive::clickButton(dialog);
            continue;
        } else if (w[0] == "del") {
            Drive::clickCell(table, row, 0);
            QTest::mouseClick(dialog->findChild<QPushButton*>("delCard"), Qt::LeftButton);
            continue;
        } else if (w[0] == "add") {
            QTest::mouseClick(dialog->findChild<QPushButton*>("addCard"), Qt::LeftButton);
            row = table->currentRow(); // the new row, its time editor open
        } else if (w[0] == "time") {
            Drive::openCellEditor(table, row, 0);
        }
        if (w[0] != "pick") {
            auto* editor = qobject_cast<QTimeEdit*>(table->cellWidget(row, 0));
            QVERIFY2(editor, qPrintable(action));
            editor->setTime(QTime::fromString(w[w[0] == "add" ? 1 : 2], "hh:mm"));
            row = table->currentRow(); // the row moved to its sorted place
        }
        if (w[0] == "pick" || (w[0] == "add" && w.size() > 2))
            QVERIFY2(Drive::choose(Drive::openCellEditor(table, row, 1), w.last()), qPrintable(action));
    }
}

} // namespace

class DaycardEditDlgTest : public QObject
{
    Q_OBJECT

    QDomDocument doc;
    QDomElement choices(const QString& level) const { return doc.documentElement().firstChildElement(level); }
    QDomElement card(const QString& xml)
    {
        QDomDocument part;
        return part.setContent(xml) ? doc.importNode(part.documentElement(), true).toElement() : QDomElement();
    }

private slots:
    void init() { QVERIFY(doc.setContent(QString(zoneXml))); }
    void elementTypeKnownAtLoad() { QCOMPARE(QMetaType::type("QDomElement"), qMetaTypeId<QDomElement>()); }
    void edit_data();
    void edit();
    void keysCloseEditorFirst_data();
    void keysCloseEditorFirst();
    void elementWithoutDocument();
};

// A caller that hands no document still gets an element that outlives the call.
void DaycardEditDlgTest::elementWithoutDocument()
{
    DaycardEditDlg dialog(choices("Strategies"), card("<DayCard id=\"4\"><Time strategy_id=\"1\">06:00</Time></DayCard>"));
    const QDomElement element = dialog.dayCardElement(QDomDocument());
    QCOMPARE(element.ownerDocument(), doc);
    QCOMPARE(element.attribute("id"), QStringLiteral("4"));
    QCOMPARE(element.firstChildElement("Time").text(), QStringLiteral("06:00"));
}

void DaycardEditDlgTest::edit_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("card");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("outcome"); // the built card, or what is red: "row:column:text", "table"

    QTest::newRow("new zone card, rows added out of order") << "Strategies" << "<DayCard id='5'/>"
        << QStringList{"add 22:00 1", "add 07:00 2"} << "DayCard id=5 [Time strategy_id=2 '07:00'] [Time strategy_id=1 '22:00']";
    QTest::newRow("area card writes state_id") << "States" << "<DayCard id='2'/>"
        << QStringList{"add 12:15 2"} << "DayCard id=2 [Time state_id=2 '12:15']";
    QTest::newRow("special day card has no id") << "States" << "" << QStringList{"add 08:00 1"}
        << "DayCard [Time state_id=1 '08:00']";
    QTest::newRow("loaded card sorted, first text child") << "Strategies"
        << "<DayCard id='1'><Time strategy_id='2'>22:00</Time><Time strategy_id='10'><!--c-->06:00<!--d-->x</Time></DayCard>"
        << QStringList() << "DayCard id=1 [Time strategy_id=10 '06:00'] [Time strategy_id=2 '22:00']";
    QTest::newRow("area card reads state_id only") << "States"
        << "<DayCard id='1'><Time strategy_id='1' state_id='2'>07:00</Time></DayCard>" << QStringList()
        << "DayCard id=1 [Time state_id=2 '07:00']";
    QTest::newRow("changed time moves its row") << "Strategies"
        << "<DayCard id='1'><Time strategy_id='1'>06:00</Time><Time strategy_id='2'>22:00</Time></DayCard>"
        << QStringList{"time 0 23:00"} << "DayCard id=1 [Time strategy_id=2 '22:00'] [Time strategy_id=1 '23:00']";
    QTest::newRow("deleted strategy shown raw") << "Strategies"
        << "<DayCard><Time strategy_id='7'>06:00</Time><Time strategy_id='1'>09:00</Time></DayCard>" << QStringList()
        << "0:1:7";
    QTest::newRow("deleted strategy replaced, editor left open") << "Strategies"
        << "<DayCard id='1'><Time strategy_id='7'>06:00</Time></DayCard>" << QStringList{"ok", "pick 0 10", "add 05:00 2"}
        << "DayCard id=1 [Time strategy_id=2 '05:00'] [Time strategy_id=10 '06:00']";
    QTest::newRow("row naming a deleted strategy deleted") << "Strategies"
        << "<DayCard id='1'><Time strategy_id='7'>06:00</Time><Time strategy_id='1'>09:00</Time></DayCard>"
        << QStringList{"del 0"} << "DayCard id=1 [Time strategy_id=1 '09:00']";
    QTest::newRow("last row deleted") << "States" << "<DayCard><Time state_id='1'>07:00</Time></DayCard>"
        << QStringList{"del 0"} << "table";
    QTest::newRow("added row without choice") << "Strategies" << "<DayCard/>" << QStringList{"add 08:00"} << "0:1:";
    QTest::newRow("times that are no times") << "States"
        << "<DayCard><Time state_id='1'>25:00</Time><Time state_id='2'>7.30</Time></DayCard>" << QStringList()
        << "0:0:25:00 1:0:7.30";
}

void DaycardEditDlgTest::edit()
{
    QFETCH(QString, level);
    QFETCH(QString, card);
    QFETCH(QStringList, actions);
    QFETCH(QString, outcome);

    const QString before = doc.toString();
    DaycardEditDlg dialog(choices(level), this->card(card));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    run(&dialog, actions << "ok");
    auto* table = dialog.findChild<QTableWidget*>("timeData");
    QStringList red = Drive::redCells(table);
    if (Drive::isRed(table))
        red << "table";
    if (dialog.isVisible()) {
        QCOMPARE(red.join(' '), outcome);
        // Open editors were closed so that the colours show.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(table->findChildren<QTimeEdit*>().isEmpty());
    } else {
        QCOMPARE(red, QStringList());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(describe(dialog.dayCardElement(doc)), outcome);
        QCOMPARE(doc.toString(), before); // the table is edited, never the document
    }
}

void DaycardEditDlgTest::keysCloseEditorFirst_data()
{
    QTest::addColumn<int>("column"); // the open editor's
    QTest::addColumn<int>("key");    // pressed twice
    QTest::addColumn<QString>("card");
    QTest::addColumn<int>("result"); // -1: still open

    const QString valid = "<DayCard><Time strategy_id='1'>06:00</Time></DayCard>";
    const QString faulty = "<DayCard><Time strategy_id='7'>06:00</Time></DayCard>";
    QTest::newRow("escape in time editor") << 0 << int(Qt::Key_Escape) << valid << 0;
    QTest::newRow("escape in choice editor") << 1 << int(Qt::Key_Escape) << valid << 0;
    QTest::newRow("return in time editor") << 0 << int(Qt::Key_Return) << valid << 1;
    QTest::newRow("return on a faulty card") << 1 << int(Qt::Key_Return) << faulty << -1;
}

void DaycardEditDlgTest::keysCloseEditorFirst()
{
    QFETCH(int, column);
    QFETCH(int, key);
    QFETCH(QString, card);
    QFETCH(int, result);

    DaycardEditDlg dialog(choices("Strategies"), this->card(card));
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* table = dialog.findChild<QTableWidget*>("timeData");
    QWidget* editor = Drive::openCellEditor(table, 0, column);
    QTRY_VERIFY(editor && (editor == QApplication::focusWidget() || editor->isAncestorOf(QApplication::focusWidget())));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(dialog.isVisible());
    QVERIFY(!table->cellWidget(0, column));
    // Once the editor is deleted the view must not touch it when laying out.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dialog.resize(dialog.size() + QSize(30, 30));
    QCoreApplication::processEvents();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(dialog.isVisible(), result < 0);
    if (result < 0)
        QCOMPARE(Drive::redCells(table), QStringList{"0:1:7"});
    else
        QCOMPARE(dialog.result(), result);
}

QTEST_MAIN(DaycardEditDlgTest)
#include "tst_daycardeditdlg.moc"
