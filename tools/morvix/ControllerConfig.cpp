#include "ControllerConfig.h"

#include <QRegularExpression>

namespace Morvix {

namespace {

bool toNumber(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= 0;
}

// "program ID cycle C greens G1 G2 ... [offset S]" or "program ID cycle C flash COLOUR".
bool parseProgram(const QStringList& words, SignalProgram* program, QString* error)
{
    if (words.size() < 5 || words.at(2) != QLatin1String("cycle")) {
        *error = QStringLiteral("expected 'program ID cycle LENGTH greens ...' or '... flash COLOUR'");
        return false;
    }
    if (!toNumber(words.at(1), &program->id) || program->id == 0) {
        *error = QStringLiteral("invalid program id '%1'").arg(words.at(1));
        return false;
    }
    if (!toNumber(words.at(3), &program->cycle)) {
        *error = QStringLiteral("invalid cycle length '%1'").arg(words.at(3));
        return false;
    }
    if (words.at(4) == QLatin1String("flash")) {
        if (words.size() != 6) {
            *error = QStringLiteral("expected one colour after 'flash'");
            return false;
        }
        program->flash = words.at(5);
        return true;
    }
    if (words.at(4) != QLatin1String("greens")) {
        *error = QStringLiteral("expected 'greens' or 'flash', found '%1'").arg(words.at(4));
        return false;
    }
    int at = 5;
    for (; at < words.size() && words.at(at) != QLatin1String("offset"); ++at) {
        int green = 0;
        if (!toNumber(words.at(at), &green) || green == 0) {
            *error = QStringLiteral("invalid green time '%1'").arg(words.at(at));
            return false;
        }
        program->greens.append(green);
    }
    if (program->greens.isEmpty()) {
        *error = QStringLiteral("program %1 lists no green times").arg(program->id);
        return false;
    }
    if (program->cycle == 0) {
        *error = QStringLiteral("program %1 has phases but no cycle length").arg(program->id);
        return false;
    }
    if (at < words.size()) {
        if (at + 2 != words.size() || !toNumber(words.at(at + 1), &program->offset)) {
            *error = QStringLiteral("expected one number after 'offset'");
            return false;
        }
    }
    return true;
}

} // namespace

bool ControllerConfig::parse(const QByteArray& text, ControllerConfig* config, QString* error)
{
    *config = ControllerConfig();
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QList<QByteArray> lines = text.split('\n');
    for (int index = 0; index < lines.size(); ++index) {
        const QString line = QString::fromUtf8(lines.at(index)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList words = line.split(blanks, Qt::SkipEmptyParts);
        const QString& keyword = words.first();
        QString problem;
        if (keyword == QLatin1String("controller")) {
            if (words.size() != 2 || !toNumber(words.at(1), &config->controllerId))
                problem = QStringLiteral("expected 'controller ID'");
        } else if (keyword == QLatin1String("intergreen")) {
            config->intergreens.clear();
            for (int at = 1; at < words.size() && problem.isEmpty(); ++at) {
                int value = 0;
                if (toNumber(words.at(at), &value))
                    config->intergreens.append(value);
                else
                    problem = QStringLiteral("invalid intergreen '%1'").arg(words.at(at));
            }
        } else if (keyword == QLatin1String("program")) {
            SignalProgram program;
            if (parseProgram(words, &program, &problem)) {
                if (config->program(program.id))
                    problem = QStringLiteral("program %1 is defined twice").arg(program.id);
                else
                    config->programs.append(program);
            }
        }
        if (!problem.isEmpty()) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(index + 1).arg(problem);
            return false;
        }
    }
    return true;
}

const SignalProgram* ControllerConfig::program(int id) const
{
    for (const SignalProgram& program : programs) {
        if (program.id == id)
            return &program;
    }
    return nullptr;
}

const SignalProgram* ControllerConfig::firstPhasedProgram() const
{
    for (const SignalProgram& program : programs) {
        if (program.hasPhases())
            return &program;
    }
    return nullptr;
}

QStringList ControllerConfig::programIds() const
{
    QStringList ids;
    for (const SignalProgram& program : programs)
        ids.append(QString::number(program.id));
    return ids;
}

int ControllerConfig::intergreen(int phaseIndex) const
{
    return phaseIndex >= 0 && phaseIndex < intergreens.size() ? intergreens.at(phaseIndex) : 0;
}

} // namespace Morvix
