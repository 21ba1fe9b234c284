#pragma once

#include <QCoreApplication>
#include <QDomElement>
#include <QString>
#include <QVector>

#include <functional>

namespace Velmora {

class CheckContext;

// The signal programs a state gives its controllers: phases that fit their
// cycle, and cycles that let coordinated controllers stay in step.
class ProgramCheck
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    struct Cycle
    {
        int length;
        int controller;
    };

    explicit ProgramCheck(CheckContext* context) : m_context(context) {}

    // Names what runs a program ("controller 5 in state 2 of area 3"), called
    // only for a report: a district runs some hundred thousand programs.
    using Describe = std::function<QString()>;

    // Checks the program's phases; returns its cycle length, 0 when it gives none.
    int program(const QDomElement& program, const Describe& what);
    // `what` names the state whose controllers run `cycles`.
    void mixedCycles(const QDomElement& state, const QString& what, QVector<Cycle> cycles);

private:
    void phases(const QDomElement& program, const Describe& what, int cycle);
    static QString phaseName(const QDomElement& phase, int index);

    CheckContext* m_context;
};

} // namespace Velmora
