#pragma once

#include <QItemDelegate>
#include <QStringList>

class QAbstractItemModel;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;
class QWidget;

// Edits a table cell with a combo box of offered texts, or with a line edit
// when nothing is offered. The cell holds the offered text; `values` says what
// each text stands for when the owner writes the document.
class ComboBoxDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    ComboBoxDelegate(QObject* parent, const QStringList& texts, const QStringList& values);

    // The display text of a stored value; an unlisted value shows as itself.
    QString textOf(const QString& value) const;
    // The stored value of a display text; empty when the text is not offered.
    QString valueOf(const QString& text) const;

    // Parallel lists (same index): what the combo box offers and what each
    // offered text stands for. The owner may replace them at any time, in
    // particular from a slot on createEditor(QModelIndex).
    QStringList texts;
    QStringList values;

signals:
    // Emitted before every editor is made, so the owner can fill the lists
    // for that cell.
    void createEditor(const QModelIndex& index);

public:
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};
