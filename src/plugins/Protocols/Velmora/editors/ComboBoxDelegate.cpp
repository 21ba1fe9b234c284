#include "ComboBoxDelegate.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>

namespace {

// Editors are never taller than this, however tall the row.
constexpr int MaxEditorHeight = 30;

} // namespace

ComboBoxDelegate::ComboBoxDelegate(QObject* parent, const QStringList& texts, const QStringList& values)
    : QItemDelegate(parent)
    , texts(texts)
    , values(values)
{
}

QString ComboBoxDelegate::textOf(const QString& value) const
{
    const int at = values.indexOf(value);
    return at >= 0 && at < texts.size() ? texts.at(at) : value;
}

QString ComboBoxDelegate::valueOf(const QString& text) const
{
    const int at = texts.indexOf(text);
    return at >= 0 && at < values.size() ? values.at(at) : QString();
}

void ComboBoxDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    if (!(option.state & QStyle::State_Selected)) {
        QItemDelegate::paint(painter, option, index);
        return;
    }
    drawBackground(painter, option, index);
    drawDisplay(painter, option, option.rect, index.data(Qt::DisplayRole).toString());
    drawFocus(painter, option, option.rect);
}

QSize ComboBoxDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(50, 23);
}

QWidget* ComboBoxDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const
{
    // The owner fills the lists for this cell; the signal is not const.
    emit const_cast<ComboBoxDelegate*>(this)->createEditor(index);
    if (texts.isEmpty())
        return new QLineEdit(parent);
    auto* combo = new QComboBox(parent);
    combo->addItems(texts);
    return combo;
}

void ComboBoxDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString text = index.model()->data(index, Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int at = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (at >= 0)
            combo->setCurrentIndex(at);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(text);
    }
}

void ComboBoxDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        model->setData(index, combo->currentText(), Qt::DisplayRole);
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        model->setData(index, line->text(), Qt::DisplayRole);
}

void ComboBoxDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const
{
    QRect rect = option.rect;
    if (rect.height() > MaxEditorHeight) {
        rect.setTop(rect.top() + (rect.height() - MaxEditorHeight) / 2);
        rect.setHeight(MaxEditorHeight);
    }
    editor->setGeometry(rect);
}
