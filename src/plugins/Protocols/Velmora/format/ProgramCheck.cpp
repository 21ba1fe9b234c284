#include "ProgramCheck.h"

#include "CheckContext.h"
#include "ConfigReader.h"
#include "Vocabulary.h"
#include "XmlText.h"

#include <algorithm>

namespace Velmora {

namespace {

// A decimal integer attribute; false when absent or not one.
bool readNumber(const QDomElement& element, const QString& attribute, int* value)
{
    bool ok = false;
    *value = element.attribute(attribute).trimmed().toInt(&ok);
    return ok;
}

} // namespace

int ProgramCheck::program(const QDomElement& program, const Describe& what)
{
    if (program.isNull())
        return 0;
    int cycle = 0;
    if (!readNumber(program, Xml::cycle_length, &cycle))
        cycle = 0;
    phases(program, what, cycle);
    return cycle;
}

// A phase starts within the cycle, and the phases with their intergreens
// follow each other within one cycle.
void ProgramCheck::phases(const QDomElement& program, const Describe& what, int cycle)
{
    qint64 total = 0;
    int index = 0;
    for (QDomElement p = program.firstChildElement(Xml::Phase); !p.isNull(); p = p.nextSiblingElement(Xml::Phase)) {
        ++index;
        int start = 0;
        int length = 0;
        int full = 0;
        const bool hasFull = readNumber(p, Xml::full_length, &full);
        if (hasFull)
            total += full;
        if (cycle > 0 && readNumber(p, Xml::start, &start) && (start < 0 || start >= cycle))
            m_context->error(p, CheckKind::PhaseOutsideCycle,
                             tr("The program of %1 starts %2 at %3, outside its cycle of %4 (0 to %5).")
                                 .arg(what(), phaseName(p, index))
                                 .arg(start)
                                 .arg(cycle)
                                 .arg(cycle - 1));
        if (hasFull && readNumber(p, Xml::length, &length) && full == length)
            m_context->warning(p, CheckKind::NoIntergreen,
                               tr("In the program of %1, %2 has no intergreen after it: its full length equals its "
                                  "length (%3).")
                                   .arg(what(), phaseName(p, index))
                                   .arg(length));
    }
    if (cycle > 0 && total > cycle)
        m_context->error(program, CheckKind::PhasesOverCycle,
                         tr("The phases of the program of %1 take %2 with their intergreens, more than its cycle "
                            "of %3.")
                             .arg(what())
                             .arg(total)
                             .arg(cycle));
}

QString ProgramCheck::phaseName(const QDomElement& phase, int index)
{
    const QString id = Xml::firstText(phase).trimmed();
    return id.isEmpty() ? tr("phase number %1").arg(index) : tr("phase %1").arg(id);
}

// Coordinated controllers run one cycle or whole multiples of it. Sorted, the
// distinct lengths all divide each other exactly when each divides the next.
void ProgramCheck::mixedCycles(const QDomElement& state, const QString& what, QVector<Cycle> cycles)
{
    std::sort(cycles.begin(), cycles.end(), [](const Cycle& a, const Cycle& b) { return a.length < b.length; });
    for (int i = 1; i < cycles.size(); ++i) {
        const Cycle& shorter = cycles.at(i - 1);
        const Cycle& longer = cycles.at(i);
        if (longer.length % shorter.length != 0) {
            m_context->warning(state, CheckKind::MixedCycles,
                               tr("%1 runs controller %2 on a cycle of %3 and controller %4 on one of %5, which "
                                  "are not whole multiples of each other, so they cannot stay coordinated.")
                                   .arg(what, Config::idText(shorter.controller))
                                   .arg(shorter.length)
                                   .arg(Config::idText(longer.controller))
                                   .arg(longer.length));
            return;
        }
    }
}

} // namespace Velmora
