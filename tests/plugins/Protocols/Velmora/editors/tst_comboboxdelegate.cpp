#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QtTest>

#include "OffscreenLeaks.h"
#include "Velmora/editors/ComboBoxDelegate.h"
#include "WidgetDriver.h"

class TestComboBoxDelegate : public QObject
{
    Q_OBJECT

private slots:
    void lookups_data();
    void lookups();
    void editing_data();
    void editing();
    void editorGeometry_data();
    void editorGeometry();
    void selectedCellPaintsItsText();
};

void TestComboBoxDelegate::lookups_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");   // textOf(value)
    QTest::addColumn<QString>("stored"); // valueOf(text)

    const QStringList states{"local control", "yellow flashing", "off"};
    const QStringList codes{"1", "2", "3"};
    QTest::newRow("listed") << states << codes << "2" << "yellow flashing" << "2";
    QTest::newRow("unlisted value shows as itself") << states << codes << "0" << "0" << "";
    QTest::newRow("texts are case-sensitive") << QStringList{"Off"} << QStringList{"3"} << "3" << "Off" << "3";
    QTest::newRow("value without a text") << QStringList{"a"} << QStringList{"1", "2"} << "2" << "2" << "";
}

void TestComboBoxDelegate::lookups()
{
    QFETCH(QStringList, texts);
    QFETCH(QStringList, values);
    QFETCH(QString, value);
    QFETCH(QString, text);
    QFETCH(QString, stored);

    ComboBoxDelegate delegate(nullptr, texts, values);
    QCOMPARE(delegate.textOf(value), text);
    QCOMPARE(delegate.valueOf(text), stored);
    // Texts match by case too.
    if (text != text.toUpper())
        QCOMPARE(delegate.valueOf(text.toUpper()), QString());
}

void TestComboBoxDelegate::editing_data()
{
    QTest::addColumn<QStringList>("offered"); // filled in by the owner when asked
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("selected");    // what the editor opens with
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("result");

    const QStringList programs{"1", "2", "12"};
    QTest::newRow("current text selected") << programs << "2" << "2" << "12" << "12";
    QTest::newRow("unoffered text: first entry") << programs << "7" << "1" << "2" << "2";
    QTest::newRow("match is exact") << QStringList{"off", "Off "} << "Off" << "off" << "Off " << "Off ";
    QTest::newRow("nothing offered: free text") << QStringList() << "7" << "7" << "x9" << "x9";
}

void TestComboBoxDelegate::editing()
{
    QFETCH(QStringList, offered);
    QFETCH(QString, current);
    QFETCH(QString, selected);
    QFETCH(QString, entered);
    QFETCH(QString, result);

    QTableWidget table(2, 2);
    table.setItem(1, 1, new QTableWidgetItem(current));
    // Offers something stale: the owner's slot must be asked before the editor is made.
    ComboBoxDelegate delegate(&table, {"stale"}, {"s"});
    table.setItemDelegateForColumn(1, &delegate);
    QList<QModelIndex> asked;
    connect(&delegate, QOverload<const QModelIndex&>::of(&ComboBoxDelegate::createEditor), this,
            [&](const QModelIndex& index) {
                asked.append(index);
                delegate.texts = offered;
            });
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));

    const QModelIndex index = table.model()->index(1, 1);
    table.setCurrentIndex(index);
    table.edit(index);
    QCOMPARE(asked, QList<QModelIndex>{index});
    QWidget* editor = table.indexWidget(index);
    QVERIFY(editor);

    if (offered.isEmpty()) {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QVERIFY(line);
        QCOMPARE(line->text(), selected);
        line->setText(entered);
    } else {
        auto* combo = qobject_cast<QComboBox*>(editor);
        QVERIFY(combo);
        QCOMPARE(Drive::entries(combo), offered);
        QCOMPARE(combo->currentText(), selected);
        combo->setCurrentIndex(combo->findText(entered, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(table.item(1, 1)->text(), result);
    QCOMPARE(table.item(1, 1)->data(Qt::DisplayRole).toString(), result);
}

void TestComboBoxDelegate::editorGeometry_data()
{
    QTest::addColumn<QRect>("cell");
    QTest::addColumn<QRect>("editor");

    QTest::newRow("low cell") << QRect(10, 20, 80, 23) << QRect(10, 20, 80, 23);
    QTest::newRow("tall cell: centred") << QRect(10, 20, 80, 50) << QRect(10, 30, 80, 30);
    QTest::newRow("odd spare height") << QRect(0, 0, 40, 33) << QRect(0, 1, 40, 30);
}

void TestComboBoxDelegate::editorGeometry()
{
    QFETCH(QRect, cell);
    QFETCH(QRect, editor);

    ComboBoxDelegate delegate(nullptr, {}, {});
    QWidget parent;
    QLineEdit line(&parent);
    QStyleOptionViewItem option;
    option.rect = cell;
    delegate.updateEditorGeometry(&line, option, QModelIndex());
    QCOMPARE(line.geometry(), editor);
}

void TestComboBoxDelegate::selectedCellPaintsItsText()
{
    QStandardItemModel model(1, 1);
    ComboBoxDelegate delegate(nullptr, {}, {});
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 120, 23);
    option.palette.setColor(QPalette::Highlight, Qt::blue);
    option.palette.setColor(QPalette::HighlightedText, Qt::white);
    option.font = QApplication::font();

    auto render = [&](const QString& text, bool selected) {
        model.setData(model.index(0, 0), text, Qt::DisplayRole);
        option.state = QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
        QImage image(option.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::green);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
        return image;
    };

    const QImage selected = render(QStringLiteral("yellow flashing"), true);
    QCOMPARE(QColor(selected.pixel(1, 1)), QColor(Qt::blue));
    QVERIFY(selected != render(QString(), true));
    QVERIFY(QColor(render(QStringLiteral("yellow flashing"), false).pixel(1, 1)) != QColor(Qt::blue));
}

QTEST_MAIN(TestComboBoxDelegate)
#include "tst_comboboxdelegate.moc"
