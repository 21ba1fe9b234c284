#pragma once

#include <QCoreApplication>
#include <QDomElement>
#include <QString>
#include <QVector>

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

    // Checks the program's phases; returns its cycle length, 0 when it gives none.
    int program(const QDomElement& program, const QString& what);
    // `what` names the state whose controllers run `cycles`.
    void mixedCycles(const QDomElement& state, const QString& what, QVector<Cycle> cycles);

private:
    void phases(const QDomElement& program, const QString& what, int cycle);

    CheckContext* m_context;
};

} // namespace Velmora
