#include "DomMetaType.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QTableWidget>
#include <QToolTip>
#include <QVariant>

#include "format/XmlText.h"
#include "graphics/GraphicsArea.h"

namespace Velmora {
namespace Editors {

int registerDomElementType()
{
    static const int id = qRegisterMetaType<QDomElement>("QDomElement");
    return id;
}

namespace {

// Elements in item data are known by name as soon as the library is loaded.
const int domElementTypeAtLoad = registerDomElementType();

} // namespace

void setEditedCell(QObject* editor, QTableWidgetItem* cell)
{
    editor->setProperty("item", QVariant::fromValue(cell));
}

QTableWidgetItem* editedCell(const QObject* editor, const QTableWidget* table)
{
    if (!editor || !table)
        return nullptr;
    auto* cell = editor->property("item").value<QTableWidgetItem*>();
    if (!cell)
        return nullptr;
    // Compare pointers only: a cell whose row was removed is already deleted.
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            if (table->item(row, column) == cell)
                return cell;
        }
    }
    return nullptr;
}

void markCell(QTableWidgetItem* cell, bool fault)
{
    cell->setBackground(fault ? QBrush(Qt::red) : QBrush());
}

void markField(QWidget* field, bool fault)
{
    if (!fault) {
        field->setPalette(QPalette());
        return;
    }
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::red);
    field->setPalette(palette);
}

namespace {

QString codeOf(QChar character)
{
    return QStringLiteral("U+%1").arg(character.unicode(), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString unwritableReason(const QString& text)
{
    const int at = Xml::firstNonXmlCharacter(text);
    if (at < 0)
        return QString();
    return QCoreApplication::translate("Velmora::Editors",
                                       "The name holds the character %1, which a zone file cannot carry.")
        .arg(codeOf(text.at(at)));
}

QString withCodesShown(const QString& text)
{
    QString shown;
    QString rest = text;
    for (int at = Xml::firstNonXmlCharacter(rest); at >= 0; at = Xml::firstNonXmlCharacter(rest)) {
        shown += rest.left(at) + QLatin1Char('[') + codeOf(rest.at(at)) + QLatin1Char(']');
        rest = rest.mid(at + 1);
    }
    return shown + rest;
}

bool markName(QLineEdit* field)
{
    const QString reason = unwritableReason(field->text());
    const bool fault = field->text().isEmpty() || !reason.isEmpty();
    markField(field, fault);
    field->setToolTip(reason);
    if (!reason.isEmpty())
        QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), reason, field);
    return fault;
}

QComboBox* openDayCardChooser(QTableWidget* week, QTableWidgetItem* cell, const QListWidget* cards)
{
    auto* editor = new QComboBox;
    setEditedCell(editor, cell);
    for (int row = 0; row < cards->count(); ++row)
        editor->addItem(cards->item(row)->text());
    // The cell's card, or none: adding the first entry made that one current.
    editor->setCurrentIndex(editor->findText(cell->text(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    week->setCellWidget(cell->row(), cell->column(), editor);
    editor->setFocus();
    return editor;
}

void removeCellEditor(QTableWidget* table, const QTableWidgetItem* cell)
{
    if (cell && table->cellWidget(cell->row(), cell->column()))
        table->removeCellWidget(cell->row(), cell->column());
}

void removeRowEditors(QTableWidget* table, int row)
{
    for (int column = 0; column < table->columnCount(); ++column) {
        if (table->cellWidget(row, column))
            table->removeCellWidget(row, column);
    }
}

void setWholeWeek(QTableWidget* week, const QString& card)
{
    removeRowEditors(week, 0);
    for (int day = 0; day < week->columnCount(); ++day) {
        if (QTableWidgetItem* cell = week->item(0, day))
            cell->setText(card);
    }
}

void clearDaysOf(QTableWidget* week, const QString& card)
{
    removeRowEditors(week, 0);
    for (int day = 0; day < week->columnCount(); ++day) {
        QTableWidgetItem* cell = week->item(0, day);
        if (cell && cell->text() == card) {
            cell->setText(QString());
            cell->setData(Qt::UserRole, QVariant());
        }
    }
}

void showListMenu(QListWidget* list, const QPoint& pos)
{
    if (list->selectedItems().isEmpty())
        return;
    QMenu::exec(list->actions(), list->viewport()->mapToGlobal(pos), nullptr, list);
}

void showStoredOutline(GraphicsArea* overlay, const QString& outlineText)
{
    if (!overlay)
        return;
    overlay->setPos(0, 0);
    overlay->setOutlineText(outlineText);
}

} // namespace Editors
} // namespace Velmora
