#include "StrategyTable.h"

#include <QAction>
#include <QPushButton>
#include <QTableWidget>

#include "DescribedItem.h"
#include "DomMetaType.h"
#include "InputMarks.h"
#include "format/ConfigReader.h"
#include "format/Vocabulary.h"

namespace Velmora {
namespace Editors {

StrategyTable::StrategyTable(QTableWidget* table, QPushButton* add, QPushButton* remove)
    : QObject(table)
    , m_table(table)
{
    for (QPushButton* button : {add, remove}) {
        auto* action = new QAction(button->icon(), button->text(), table);
        connect(action, &QAction::triggered, button, &QPushButton::clicked);
        table->addAction(action);
    }
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void StrategyTable::fill(const QDomElement& strategies)
{
    for (QDomElement strategy = strategies.firstChildElement(Xml::Strategy); !strategy.isNull();
         strategy = strategy.nextSiblingElement(Xml::Strategy))
        addRow(strategy);
    m_table->resizeColumnsToContents();
}

void StrategyTable::addRow(const QDomElement& strategy, int row)
{
    if (row < 0)
        row = m_table->rowCount();
    m_table->insertRow(row);
    auto* idCell = new QTableWidgetItem(strategy.attribute(Xml::id));
    idCell->setData(Qt::UserRole, QVariant::fromValue(strategy));
    m_table->setItem(row, IdColumn, idCell);
    m_table->setItem(row, NameColumn, new QTableWidgetItem(strategy.attribute(Xml::name)));
    auto* defaultCell = new DescribedItem([](const QTableWidgetItem& cell) {
        return cell.data(Qt::EditRole).toBool() ? tr("The zone's default strategy") : tr("Not the default strategy");
    });
    defaultCell->setData(Qt::EditRole, Config::isDefault(strategy));
    m_table->setItem(row, DefaultColumn, defaultCell);
}

int StrategyTable::rowCount() const
{
    return m_table->rowCount();
}

QDomElement StrategyTable::elementAt(int row) const
{
    const QTableWidgetItem* cell = m_table->item(row, IdColumn);
    return cell ? cell->data(Qt::UserRole).value<QDomElement>() : QDomElement();
}

bool StrategyTable::isDefaultRow(int row) const
{
    const QTableWidgetItem* cell = m_table->item(row, DefaultColumn);
    return cell && cell->data(Qt::EditRole).toBool();
}

void StrategyTable::replace(int row, const QDomElement& strategy)
{
    if (QTableWidgetItem* idCell = m_table->item(row, IdColumn)) {
        idCell->setData(Qt::UserRole, QVariant::fromValue(strategy));
        idCell->setText(strategy.attribute(Xml::id));
    }
    if (QTableWidgetItem* nameCell = m_table->item(row, NameColumn))
        nameCell->setText(strategy.attribute(Xml::name));
}

void StrategyTable::makeDefault(int row)
{
    if (QTableWidgetItem* clicked = m_table->item(row, DefaultColumn))
        clicked->setData(Qt::EditRole, !clicked->data(Qt::EditRole).toBool());
    for (int other = 0; other < m_table->rowCount(); ++other) {
        QDomElement strategy = elementAt(other);
        if (other == row) {
            strategy.setAttribute(Xml::default_, 1);
            continue;
        }
        if (QTableWidgetItem* cell = m_table->item(other, DefaultColumn))
            cell->setData(Qt::EditRole, false);
        strategy.removeAttribute(Xml::default_);
    }
}

void StrategyTable::forget(const QList<QDomElement>& strategies)
{
    for (int row = m_table->rowCount() - 1; row >= 0; --row) {
        if (strategies.contains(elementAt(row)))
            m_table->removeRow(row);
    }
}

void StrategyTable::selectStrategy(const QString& id)
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, IdColumn) && m_table->item(row, IdColumn)->text() == id) {
            m_table->selectRow(row);
            return;
        }
    }
}

QStringList StrategyTable::markFaults()
{
    const bool empty = m_table->rowCount() == 0;
    markField(m_table, empty, tr("No strategy"));
    if (empty)
        return {tr("No strategy")};
    bool anyDefault = false;
    for (int row = 0; row < m_table->rowCount(); ++row)
        anyDefault = anyDefault || isDefaultRow(row);
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (QTableWidgetItem* cell = m_table->item(row, DefaultColumn))
            markCell(cell, !anyDefault, tr("No default strategy"));
    }
    return anyDefault ? QStringList() : QStringList{tr("No default strategy")};
}

} // namespace Editors
} // namespace Velmora
