#include "SpecialProgram.h"

#include <QDomDocument>
#include <QDomElement>
#include <QSet>
#include <QStringList>

#include "ControllerConfig.h"
#include "Velmora/format/XmlDocument.h"

namespace Morvix {

namespace {

bool readNumber(const QDomElement& element, const QString& name, int* value, QString* error)
{
    bool ok = false;
    *value = element.attribute(name).toInt(&ok);
    if (ok && *value >= 0)
        return true;
    *error = QStringLiteral("line %1: %2 has no valid '%3'").arg(element.lineNumber()).arg(element.tagName(), name);
    return false;
}

} // namespace

bool SpecialProgram::fromXml(const QByteArray& xml, SpecialProgram* program, QString* error)
{
    QDomDocument doc;
    Velmora::Xml::ReadError failure;
    if (!Velmora::Xml::parseDocument(xml, &doc, &failure)) {
        *error = QStringLiteral("line %1: %2").arg(failure.line).arg(failure.message);
        return false;
    }
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("Program") && root.tagName() != QLatin1String("Controller")) {
        *error = QStringLiteral("expected a Program element, found %1").arg(root.tagName());
        return false;
    }
    SpecialProgram result;
    if (!readNumber(root, QStringLiteral("type"), &result.type, error) ||
        !readNumber(root, QStringLiteral("cycle_length"), &result.cycleLength, error))
        return false;
    if (root.hasAttribute(QStringLiteral("cycle_shift")) &&
        !readNumber(root, QStringLiteral("cycle_shift"), &result.cycleShift, error))
        return false;
    for (QDomElement element = root.firstChildElement(QStringLiteral("Phase")); !element.isNull();
         element = element.nextSiblingElement(QStringLiteral("Phase"))) {
        Phase phase;
        bool ok = false;
        phase.id = element.text().trimmed().toInt(&ok);
        if (!ok || phase.id <= 0) {
            *error = QStringLiteral("line %1: Phase has no valid id").arg(element.lineNumber());
            return false;
        }
        if (!readNumber(element, QStringLiteral("start"), &phase.start, error) ||
            !readNumber(element, QStringLiteral("length"), &phase.length, error) ||
            !readNumber(element, QStringLiteral("full_length"), &phase.fullLength, error))
            return false;
        result.phases.append(phase);
    }
    *program = result;
    return true;
}

SpecialProgram SpecialProgram::fromSignalProgram(const SignalProgram& signal, const ControllerConfig& config)
{
    SpecialProgram program;
    program.cycleLength = signal.cycle;
    program.cycleShift = signal.offset;
    int start = 0;
    for (int index = 0; index < signal.greens.size(); ++index) {
        Phase phase;
        phase.id = index + 1;
        phase.start = start;
        phase.length = signal.greens.at(index);
        phase.fullLength = phase.length + config.intergreen(index);
        start += phase.fullLength;
        program.phases.append(phase);
    }
    // The configured cycle is the truth: the last phase takes up what is left,
    // never less than its green.
    if (!program.phases.isEmpty()) {
        Phase& last = program.phases.last();
        last.fullLength = qMax(last.length, program.cycleLength - last.start);
    }
    return program;
}

QByteArray SpecialProgram::toXml() const
{
    QDomDocument doc;
    QDomElement root = doc.createElement(QStringLiteral("Program"));
    root.setAttribute(QStringLiteral("type"), type);
    root.setAttribute(QStringLiteral("cycle_length"), cycleLength);
    root.setAttribute(QStringLiteral("cycle_shift"), cycleShift);
    QStringList ids;
    for (const Phase& phase : phases)
        ids.append(QString::number(phase.id));
    root.appendChild(doc.createTextNode(ids.join(QLatin1Char(','))));
    for (const Phase& phase : phases) {
        QDomElement element = doc.createElement(QStringLiteral("Phase"));
        element.setAttribute(QStringLiteral("start"), phase.start);
        element.setAttribute(QStringLiteral("length"), phase.length);
        element.setAttribute(QStringLiteral("full_length"), phase.fullLength);
        element.appendChild(doc.createTextNode(QString::number(phase.id)));
        root.appendChild(element);
    }
    doc.appendChild(root);
    return doc.toByteArray(-1);
}

void SpecialProgram::updateFullLengths()
{
    for (int index = 0; index < phases.size(); ++index) {
        const int next = index + 1 < phases.size() ? phases.at(index + 1).start
                                                   : cycleLength + phases.first().start;
        phases[index].fullLength = next - phases.at(index).start;
    }
}

QString SpecialProgram::fault(int* badPhase) const
{
    int bad = -1;
    QString text;
    if (cycleLength <= 0) {
        text = QStringLiteral("The cycle length must be positive.");
    } else if (phases.isEmpty()) {
        text = QStringLiteral("A program needs at least one phase.");
    } else {
        QSet<int> ids;
        for (int index = 0; index < phases.size() && text.isEmpty(); ++index) {
            const Phase& phase = phases.at(index);
            const int next = index + 1 < phases.size() ? phases.at(index + 1).start
                                                       : cycleLength + phases.first().start;
            if (phase.id <= 0 || ids.contains(phase.id))
                text = QStringLiteral("Phase ids must be positive and different.");
            else if (phase.start < 0 || phase.start >= cycleLength)
                text = QStringLiteral("A phase must start within the cycle.");
            else if (next <= phase.start)
                text = QStringLiteral("The phases must start one after the other.");
            else if (phase.length <= 0 || phase.length > next - phase.start)
                text = QStringLiteral("A phase's green must be positive and end before the next phase.");
            ids.insert(phase.id);
            if (!text.isEmpty())
                bad = index;
        }
    }
    if (badPhase)
        *badPhase = bad;
    return text;
}

} // namespace Morvix
