#pragma once

#include <QDialog>
#include <QString>

#include "SpecialProgram.h"

class QDialogButtonBox;
class QLabel;
class QSpinBox;
class QTableWidget;

namespace Morvix {

// Edits one special program: cycle length and shift, and the phases with
// their start second and green time. Save writes the program to the file and
// closes; Cancel closes and leaves the file as it was.
class ProgramWindow : public QDialog
{
    Q_OBJECT

public:
    ProgramWindow(const SpecialProgram& program, int controllerId, const QString& programFile,
                  QWidget* parent = nullptr);

    // The program as the form shows it, full lengths recomputed.
    SpecialProgram program() const;

private slots:
    void addPhase();
    void removePhase();
    void save();

private:
    void showProgram(const SpecialProgram& program);
    void markFault(int phase, const QString& text);

    QString m_programFile;
    QSpinBox* m_cycleLength;
    QSpinBox* m_cycleShift;
    QTableWidget* m_phases;
    QLabel* m_fault;
    QDialogButtonBox* m_buttons;
};

} // namespace Morvix
