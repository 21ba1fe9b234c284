#include "EditorTest.h"
#include "Velmora/editors/CellEditors.h"
#include "Velmora/editors/DomMetaType.h"

using Velmora::Editors::CellEditors;

// The cell editors of a table, as the dialogs use them: which cell an editor
// writes to after the table changed under it, and what closing takes.
class CellEditorsTest : public QObject
{
    Q_OBJECT

private slots:
    void cellFollowsTheTable_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("writesTo"); // "ROW:COLUMN" of the first editor's cell, or "none"
        QTest::addColumn<int>("widgets");      // cell widgets left in the table

        QTest::newRow("a row above inserted: the editor moves with its cell")
            << QStringList{"open 2 1", "insert 0"} << "3:1" << 1;
        QTest::newRow("its own row removed: it writes nowhere") << QStringList{"open 2 1", "remove 2"} << "none" << 0;
        QTest::newRow("its cell left") << QStringList{"open 1 0", "leave 1 0"} << "none" << 0;
        QTest::newRow("another cell left: it stays") << QStringList{"open 1 0", "leave 2 0"} << "1:0" << 1;
        QTest::newRow("another opened in its cell replaces it") << QStringList{"open 1 1", "open 1 1"} << "none" << 1;
        QTest::newRow("closed by itself") << QStringList{"open 1 1", "open 2 1", "close first"} << "none" << 1;
        QTest::newRow("all closed") << QStringList{"open 0 0", "open 2 1", "closeAll"} << "none" << 0;
        QTest::newRow("sorted: it goes with its row") << QStringList{"open 0 1", "sort descending"} << "3:1" << 1;
    }

    void cellFollowsTheTable()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, writesTo);
        QFETCH(int, widgets);
        QTableWidget table(4, 2);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 2; ++column)
                table.setItem(row, column, new QTableWidgetItem(QString::number(row)));
        auto* editors = new CellEditors(&table);
        QPointer<QWidget> first;
        for (const QString& step : steps) {
            const QStringList w = step.split(' ');
            const int row = w.value(1).toInt(), column = w.value(2).toInt();
            if (w[0] == "open") {
                auto* editor = new QComboBox;
                editors->open(table.item(row, column), editor);
                QCOMPARE(editor->property("item").value<QTableWidgetItem*>(), table.item(row, column));
                if (!first)
                    first = editor;
            } else if (w[0] == "insert") {
                table.insertRow(row);
            } else if (w[0] == "remove") {
                table.removeRow(row);
            } else if (w[0] == "leave") {
                editors->close(table.item(row, column));
            } else if (w[0] == "close") {
                editors->close(first.data());
            } else if (w[0] == "closeAll") {
                editors->closeAll();
            } else if (w[0] == "sort") {
                table.sortItems(0, Qt::DescendingOrder);
            }
        }
        QTableWidgetItem* cell = editors->cellOf(first.data());
        QCOMPARE(cell ? QString("%1:%2").arg(cell->row()).arg(cell->column()) : "none", writesTo);
        int left = 0;
        for (int row = 0; row < table.rowCount(); ++row)
            for (int column = 0; column < 2; ++column)
                left += table.cellWidget(row, column) ? 1 : 0;
        QCOMPARE(left, widgets);
    }

    // The editor that holds the focus, also in its own line edit, is the one
    // a key ends; a widget outside the table is none.
    void focused()
    {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        auto* table = new QTableWidget(2, 2);
        auto* outside = new QLineEdit;
        layout->addWidget(table);
        layout->addWidget(outside);
        table->setItem(1, 0, new QTableWidgetItem("07:00"));
        showExposed(&dialog);
        auto* editors = new CellEditors(table);
        auto* time = new QTimeEdit;
        editors->open(table->item(1, 0), time);
        QTRY_VERIFY(QApplication::focusWidget() && time->isAncestorOf(QApplication::focusWidget()));
        QCOMPARE(editors->focused(), time);
        outside->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), outside);
        QCOMPARE(editors->focused(), nullptr);
        time->setFocus();
        editors->close(time);
        QCOMPARE(editors->focused(), nullptr);
    }
};

QTEST_MAIN(CellEditorsTest)
#include "tst_celleditors.moc"
