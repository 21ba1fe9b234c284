#include "CellEditors.h"

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>

#include "DomMetaType.h"

namespace Velmora {
namespace Editors {

CellEditors::CellEditors(QTableWidget* table)
    : QObject(table)
    , m_table(table)
{
}

void CellEditors::open(QTableWidgetItem* cell, QWidget* editor)
{
    forgetClosed();
    editor->setProperty("item", QVariant::fromValue(cell));
    const QModelIndex index = m_table->model()->index(cell->row(), cell->column());
    m_open.append({editor, index});
    m_table->setCellWidget(cell->row(), cell->column(), editor);
    editor->setFocus();
}

const CellEditors::Open* CellEditors::live(const QObject* editor) const
{
    for (const Open& open : m_open) {
        if (editor && open.editor == editor && open.cell.isValid()
            && m_table->cellWidget(open.cell.row(), open.cell.column()) == editor)
            return &open;
    }
    return nullptr;
}

QTableWidgetItem* CellEditors::cellOf(const QObject* editor) const
{
    const Open* open = live(editor);
    return open ? m_table->item(open->cell.row(), open->cell.column()) : nullptr;
}

QTableWidgetItem* CellEditors::takeChoice(const QComboBox* editor, int index) const
{
    QTableWidgetItem* cell = cellOf(editor);
    if (!cell || index < 0)
        return nullptr;
    cell->setText(editor->itemText(index));
    cell->setData(Qt::UserRole, editor->itemData(index));
    return cell;
}

bool CellEditors::isCellEditor(const QWidget* widget)
{
    return widget && widget->property("item").value<QTableWidgetItem*>() != nullptr;
}

QWidget* CellEditors::focused() const
{
    for (QWidget* widget = QApplication::focusWidget(); widget && widget != m_table; widget = widget->parentWidget()) {
        if (live(widget))
            return widget;
    }
    return nullptr;
}

void CellEditors::close(const QTableWidgetItem* cell)
{
    if (cell && m_table->cellWidget(cell->row(), cell->column()))
        m_table->removeCellWidget(cell->row(), cell->column());
    forgetClosed();
}

void CellEditors::close(QWidget* editor)
{
    if (const Open* open = live(editor))
        m_table->removeCellWidget(open->cell.row(), open->cell.column());
    forgetClosed();
}

void CellEditors::closeAll()
{
    for (const Open& open : qAsConst(m_open)) {
        if (live(open.editor))
            m_table->removeCellWidget(open.cell.row(), open.cell.column());
    }
    m_open.clear();
}

void CellEditors::forgetClosed()
{
    for (int i = m_open.size() - 1; i >= 0; --i) {
        if (!live(m_open.at(i).editor))
            m_open.removeAt(i);
    }
}

} // namespace Editors
} // namespace Velmora
