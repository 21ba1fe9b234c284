#include <QApplication>
#include <QCommandLineParser>
#include <QDomDocument>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "Velmora/format/ConfigChecker.h"
#include "Velmora/format/ConfigDiff.h"
#include "Velmora/format/SchedulePreview.h"
#include "Velmora/format/XmlDocument.h"
#include "Velmora/format/ScheduleTable.h"

#include "Arguments.h"
#include "Inspector.h"
#include "OffscreenLeaks.h"

namespace {

// One line of JSON, for tools that read the findings as they come.
QByteArray findingJson(const Velmora::ConfigFinding& finding, const QString& file)
{
    const QJsonObject object{{QStringLiteral("file"), file},
                             {QStringLiteral("line"), finding.line},
                             {QStringLiteral("severity"), finding.isError() ? QStringLiteral("error") : QStringLiteral("warning")},
                             {QStringLiteral("kind"), finding.kind},
                             {QStringLiteral("path"), finding.path},
                             {QStringLiteral("message"), finding.message}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// --check: every file's findings as FILE:LINE: severity: message, or as one
// JSON object a line; 1 when any file has an error.
int checkFiles(const QStringList& files, bool json, QTextStream& out)
{
    int errors = 0;
    for (const QString& file : files) {
        const Velmora::ConfigFindings findings = Velmora::ConfigChecker::checkFile(file);
        for (const Velmora::ConfigFinding& finding : findings) {
            if (json)
                out << QString::fromUtf8(findingJson(finding, file)) << '\n';
            else
                out << Velmora::ConfigChecker::formatFinding(finding, file) << '\n';
        }
        errors += Velmora::ConfigChecker::errorCount(findings);
    }
    return errors ? 1 : 0;
}

// --schedule: what runs when in each file over the range, a table per area.
// Files larger than the checker reads are refused too.
int printSchedules(const QString& range, const QStringList& files, QTextStream& out, QTextStream& err)
{
    QDate first;
    QDate last;
    if (!Velmora::SchedulePreview::parseRange(range, &first, &last)) {
        err << "velmora-inspect: --schedule needs yyyy-MM-dd or yyyy-MM-dd..yyyy-MM-dd, not \"" << range
            << "\"\n";
        return 2;
    }
    int status = 0;
    for (const QString& file : files) {
        if (QFileInfo(file).size() > Velmora::ConfigChecker::MaxFileBytes) {
            err << "velmora-inspect: " << file << ": larger than " << Velmora::ConfigChecker::MaxFileBytes / (1024 * 1024)
                << " MiB, the most a configuration may be; not read\n";
            status = 1;
            continue;
        }
        QDomDocument document;
        Velmora::Xml::ReadError error;
        if (!Velmora::Xml::readDocument(file, &document, &error)) {
            err << "velmora-inspect: " << file << ": "
                << (error.kind == Velmora::Xml::ReadError::CannotOpen
                        ? error.message
                        : QStringLiteral("%1 (line %2, column %3)").arg(error.message).arg(error.line).arg(error.column))
                << '\n';
            status = 1;
            continue;
        }
        const QDomElement zone = document.documentElement();
        QString refused = Velmora::SchedulePreview::rangeError(zone, first, last);
        if (refused.isEmpty()) {
            out << "== " << file << '\n';
            // Written as it is computed: ten years of a busy card do not fit in memory as text.
            if (Velmora::ScheduleTable::write(out, zone, first, last, {}, &refused))
                continue;
            out.flush();
        }
        err << "velmora-inspect: " << file << ": " << refused << '\n';
        status = 1;
    }
    return status;
}

// --diff OLD NEW: what changed from one configuration to the other, one line
// per object; 1 when they differ, as diff does.
int printDifferences(const QStringList& files, QTextStream& out, QTextStream& err)
{
    if (files.size() != 2) {
        err << "velmora-inspect: --diff needs two files, the older first\n";
        return 2;
    }
    QStringList changes;
    QString error;
    if (!Velmora::ConfigDiff::compareFiles(files.at(0), files.at(1), &changes, &error)) {
        err << "velmora-inspect: " << error << '\n';
        return 2;
    }
    for (const QString& line : qAsConst(changes))
        out << line << '\n';
    return changes.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // The module's map items draw their state icons only under a QApplication;
    // a terminal without a display still gets one.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const QCommandLineOption pluginOption(QStringLiteral("plugin"),
                                          QStringLiteral("The module to load (default: ../plugins/libVelmora.so "
                                                         "next to the program)."),
                                          QStringLiteral("path"));
    const QCommandLineOption checkOption(
        QStringLiteral("check"),
        QStringLiteral("Check the files for dangling references, duplicate ids and malformed texts; "
                       "exit status 1 when there are errors."));
    const QCommandLineOption formatOption(
        QStringLiteral("format"),
        QStringLiteral("How --check prints findings: text (FILE:LINE: severity: message, the default) or json "
                       "(one object a line with file, line, severity, kind, path and message)."),
        QStringLiteral("text|json"), QStringLiteral("text"));
    const QCommandLineOption scheduleOption(
        QStringLiteral("schedule"),
        QStringLiteral("Print which strategy and which area states run in the date range."),
        QStringLiteral("DATE[..DATE]"));
    const QCommandLineOption diffOption(
        QStringLiteral("diff"),
        QStringLiteral("Print what changed from the first file to the second, one line per object; "
                       "exit status 1 when they differ."));
    // QApplication would take "--plugin PATH" for one of Qt's own plug-ins.
    ApplicationArguments arguments(argc, argv, {pluginOption, scheduleOption, formatOption});
    QTextStream err(stderr);
    if (!arguments.missingValue().isEmpty()) {
        err << "velmora-inspect: --" << QString::fromLocal8Bit(arguments.missingValue()) << " needs a value\n";
        return 2;
    }

    QApplication app(arguments.argc(), arguments.argv());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Loads zone configuration files through the Velmora module and prints what a host sees."));
    parser.addHelpOption();
    parser.addOptions({pluginOption, checkOption, formatOption, scheduleOption, diffOption});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Zone configuration files (.xtsc)."),
                                 QStringLiteral("FILE..."));
    parser.process(app);

    QTextStream out(stdout);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        err << parser.helpText();
        return 2;
    }
    const QString format = parser.value(formatOption);
    if (format != QLatin1String("text") && format != QLatin1String("json")) {
        err << "velmora-inspect: --format is text or json, not \"" << format << "\"\n";
        return 2;
    }
    // These read the files themselves: no module is needed.
    if (parser.isSet(checkOption))
        return checkFiles(files, format == QLatin1String("json"), out);
    if (parser.isSet(scheduleOption))
        return printSchedules(parser.value(scheduleOption), files, out, err);
    if (parser.isSet(diffOption))
        return printDifferences(files, out, err);

    QString pluginPath = VelmoraHost::defaultPluginPath();
    if (parser.isSet(pluginOption)) {
        pluginPath = parser.value(pluginOption);
        if (pluginPath.isEmpty()) {
            err << "velmora-inspect: --plugin needs the path of the module\n";
            return 2;
        }
    }
    Inspector inspector(out);
    QString error;
    if (!inspector.loadPlugin(pluginPath, &error)) {
        err << "velmora-inspect: " << error << '\n';
        return 2;
    }
    bool allLoaded = true;
    for (const QString& file : files)
        allLoaded = inspector.inspectFile(file) && allLoaded;
    return allLoaded ? 0 : 1;
}
