#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace Morvix {

struct ControllerConfig;
struct SignalProgram;

// A special program as the zone configuration keeps it: a Program element
// with the attributes type, cycle_length and cycle_shift, the phase ids
// comma-separated as its text, and one Phase child per phase (attributes
// start, length, full_length; text the phase id).
struct SpecialProgram
{
    struct Phase
    {
        int id = 0;
        int start = 0;      // second of the cycle the phase begins
        int length = 0;     // its green time
        int fullLength = 0; // green plus the change to the next phase
    };

    int type = 2;
    int cycleLength = 0;
    int cycleShift = 0;
    QList<Phase> phases;

    // Reads a Program element (a root named Controller is read the same way).
    static bool fromXml(const QByteArray& xml, SpecialProgram* program, QString* error);
    // The signal program's phases one after the other from second 0, each
    // followed by its intergreen; the last one runs to the end of the cycle.
    static SpecialProgram fromSignalProgram(const SignalProgram& signal, const ControllerConfig& config);

    QByteArray toXml() const;
    // Full lengths from the starts: up to the next phase, the last one round
    // the end of the cycle to the first.
    void updateFullLengths();
    // An empty text when the program can be run; which phase is wrong
    // otherwise (index in `badPhase`, -1 for the cycle itself).
    QString fault(int* badPhase = nullptr) const;
};

} // namespace Morvix
