#include "InputMarks.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "format/XmlText.h"

namespace Velmora {
namespace Editors {

namespace {

QString codeOf(QChar character)
{
    return QStringLiteral("U+%1").arg(character.unicode(), 4, 16, QLatin1Char('0')).toUpper();
}

// Why `text` cannot go into a zone file (a character XML cannot carry), or
// empty when it can.
QString unwritableReason(const QString& text)
{
    const int at = Xml::firstNonXmlCharacter(text);
    if (at < 0)
        return QString();
    return QCoreApplication::translate("Velmora::Editors",
                                       "The name holds the character %1, which a zone file cannot carry.")
        .arg(codeOf(text.at(at)));
}

} // namespace

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

} // namespace Editors
} // namespace Velmora
