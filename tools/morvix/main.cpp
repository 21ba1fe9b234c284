// morvix: edits a controller's special program on the controller's
// configuration, or lists its signal programs. Run by the zone editor with
// temporary files; see CommandLine.h for the command lines and
// ControllerConfig.h for the configuration text.
//
// MORVIX_AUTOSAVE=1 saves the program it would have shown (the one handed
// over, or the one built from the signal program) without a window.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include <cstdio>

#include "CommandLine.h"
#include "ControllerConfig.h"
#include "ProgramWindow.h"
#include "SpecialProgram.h"

using namespace Morvix;

namespace {

enum ExitCode { Ok = 0, BadFile = 1, BadCommandLine = 2 };

void complain(const QString& text)
{
    std::fprintf(stderr, "morvix: %s\n", qPrintable(text));
}

bool readFile(const QString& name, QByteArray* bytes, QString* error)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(name, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    return true;
}

bool writeFile(const QString& name, const QByteArray& bytes, QString* error)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(name, file.errorString());
        return false;
    }
    return true;
}

// The program to start from: the one in the program file, else signal program
// `programId`, else (no id) the first signal program with phases.
bool startingProgram(const CommandLine& line, const ControllerConfig& config, SpecialProgram* program,
                     QString* error)
{
    QByteArray handedOver;
    // The program file is ours to write; only one that exists must be readable.
    if (QFileInfo::exists(line.programFile) && !readFile(line.programFile, &handedOver, error))
        return false;
    if (!handedOver.trimmed().isEmpty()) {
        if (SpecialProgram::fromXml(handedOver, program, error))
            return true;
        *error = QStringLiteral("%1: %2").arg(line.programFile, *error);
        return false;
    }
    const SignalProgram* signal = nullptr;
    if (line.programId > 0) {
        signal = config.program(line.programId);
        if (!signal) {
            *error = QStringLiteral("the configuration has no signal program %1").arg(line.programId);
            return false;
        }
        if (!signal->hasPhases()) {
            *error = QStringLiteral("signal program %1 has no phases (it flashes %2)").arg(signal->id).arg(signal->flash);
            return false;
        }
    } else {
        signal = config.firstPhasedProgram();
        if (!signal) {
            *error = QStringLiteral("the configuration has no signal program with phases");
            return false;
        }
    }
    *program = SpecialProgram::fromSignalProgram(*signal, config);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int at = 1; at < argc; ++at)
        arguments.append(QString::fromLocal8Bit(argv[at]));

    CommandLine line;
    QString error;
    if (!CommandLine::parse(arguments, &line, &error)) {
        complain(error);
        std::fputs(qPrintable(CommandLine::usage()), stderr);
        return BadCommandLine;
    }

    QByteArray configText;
    ControllerConfig config;
    if (!readFile(line.configFile, &configText, &error)) {
        complain(error);
        return BadFile;
    }
    if (!ControllerConfig::parse(configText, &config, &error)) {
        complain(QStringLiteral("%1: %2").arg(line.configFile, error));
        return BadFile;
    }

    if (line.mode == CommandLine::ListPrograms) {
        QByteArray list;
        for (const QString& id : config.programIds())
            list += id.toUtf8() + '\n';
        if (!writeFile(line.listFile, list, &error)) {
            complain(error);
            return BadFile;
        }
        return Ok;
    }

    if (config.controllerId >= 0 && config.controllerId != line.objectId)
        complain(QStringLiteral("note: the configuration is that of controller %1, not %2")
                     .arg(config.controllerId)
                     .arg(line.objectId));

    SpecialProgram program;
    const bool started = startingProgram(line, config, &program, &error);
    if (qEnvironmentVariable("MORVIX_AUTOSAVE") == QLatin1String("1")) {
        if (!started) {
            complain(error);
            return BadFile;
        }
        if (!writeFile(line.programFile, program.toXml(), &error)) {
            complain(error);
            return BadFile;
        }
        return Ok;
    }

    QApplication app(argc, argv);
    if (!started) {
        complain(error);
        QMessageBox::critical(nullptr, QStringLiteral("morvix"), error);
        return BadFile;
    }
    ProgramWindow window(program, line.objectId, line.programFile);
    window.exec();
    return Ok;
}
