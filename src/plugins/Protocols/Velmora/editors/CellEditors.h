#pragma once

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>

class QComboBox;
class QTableWidget;
class QTableWidgetItem;
class QWidget;

namespace Velmora {
namespace Editors {

// The cell editors of one table: a combo box or time editor put into a cell
// as its cell widget on a double click, carrying its cell in the dynamic
// property "item". What an editor chooses goes into its cell at once, so
// closing one (the current cell left, the dialog accepted, Escape) loses
// nothing. Editors are known by the cells they were opened in: no search of
// the table, and an editor whose row went is known to be done with.
class CellEditors : public QObject
{
    Q_OBJECT

public:
    explicit CellEditors(QTableWidget* table);

    // Puts `editor` into `cell` and gives it the focus; the table owns it.
    void open(QTableWidgetItem* cell, QWidget* editor);
    // The cell `editor` edits, or null once it was closed or its row removed.
    QTableWidgetItem* cellOf(const QObject* editor) const;
    // Puts the combo box's entry `index` into its cell: the text, and the entry's data as Qt::UserRole.
    // The cell, or null when the editor is done with or chose nothing.
    QTableWidgetItem* takeChoice(const QComboBox* editor, int index) const;
    // The open editor that holds the focus (perhaps in an inner line edit), or null.
    QWidget* focused() const;
    // Whether some table's CellEditors put `widget` into its cell (and not, say, a view's delegate).
    static bool isCellEditor(const QWidget* widget);

    // Through the view, which deletes the editors later and keeps its books right.
    void close(const QTableWidgetItem* cell);
    void close(QWidget* editor);
    void closeAll();

private:
    struct Open
    {
        QPointer<QWidget> editor;
        QPersistentModelIndex cell;
    };
    // The open editor's entry, when it still is the widget of its cell.
    const Open* live(const QObject* editor) const;
    void forgetClosed();

    QTableWidget* m_table;
    QList<Open> m_open;
};

} // namespace Editors
} // namespace Velmora
