#include "ProgramWindow.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Morvix {

namespace {

enum Column { IdColumn, StartColumn, LengthColumn };

constexpr int LongestCycle = 3600;

QTableWidgetItem* numberItem(int value)
{
    auto* item = new QTableWidgetItem;
    // An int in the edit role gives a spin box as the cell editor.
    item->setData(Qt::EditRole, value);
    return item;
}

int number(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->data(Qt::EditRole).toInt() : 0;
}

} // namespace

ProgramWindow::ProgramWindow(const SpecialProgram& program, int controllerId, const QString& programFile,
                             QWidget* parent)
    : QDialog(parent)
    , m_programFile(programFile)
    , m_cycleLength(new QSpinBox(this))
    , m_cycleShift(new QSpinBox(this))
    , m_phases(new QTableWidget(0, 3, this))
    , m_fault(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(tr("morvix: special program of controller %1").arg(controllerId));
    m_cycleLength->setObjectName(QStringLiteral("cycleLength"));
    m_cycleLength->setRange(1, LongestCycle);
    m_cycleLength->setSuffix(tr(" s"));
    m_cycleShift->setObjectName(QStringLiteral("cycleShift"));
    m_cycleShift->setRange(0, LongestCycle);
    m_cycleShift->setSuffix(tr(" s"));
    m_phases->setObjectName(QStringLiteral("phases"));
    m_phases->setHorizontalHeaderLabels({tr("Phase"), tr("Start, s"), tr("Green, s")});
    m_phases->horizontalHeader()->setStretchLastSection(true);
    m_fault->setObjectName(QStringLiteral("fault"));
    m_fault->setStyleSheet(QStringLiteral("color: red"));
    m_buttons->setObjectName(QStringLiteral("buttonBox"));

    auto* addButton = new QPushButton(tr("Add phase"), this);
    addButton->setObjectName(QStringLiteral("addPhase"));
    auto* removeButton = new QPushButton(tr("Remove phase"), this);
    removeButton->setObjectName(QStringLiteral("removePhase"));

    auto* cycle = new QFormLayout;
    cycle->addRow(tr("Cycle length:"), m_cycleLength);
    cycle->addRow(tr("Cycle shift:"), m_cycleShift);
    auto* phaseButtons = new QHBoxLayout;
    phaseButtons->addWidget(addButton);
    phaseButtons->addWidget(removeButton);
    phaseButtons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(cycle);
    layout->addWidget(m_phases);
    layout->addLayout(phaseButtons);
    layout->addWidget(m_fault);
    layout->addWidget(m_buttons);

    connect(addButton, &QPushButton::clicked, this, &ProgramWindow::addPhase);
    connect(removeButton, &QPushButton::clicked, this, &ProgramWindow::removePhase);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &ProgramWindow::save);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    showProgram(program);
    resize(420, 360);
}

void ProgramWindow::showProgram(const SpecialProgram& program)
{
    m_cycleLength->setValue(program.cycleLength);
    m_cycleShift->setValue(program.cycleShift);
    m_phases->setRowCount(0);
    for (const SpecialProgram::Phase& phase : program.phases) {
        const int row = m_phases->rowCount();
        m_phases->insertRow(row);
        m_phases->setItem(row, IdColumn, numberItem(phase.id));
        m_phases->setItem(row, StartColumn, numberItem(phase.start));
        m_phases->setItem(row, LengthColumn, numberItem(phase.length));
    }
}

SpecialProgram ProgramWindow::program() const
{
    SpecialProgram program;
    program.cycleLength = m_cycleLength->value();
    program.cycleShift = m_cycleShift->value();
    for (int row = 0; row < m_phases->rowCount(); ++row) {
        SpecialProgram::Phase phase;
        phase.id = number(m_phases, row, IdColumn);
        phase.start = number(m_phases, row, StartColumn);
        phase.length = number(m_phases, row, LengthColumn);
        program.phases.append(phase);
    }
    if (!program.phases.isEmpty())
        program.updateFullLengths();
    return program;
}

void ProgramWindow::addPhase()
{
    int id = 0;
    int end = 0;
    for (int row = 0; row < m_phases->rowCount(); ++row) {
        id = qMax(id, number(m_phases, row, IdColumn));
        end = qMax(end, number(m_phases, row, StartColumn) + number(m_phases, row, LengthColumn));
    }
    const int row = m_phases->rowCount();
    m_phases->insertRow(row);
    m_phases->setItem(row, IdColumn, numberItem(id + 1));
    m_phases->setItem(row, StartColumn, numberItem(end));
    m_phases->setItem(row, LengthColumn, numberItem(10));
    m_phases->setCurrentCell(row, LengthColumn);
}

void ProgramWindow::removePhase()
{
    const int row = m_phases->currentRow();
    if (row >= 0)
        m_phases->removeRow(row);
}

void ProgramWindow::markFault(int phase, const QString& text)
{
    for (int row = 0; row < m_phases->rowCount(); ++row) {
        for (int column = 0; column < m_phases->columnCount(); ++column) {
            if (QTableWidgetItem* item = m_phases->item(row, column))
                item->setBackground(row == phase ? QBrush(Qt::red) : QBrush());
        }
    }
    m_fault->setText(text);
}

void ProgramWindow::save()
{
    const SpecialProgram edited = program();
    int badPhase = -1;
    const QString fault = edited.fault(&badPhase);
    markFault(badPhase, fault);
    if (!fault.isEmpty())
        return;
    QFile file(m_programFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(edited.toXml()) < 0) {
        m_fault->setText(tr("Cannot write %1: %2").arg(m_programFile, file.errorString()));
        return;
    }
    file.close();
    accept();
}

} // namespace Morvix
