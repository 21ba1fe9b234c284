#include "DomMetaType.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QVariant>

#include "format/Vocabulary.h"
#include "format/XmlText.h"
#include "graphics/GraphicsArea.h"

namespace Velmora {
namespace Editors {

int registerDomElementType()
{
    static const int id = qRegisterMetaType<QDomElement>("QDomElement");
    return id;
}

void markCell(QTableWidgetItem* cell, bool fault, const QString& reason)
{
    cell->setBackground(fault ? QBrush(Qt::red) : QBrush());
    cell->setToolTip(fault ? reason : QString());
}

void markField(QWidget* field, bool fault, const QString& reason)
{
    field->setToolTip(fault ? reason : QString());
    if (!fault) {
        field->setPalette(QPalette());
        return;
    }
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::red);
    field->setPalette(palette);
}

QLabel* addReasonLine(QVBoxLayout* layout, int index)
{
    auto* line = new QLabel(layout->parentWidget());
    line->setObjectName(QStringLiteral("reason"));
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    line->setPalette(palette);
    // A long line is cut rather than widening the dialog; its tool tip holds it whole.
    line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    line->hide();
    layout->insertWidget(index, line);
    return line;
}

void showReasons(QLabel* line, const QStringList& reasons)
{
    line->setText(reasons.join(QStringLiteral("; ")));
    line->setToolTip(line->text());
    line->setVisible(!reasons.isEmpty());
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

bool markName(QLineEdit* field, const QString& emptyReason, QString* reason)
{
    const QString unwritable = unwritableReason(field->text());
    const QString why = field->text().isEmpty() ? emptyReason : unwritable;
    const bool fault = field->text().isEmpty() || !unwritable.isEmpty();
    markField(field, fault, why);
    if (!unwritable.isEmpty())
        QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), unwritable, field);
    if (reason)
        *reason = why;
    return fault;
}

QString dayCardText(const QDomElement& card, const QDomElement& choices, const QString& idAttribute)
{
    QStringList entries;
    for (QDomElement time = card.firstChildElement(Xml::Time); !time.isNull(); time = time.nextSiblingElement(Xml::Time)) {
        const QString id = time.attribute(idAttribute);
        QString name = id;
        for (QDomElement choice = choices.firstChildElement(); !choice.isNull(); choice = choice.nextSiblingElement()) {
            if (choice.attribute(Xml::id) == id) {
                name = choice.attribute(Xml::name);
                break;
            }
        }
        entries << Xml::firstText(time) + QLatin1Char(' ') + name;
    }
    return entries.join(QStringLiteral(", "));
}

void removeCellEditor(QTableWidget* table, const QTableWidgetItem* cell)
{
    if (cell && table->cellWidget(cell->row(), cell->column()))
        table->removeCellWidget(cell->row(), cell->column());
}

QString markEmptyDays(QTableWidget* week)
{
    QStringList days;
    for (int day = 0; day < week->columnCount(); ++day) {
        QTableWidgetItem* cell = week->item(0, day);
        if (!cell)
            continue;
        const QTableWidgetItem* header = week->horizontalHeaderItem(day);
        const QString name = header ? header->text() : QString::number(day + 1);
        const bool empty = cell->text().isEmpty();
        markCell(cell, empty, QCoreApplication::translate("Velmora::Editors", "%1 has no day card").arg(name));
        if (empty)
            days << name;
    }
    if (days.size() < 2)
        return days.isEmpty() ? QString() : QCoreApplication::translate("Velmora::Editors", "%1 has no day card").arg(days.first());
    return QCoreApplication::translate("Velmora::Editors", "%1 have no day card").arg(days.join(QStringLiteral(", ")));
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
