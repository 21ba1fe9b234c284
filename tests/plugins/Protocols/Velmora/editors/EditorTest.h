#pragma once
// What the editors' test programs share; each program includes it once.
#include <QDomDocument>
#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <functional>
#include <memory>

#include "DomText.h"
#include "QtOwnLeaks.h"
#include "Velmora/graphics/GraphicsArea.h"
#include "WidgetDriver.h"

// Shown and on screen, so that clicks land.
inline void showExposed(QWidget* window)
{
    window->show();
    QTRY_VERIFY(window->windowHandle()->isExposed());
}

inline void press(const QWidget* dialog, const QString& button)
{
    QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
}

// Types `text` into a field. What no keyboard types (a control character) comes in as a user gets it in: pasted.
inline void enter(QWidget* field, const QString& text)
{
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); })) {
        Drive::retype(field, text);
        return;
    }
    QApplication::clipboard()->setText(text);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

// Sets a choice cell through its editor.
inline void pick(QTableWidget* table, int row, int column, const QString& value)
{
    QVERIFY2(Drive::choose(Drive::openCellEditor(table, row, column), value), qPrintable(value));
}

// Answers a day card or special day editor: one row added for `choice`, then OK.
inline void addRowAndAccept(QWidget* editor, const QString& choice)
{
    press(editor, "addCard");
    auto* times = editor->findChild<QTableWidget*>("timeData");
    pick(times, times->currentRow(), 1, choice);
    Drive::clickButton(editor);
}

// The red ones of the named fields ("NAME=TIP" when the field tells why in
// its tool tip), then `cell(row, column)` of each red cell of `table`.
inline QStringList markedRed(const QWidget* dialog, const QStringList& fields, const char* table = nullptr,
                             const std::function<QString(const QString&, const QString&)>& cell = {})
{
    QStringList red;
    for (const QString& name : fields) {
        const QWidget* field = dialog->findChild<QWidget*>(name);
        if (Drive::isRed(field))
            red << name + (field->toolTip().isEmpty() ? QString() : '=' + field->toolTip());
    }
    for (const QString& at : table ? Drive::redCells(dialog->findChild<QTableWidget*>(table)) : QStringList())
        red << cell(at.section(':', 0, 0), at.section(':', 1, 1));
    return red;
}

// The children of `parent`, each as `text` makes it, joined by `separator`.
inline QString each(const QDomElement& parent, const std::function<QString(const QDomElement&)>& text,
                    char separator = ' ')
{
    QStringList parts;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        parts << text(e);
    return parts.join(separator);
}

// With `arabic`, the user's locale has digits of its own until the guard goes; `dialog`, made under it, goes first.
template <class Dialog> auto arabicLocale(Dialog& dialog, bool arabic = true)
{
    const QLocale usual;
    if (arabic)
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    return qScopeGuard([&dialog, usual] {
        dialog.reset();
        QLocale::setDefault(usual);
    });
}

// The map tool window a dialog has open, or nullptr.
inline QDialog* toolWindow(const QWidget* dialog)
{
    for (QDialog* window : dialog->findChildren<QDialog*>())
        if (window->windowFlags().testFlag(Qt::Tool) && window->isVisible())
            return window;
    return nullptr;
}

// The outline an editor puts on the map.
inline GraphicsArea* overlay(const QGraphicsScene* scene)
{
    for (QGraphicsItem* item : scene->items())
        if (auto* area = qobject_cast<GraphicsArea*>(item->toGraphicsObject()))
            return area;
    return nullptr;
}
