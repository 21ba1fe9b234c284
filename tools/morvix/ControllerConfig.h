#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace Morvix {

// A controller's configuration as the storage service keeps it: plain text,
// one setting a line, '#' starts a comment line. The lines morvix reads:
//
//   controller 101
//   intergreen 4 3 4 3                    seconds after each phase's green
//   program 1 cycle 75 greens 12 15 18 14 [offset 10]
//   program 3 cycle 0 flash yellow
//
// A program line gives the signal program's id, its cycle length and either
// the green time of each phase in order (phase ids 1, 2, ...), or "flash" and
// a colour for a program without phases. Other lines (model, address, phases,
// yellow, all-red, detectors, fallback, ...) belong to the controller and are
// kept by the storage service; morvix passes over them.
struct SignalProgram
{
    int id = 0;
    int cycle = 0;
    int offset = 0;
    QList<int> greens; // empty for a flashing program
    QString flash;     // the colour of a flashing program

    bool hasPhases() const { return !greens.isEmpty(); }
};

struct ControllerConfig
{
    int controllerId = -1; // -1 when the text names none
    QList<int> intergreens;
    QList<SignalProgram> programs; // in the order of the text

    // False with `error` set ("line 4: ...") when a line morvix reads is
    // malformed or a program id repeats.
    static bool parse(const QByteArray& text, ControllerConfig* config, QString* error);

    const SignalProgram* program(int id) const;
    // The first program that has phases, or null.
    const SignalProgram* firstPhasedProgram() const;
    QStringList programIds() const;
    int intergreen(int phaseIndex) const;
};

} // namespace Morvix
