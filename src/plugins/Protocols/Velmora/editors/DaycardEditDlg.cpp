#include "DaycardEditDlg.h"
#include "ui_DaycardEditDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QLabel>
#include <QPalette>
#include <QSignalBlocker>
#include <QTime>
#include <QTimeEdit>

#include "CellEditors.h"
#include "DomMetaType.h"
#include "InputMarks.h"
#include "Refusal.h"
#include "TableKeys.h"
#include "format/Vocabulary.h"
#include "format/XmlText.h"

namespace Xml = Velmora::Xml;
using Velmora::Editors::markCell;
using Velmora::Editors::markField;

namespace {

const QString timeFormat = QStringLiteral("hh:mm");

} // namespace

DaycardEditDlg::DaycardEditDlg(QDomElement choices, QDomElement dayCard, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DaycardEditDlg)
{
    Velmora::Editors::registerDomElementType();
    ui->setupUi(this);
    m_cellEditors = new Velmora::Editors::CellEditors(ui->timeData);

    m_document = choices.ownerDocument();
    m_stateChoices = choices.tagName() == Xml::States;
    if (m_stateChoices)
        ui->timeData->horizontalHeaderItem(1)->setText(tr("State"));
    m_cardId = dayCard.attribute(Xml::id);

    const QString choiceTag = m_stateChoices ? QString(Xml::State) : QString(Xml::Strategy);
    for (QDomElement choice = choices.firstChildElement(choiceTag); !choice.isNull();
         choice = choice.nextSiblingElement(choiceTag)) {
        const QString id = choice.attribute(Xml::id);
        m_choices.insert(id, id + QStringLiteral(" (") + choice.attribute(Xml::name) + QStringLiteral(")"));
    }

    // Rows go in unsorted; with sorting on, each insert would move the row
    // before its second cell is set.
    QTableWidget* table = ui->timeData;
    table->setSortingEnabled(false);
    const QString reference = referenceAttribute();
    for (QDomElement time = dayCard.firstChildElement(Xml::Time); !time.isNull();
         time = time.nextSiblingElement(Xml::Time)) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(Xml::firstText(time)));
        const QString id = time.attribute(reference);
        auto* choice = new QTableWidgetItem(m_choices.value(id, id));
        choice->setData(Qt::UserRole, id);
        markCell(choice, !m_choices.contains(id), missingChoiceReason(row, id));
        table->setItem(row, 1, choice);
    }
    // A day reads from morning to night.
    table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    table->resizeColumnToContents(1);
    m_reason = Velmora::Editors::addReasonLine(ui->mainLayout, ui->mainLayout->indexOf(ui->buttonBox));
    m_refusal = new Velmora::Editors::Refusal(m_reason, [this] { return markFaults(); }, this);
    m_refusal->follow(ui->timeData, &QTableWidget::itemChanged);
    m_refusal->follow(ui->timeData->model(), &QAbstractItemModel::rowsRemoved);
    m_refusal->follow(ui->timeData->model(), &QAbstractItemModel::rowsInserted);
    new Velmora::Editors::TableKeys(this, ui->buttonBox);
}

QString DaycardEditDlg::missingChoiceReason(int row, const QString& id) const
{
    if (id.isEmpty())
        return m_stateChoices ? tr("Row %1 has no state").arg(row + 1) : tr("Row %1 has no strategy").arg(row + 1);
    return m_stateChoices ? tr("Row %1: there is no state %2").arg(row + 1).arg(id)
                          : tr("Row %1: there is no strategy %2").arg(row + 1).arg(id);
}

DaycardEditDlg::~DaycardEditDlg()
{
    delete ui;
}

QString DaycardEditDlg::referenceAttribute() const
{
    return m_stateChoices ? QString(Xml::state_id) : QString(Xml::strategy_id);
}

QDomElement DaycardEditDlg::dayCardElement(QDomDocument doc)
{
    // An element made by a null document would belong to a document that dies
    // on return; the choices' document outlives it.
    if (doc.isNull())
        doc = m_document;
    QDomElement card = doc.createElement(Xml::DayCard);
    if (!m_cardId.isEmpty())
        card.setAttribute(Xml::id, m_cardId);
    const QString reference = referenceAttribute();
    const QTableWidget* table = ui->timeData;
    for (int row = 0; row < table->rowCount(); ++row) {
        QDomElement time = doc.createElement(Xml::Time);
        const QTableWidgetItem* timeCell = table->item(row, 0);
        const QTableWidgetItem* choiceCell = table->item(row, 1);
        time.setAttribute(reference, choiceCell ? choiceCell->data(Qt::UserRole).toString() : QString());
        time.appendChild(doc.createTextNode(timeCell ? timeCell->text() : QString()));
        card.appendChild(time);
    }
    return card;
}

bool DaycardEditDlg::validate()
{
    return m_refusal->check();
}

QStringList DaycardEditDlg::markFaults()
{
    // Marks change the cells; that is no edit to check again.
    const QSignalBlocker blocker(ui->timeData);
    QStringList reasons;
    QTableWidget* table = ui->timeData;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (QTableWidgetItem* timeCell = table->item(row, 0)) {
            const bool fault = QTime::fromString(timeCell->text(), timeFormat).isNull();
            const QString reason = tr("Row %1: \"%2\" is no time of day").arg(row + 1).arg(timeCell->text());
            markCell(timeCell, fault, reason);
            if (fault)
                reasons << reason;
        }
        if (QTableWidgetItem* choiceCell = table->item(row, 1)) {
            const QString id = choiceCell->data(Qt::UserRole).toString();
            const bool fault = !m_choices.contains(id);
            markCell(choiceCell, fault, missingChoiceReason(row, id));
            if (fault)
                reasons << missingChoiceReason(row, id);
        }
    }
    const QString empty = tr("The card has no switching points");
    markField(table, table->rowCount() == 0, empty);
    if (table->rowCount() == 0)
        reasons << empty;
    return reasons;
}

void DaycardEditDlg::closeCellEditors()
{
    m_cellEditors->closeAll();
    ui->timeData->setCurrentItem(nullptr);
}

void DaycardEditDlg::hideButtonBox()
{
    ui->buttonBox->hide();
}

void DaycardEditDlg::passKeyOn(QKeyEvent* event)
{
    if (isWindow())
        QDialog::keyPressEvent(event);
    else
        event->ignore(); // embedded: the window around us decides
}

void DaycardEditDlg::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool isReturn = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (key != Qt::Key_Escape && !isReturn) {
        passKeyOn(event);
        return;
    }
    if (QWidget* editor = m_cellEditors->focused()) {
        // The key ends the open cell editor only. Taken here, so that neither
        // this dialog nor a dialog embedding it closes.
        m_cellEditors->close(editor);
        ui->timeData->setFocus();
        event->accept();
        return;
    }
    if (isReturn && !validate()) {
        event->accept();
        return;
    }
    passKeyOn(event);
}

void DaycardEditDlg::on_timeData_itemDoubleClicked(QTableWidgetItem* item)
{
    if (!item)
        return;
    if (item->column() == 0) {
        auto* editor = new QTimeEdit;
        editor->setDisplayFormat(timeFormat);
        editor->setTime(QTime::fromString(item->text(), timeFormat));
        m_cellEditors->open(item, editor);
        connect(editor, &QTimeEdit::timeChanged, this,
                QOverload<QTime>::of(&DaycardEditDlg::dcCellEditComplete));
    } else if (item->column() == 1) {
        auto* editor = new QComboBox;
        for (auto it = m_choices.cbegin(); it != m_choices.cend(); ++it)
            editor->addItem(it.value(), it.key());
        editor->setCurrentIndex(editor->findText(item->text(), Qt::MatchExactly | Qt::MatchCaseSensitive));
        m_cellEditors->open(item, editor);
        connect(editor, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                QOverload<int>::of(&DaycardEditDlg::dcCellEditComplete));
    }
}

void DaycardEditDlg::dcCellEditComplete(QTime time)
{
    if (QTableWidgetItem* cell = m_cellEditors->cellOf(sender()))
        cell->setText(QLocale::c().toString(time, timeFormat)); // the file's digits, not the user's
}

void DaycardEditDlg::dcCellEditComplete(int index)
{
    m_cellEditors->takeChoice(qobject_cast<QComboBox*>(sender()), index);
}

void DaycardEditDlg::on_timeData_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous)
{
    Q_UNUSED(current);
    m_cellEditors->close(previous);
}

void DaycardEditDlg::on_addCard_clicked()
{
    QTableWidget* table = ui->timeData;
    table->setSortingEnabled(false);
    const int row = table->rowCount();
    table->insertRow(row);
    auto* timeCell = new QTableWidgetItem(QStringLiteral("00:00"));
    table->setItem(row, 0, timeCell);
    table->setItem(row, 1, new QTableWidgetItem);
    table->setCurrentItem(timeCell);
    on_timeData_itemDoubleClicked(timeCell);
    table->setSortingEnabled(true);
}

void DaycardEditDlg::on_delCard_clicked()
{
    QTableWidget* table = ui->timeData;
    for (QList<QTableWidgetItem*> selected = table->selectedItems(); !selected.isEmpty();
         selected = table->selectedItems())
        table->removeRow(selected.first()->row());
}

void DaycardEditDlg::on_buttonBox_accepted()
{
    closeCellEditors();
    if (validate())
        accept();
}
