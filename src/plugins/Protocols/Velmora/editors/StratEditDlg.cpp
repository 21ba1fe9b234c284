#include "StratEditDlg.h"
#include "ui_StratEditDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextStream>

#include "DescribedItem.h"
#include "DomMetaType.h"
#include "CellEditors.h"
#include "InputMarks.h"
#include "Refusal.h"
#include "IdField.h"
#include "TableKeys.h"
#include "Logging.h"
#include "format/Vocabulary.h"

namespace Xml = Velmora::Xml;
using Velmora::Editors::markCell;
using Velmora::Editors::markField;

namespace {

enum Column { AreaColumn = 0, UsedColumn = 1, SourceColumn = 2 };

} // namespace

StratEditDlg::StratEditDlg(QDomElement areas, QDomElement strategies, QDomElement strategy, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::StratEditDlg)
{
    Velmora::Editors::registerDomElementType();
    ui->setupUi(this);
    m_cellEditors = new Velmora::Editors::CellEditors(ui->areas);
    m_document = strategies.isNull() ? areas.ownerDocument() : strategies.ownerDocument();
    m_controlSources.insert(QStringLiteral("1"), tr("calendar"));
    m_controlSources.insert(QStringLiteral("2"), tr("adaptive system"));
    m_controlSources.insert(QStringLiteral("3"), tr("local control"));

    m_id = new Velmora::Editors::IdField(ui->stratId);
    const QString ownId = strategy.attribute(Xml::id);
    m_otherIds = Velmora::Editors::siblingIds(strategies, Xml::Strategy, ownId);
    if (ownId.isEmpty())
        m_id->setId(Velmora::Editors::nextId(m_otherIds));
    else
        m_id->setId(ownId);
    ui->stratName->setText(strategy.attribute(Xml::name));

    QMap<QString, QString> sourceOfArea;
    for (QDomElement use = strategy.firstChildElement(Xml::Area); !use.isNull(); use = use.nextSiblingElement(Xml::Area))
        sourceOfArea.insert(use.attribute(Xml::id), use.attribute(Xml::control_source));

    QTableWidget* table = ui->areas;
    for (QDomElement area = areas.firstChildElement(Xml::Area); !area.isNull(); area = area.nextSiblingElement(Xml::Area)) {
        const QString id = area.attribute(Xml::id);
        const QString source = sourceOfArea.value(id);
        const int row = table->rowCount();
        table->insertRow(row);
        auto* areaCell = new QTableWidgetItem(id + QStringLiteral(" (") + area.attribute(Xml::name) + QStringLiteral(")"));
        areaCell->setData(Qt::UserRole, id);
        table->setItem(row, AreaColumn, areaCell);
        auto* usedCell = new Velmora::Editors::DescribedItem([id](const QTableWidgetItem& cell) {
            return cell.data(Qt::EditRole).toBool() ? tr("This strategy drives area %1").arg(id)
                                                    : tr("This strategy leaves area %1 alone").arg(id);
        });
        usedCell->setData(Qt::EditRole, !source.isEmpty());
        table->setItem(row, UsedColumn, usedCell);
        auto* sourceCell = new QTableWidgetItem(sourceName(source));
        sourceCell->setData(Qt::UserRole, source);
        table->setItem(row, SourceColumn, sourceCell);
    }
    table->resizeColumnsToContents();
    m_reason = Velmora::Editors::addReasonLine(ui->mainLayout, ui->mainLayout->indexOf(ui->buttonBox));
    m_refusal = new Velmora::Editors::Refusal(m_reason, [this] { return markFaults(); }, this);
    m_refusal->follow(ui->stratId, &QSpinBox::textChanged);
    m_refusal->follow(ui->stratName, &QLineEdit::textChanged);
    m_refusal->follow(ui->areas, &QTableWidget::itemChanged);
    new Velmora::Editors::TableKeys(this, ui->buttonBox);
}

StratEditDlg::~StratEditDlg()
{
    delete ui;
}

QString StratEditDlg::sourceName(const QString& value) const
{
    return m_controlSources.value(value, value);
}

QDomElement StratEditDlg::strategyElement(QDomDocument doc)
{
    // An element made by a null document would belong to a document that dies
    // on return; the zone's document outlives it.
    if (doc.isNull())
        doc = m_document;
    QDomElement strategy = doc.createElement(Xml::Strategy);
    strategy.setAttribute(Xml::id, m_id->text());
    strategy.setAttribute(Xml::name, ui->stratName->text());
    const QTableWidget* table = ui->areas;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (!table->item(row, UsedColumn)->data(Qt::EditRole).toBool())
            continue;
        QDomElement use = doc.createElement(Xml::Area);
        use.setAttribute(Xml::id, table->item(row, AreaColumn)->data(Qt::UserRole).toString());
        use.setAttribute(Xml::control_source, table->item(row, SourceColumn)->data(Qt::UserRole).toString());
        strategy.appendChild(use);
    }
    QString xml;
    QTextStream stream(&xml);
    strategy.save(stream, 4);
    qCDebug(Velmora::lcEdit).noquote() << "Strategy built:" << xml.trimmed();
    return strategy;
}

void StratEditDlg::on_areas_itemDoubleClicked(QTableWidgetItem* item)
{
    if (!item)
        return;
    QTableWidget* table = ui->areas;
    const int row = item->row();
    if (item->column() == UsedColumn) {
        const bool used = !item->data(Qt::EditRole).toBool();
        item->setData(Qt::EditRole, used);
        // The stored source outlives an unticked row; ticking it again shows
        // what would be written, rather than an empty cell.
        QTableWidgetItem* sourceCell = table->item(row, SourceColumn);
        sourceCell->setText(used ? sourceName(sourceCell->data(Qt::UserRole).toString()) : QString());
    } else if (item->column() == SourceColumn) {
        auto* editor = new QComboBox;
        for (auto it = m_controlSources.cbegin(); it != m_controlSources.cend(); ++it)
            editor->addItem(it.value(), it.key());
        editor->setCurrentIndex(editor->findText(item->text(), Qt::MatchExactly | Qt::MatchCaseSensitive));
        m_cellEditors->open(item, editor);
        connect(editor, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &StratEditDlg::csCellEditComplete);
    }
}

void StratEditDlg::csCellEditComplete(int index)
{
    if (QTableWidgetItem* cell = m_cellEditors->takeChoice(qobject_cast<QComboBox*>(sender()), index))
        ui->areas->item(cell->row(), UsedColumn)->setData(Qt::EditRole, true);
}

void StratEditDlg::on_areas_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous)
{
    Q_UNUSED(current);
    m_cellEditors->close(previous);
}

void StratEditDlg::on_buttonBox_accepted()
{
    const bool accepted = m_refusal->check();
    // So that the colours show.
    ui->areas->setCurrentItem(nullptr);
    if (accepted)
        accept();
}

QStringList StratEditDlg::markFaults()
{
    // Marks change the cells; that is no edit to check again.
    const QSignalBlocker blocker(ui->areas);
    QStringList reasons;
    bool anyUsed = false;
    QTableWidget* table = ui->areas;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem* usedCell = table->item(row, UsedColumn);
        QTableWidgetItem* sourceCell = table->item(row, SourceColumn);
        markCell(usedCell, false);
        const bool used = usedCell->data(Qt::EditRole).toBool();
        const bool fault = used && !m_controlSources.contains(sourceCell->data(Qt::UserRole).toString());
        const QString reason = tr("Area %1 has no known control source").arg(table->item(row, AreaColumn)->text());
        markCell(sourceCell, fault, reason);
        if (fault)
            reasons << reason;
        anyUsed = anyUsed || used;
    }
    if (!anyUsed) {
        const QString reason = tr("The strategy uses no area");
        for (int row = 0; row < table->rowCount(); ++row)
            markCell(table->item(row, UsedColumn), true, reason);
        // A zone without areas has no cell to colour; the empty table shows why.
        markField(table, table->rowCount() == 0, reason);
        reasons << reason;
    } else {
        markField(table, false);
    }
    const bool idTaken = m_otherIds.contains(m_id->id());
    const QString taken = tr("Another strategy of the zone has the id %1").arg(m_id->text());
    markField(ui->stratId, idTaken, taken);
    if (idTaken)
        reasons << taken;
    QString reason;
    if (Velmora::Editors::markName(ui->stratName, tr("The strategy has no name"), &reason))
        reasons << reason;
    return reasons;
}
