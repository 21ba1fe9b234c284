#include "TableKeys.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>

#include "CellEditors.h"

namespace Velmora {
namespace Editors {

namespace {

QAbstractItemView* viewHolding(QWidget* widget, const QDialog* dialog)
{
    for (; widget && widget != dialog; widget = widget->parentWidget()) {
        if (auto* view = qobject_cast<QAbstractItemView*>(widget))
            return view;
    }
    return nullptr;
}

} // namespace

TableKeys::TableKeys(QDialog* dialog, QDialogButtonBox* buttons)
    : QObject(dialog)
    , m_dialog(dialog)
    , m_ok(buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr)
{
    const QList<QAbstractItemView*> views = dialog->findChildren<QAbstractItemView*>();
    for (QAbstractItemView* view : views)
        view->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusChanged(now); });
}

bool TableKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter && key != Qt::Key_Escape)
        return false;
    auto* view = static_cast<QAbstractItemView*>(watched);
    // Keys go to the window's focus widget; the key came from there.
    QWidget* focus = view->window()->focusWidget();
    const bool inEditor = focus && focus != view && view->isAncestorOf(focus);
    if (inEditor && closeCellEditorHolding(view, focus)) {
        view->setFocus();
        return true;
    }
    // A delegate's editor (a list entry typed over) passes Enter on once it has queued its own commit and close;
    // taking the editor away now would lose what was typed. Its Escape never comes here.
    if (inEditor && enter)
        return true;
    if (!enter)
        return false; // Escape on the table itself closes the dialog, as anywhere
    moveToNextRow(view);
    return true;
}

bool TableKeys::closeCellEditorHolding(QAbstractItemView* view, QWidget* focus)
{
    const QAbstractItemModel* model = view->model();
    for (int row = 0; model && row < model->rowCount(view->rootIndex()); ++row) {
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QModelIndex index = model->index(row, column, view->rootIndex());
            QWidget* editor = view->indexWidget(index);
            if (editor && (editor == focus || editor->isAncestorOf(focus))) {
                if (!CellEditors::isCellEditor(editor))
                    return false;
                // What the editor shows is in its cell already; the view deletes it later.
                view->setIndexWidget(index, nullptr);
                return true;
            }
        }
    }
    return false;
}

void TableKeys::moveToNextRow(QAbstractItemView* view)
{
    const QModelIndex current = view->currentIndex();
    const QModelIndex next = current.sibling(current.row() + 1, current.column());
    if (next.isValid())
        view->setCurrentIndex(next);
}

void TableKeys::focusChanged(QWidget* now)
{
    if (!m_ok || !now || now->window() != m_dialog)
        return;
    m_ok->setDefault(!viewHolding(now, m_dialog));
}

} // namespace Editors
} // namespace Velmora
