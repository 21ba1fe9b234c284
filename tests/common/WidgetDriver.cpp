#include "WidgetDriver.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace Drive {

void clickIndex(QAbstractItemView* view, const QModelIndex& index, bool twice, Qt::KeyboardModifiers modifiers)
{
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at);
    if (twice)
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, modifiers, at);
}

void clickCell(QTableWidget* table, int row, int column, bool twice, Qt::KeyboardModifiers modifiers)
{
    clickIndex(table, table->model()->index(row, column), twice, modifiers);
}

void clickRow(QListWidget* list, int row, bool twice)
{
    clickIndex(list, list->model()->index(row, 0), twice);
}

QWidget* openCellEditor(QTableWidget* table, int row, int column)
{
    clickCell(table, row, column, true);
    return table->cellWidget(row, column);
}

bool choose(QWidget* editor, const QString& value)
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    const int index = !combo ? -1 : combo->findData(value) >= 0 ? combo->findData(value) : combo->findText(value);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    return true;
}

QStringList entries(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QStringList texts(const QAbstractItemView* view, int column)
{
    QStringList shown;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        shown << view->model()->index(row, column).data().toString();
    return shown;
}

void rightClick(QAbstractItemView* view, const QModelIndex& index)
{
    const QPoint at = view->visualRect(index).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
}

void clickButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    // A dialog may embed another's form, whose button box it hides.
    for (QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>()) {
        if (box->isVisible() && box->button(which)) {
            QTest::mouseClick(box->button(which), Qt::LeftButton);
            return;
        }
    }
    QFAIL("no visible button box with that button");
}

void drag(QWidget* widget, const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers)
{
    QTest::mousePress(widget, Qt::LeftButton, modifiers, from);
    for (int step = 1; step <= 3; ++step) {
        const QPoint pos = from + (to - from) * step / 3;
        QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(widget, &move);
    }
    QTest::mouseRelease(widget, Qt::LeftButton, modifiers, to);
}

void retype(QWidget* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

bool isRed(const QWidget* field)
{
    return field->palette().color(QPalette::Base) == Qt::red;
}

bool isRed(const QTableWidgetItem* item)
{
    return item && item->background() == QBrush(Qt::red);
}

QStringList redCells(const QTableWidget* table)
{
    QStringList red;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            if (isRed(table->item(row, column)))
                red << QStringLiteral("%1:%2:%3").arg(row).arg(column).arg(table->item(row, column)->text());
        }
    }
    return red;
}

QDialog* shownDialog(const QString& name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->objectName() == name)
            return dialog;
    }
    return nullptr;
}

QAction* menuAction(QMainWindow* window, const QString& text)
{
    for (QAction* action : window->menuBar()->findChildren<QAction*>())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace Drive

PopupAnswerer::PopupAnswerer(const QString& menuChoice, const QString& boxButton)
    : menuChoice(menuChoice)
    , m_boxButton(boxButton)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            m_present << window;
    }
    connect(&m_timer, &QTimer::timeout, this, &PopupAnswerer::look);
    m_timer.start(5);
}

void PopupAnswerer::expect(const char* className, std::function<void(QWidget*)> act)
{
    m_expected << Expectation{className, std::move(act)};
}

void PopupAnswerer::look()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (!window->isVisible())
            continue;
        if (auto* box = qobject_cast<QMessageBox*>(window)) {
            answerBox(box);
        } else if (auto* menu = qobject_cast<QMenu*>(window)) {
            if (menu != m_pendingMenu)
                answerMenu(menu);
        }
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || m_present.contains(modal) || qobject_cast<QMessageBox*>(modal)) {
        m_unanswered = 0;
    } else if (!m_expected.isEmpty() && modal->inherits(m_expected.first().className)) {
        m_unanswered = 0;
        m_expected.takeFirst().act(modal);
    } else if (++m_unanswered > 400) {
        m_unanswered = 0;
        modal->close();
    }
}

QString PopupAnswerer::note(const QMessageBox* box)
{
    const QString name = box->objectName().isEmpty() ? box->windowTitle() : box->objectName();
    const QString more = box->informativeText().isEmpty() ? QString() : QStringLiteral(" | ") + box->informativeText();
    return name + QStringLiteral(": ") + box->text() + more;
}

void PopupAnswerer::answerBox(QMessageBox* box)
{
    boxes << note(box);
    for (QAbstractButton* button : box->buttons()) {
        const bool wanted = m_boxButton.isEmpty() ? box->standardButton(button) == QMessageBox::Ok
                                                  : button->text() == m_boxButton;
        if (wanted)
            return button->click();
    }
    box->close();
}

void PopupAnswerer::answerMenu(QMenu* menu)
{
    QStringList texts;
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions()) {
        texts << action->text();
        chosen = action->text() == menuChoice ? action : chosen;
    }
    menus << texts;
    if (!chosen) {
        menu->close();
        return;
    }
    // From the event loop, not from this tick: the entry runs nested loops
    // in which this timer must keep firing.
    m_pendingMenu = menu;
    QTimer::singleShot(0, menu, [menu, chosen] {
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}
