#include <QApplication>
#include <QCommandLineParser>
#include <QDomDocument>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "Velmora/format/ConfigChecker.h"
#include "Velmora/format/ConfigDiff.h"
#include "Velmora/format/Protocol.h"
#include "Velmora/format/SchedulePreview.h"
#include "Velmora/format/XmlDocument.h"
#include "Velmora/format/ScheduleTable.h"

#include "Arguments.h"
#include "DailyReport.h"
#include "HistoryReader.h"
#include "Inspector.h"
#include "QtOwnLeaks.h"

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
            if (Velmora::ScheduleTable::write(out, zone, first, last, &refused))
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

// The calendar's plan for the day, minute by minute, as the report compares it.
Velmora::DailyPlan dailyPlan(const Velmora::SchedulePreview& preview)
{
    Velmora::DailyPlan plan;
    plan.dayStartMs = preview.momentAt(0).toMSecsSinceEpoch();
    plan.minutes = preview.minutes();
    auto planned = [&preview](const Velmora::PlanTimeline& timeline) {
        QVector<int> ids(preview.minutes(), Velmora::HistoryRecord::NoValue);
        for (const Velmora::PlanInterval& interval : timeline) {
            for (int minute = std::max(0, interval.start); minute < std::min(interval.end, ids.size()); ++minute)
                ids[minute] = interval.hasPlan() ? interval.id : Velmora::HistoryRecord::NoValue;
        }
        return ids;
    };
    plan.strategy = planned(preview.strategies());
    for (const Velmora::SchedulePreview::Strategy& strategy : preview.strategyList())
        plan.strategyNames.insert(strategy.id, strategy.name);
    for (const Velmora::SchedulePreview::Area& area : preview.areas()) {
        plan.areaStates.insert(area.id, planned(area.plan));
        plan.areaNames.insert(area.id, area.name);
        for (const Velmora::SchedulePreview::State& state : area.states)
            plan.stateNames[area.id].insert(state.id, state.name);
    }
    return plan;
}

// --history URL --report DATE FILE: the zone's day as recorded against its calendar.
int printReport(const QString& history, const QString& date, const QStringList& files, bool csv, QTextStream& out,
                QTextStream& err)
{
    const QDate day = QDate::fromString(date, Qt::ISODate);
    if (!day.isValid() || files.size() != 1) {
        err << "velmora-inspect: --report needs a date (yyyy-MM-dd) and one zone file\n";
        return 2;
    }
    Velmora::HistoryUrl url;
    QString error;
    QDomDocument document;
    Velmora::Xml::ReadError readError;
    if (!Velmora::HistoryUrl::parse(history, &url, &error)) {
        err << "velmora-inspect: --history: " << error << '\n';
        return 2;
    }
    if (!Velmora::Xml::readDocument(files.first(), &document, &readError)) {
        err << "velmora-inspect: " << files.first() << ": " << readError.message << '\n';
        return 1;
    }
    const Velmora::SchedulePreview preview(document.documentElement(), day, day);
    if (!preview.error().isEmpty()) {
        err << "velmora-inspect: " << files.first() << ": " << preview.error() << '\n';
        return 1;
    }
    Velmora::HistoryReader reader;
    if (!reader.open(url, &error)) {
        err << "velmora-inspect: " << error << '\n';
        return 1;
    }
    const Velmora::DailyPlan plan = dailyPlan(preview);
    const qint64 dayEnd = plan.dayStartMs + plan.minutes * 60000LL;
    const int zone = preview.zoneId();
    const Velmora::DailyReport report = Velmora::DailyReport::compute(
        reader.momentAt(zone, plan.dayStartMs - 1),
        reader.changes(zone, plan.dayStartMs - 1, dayEnd),
        reader.records(zone, Velmora::HistoryRecord::Command, plan.dayStartMs - 1, dayEnd), plan);
    // The protocol's own symbols: the same in every language.
    const auto resultWords = [](int code) {
        const Velmora::Protocol::ResultRow* row = Velmora::Protocol::findResult(code);
        return row ? QStringLiteral("%1 (%2)").arg(QString::fromLatin1(row->symbol)).arg(code)
                   : QStringLiteral("result %1").arg(code);
    };
    out << (csv ? report.csv()
                : report.text(QStringLiteral("Zone %1 \"%2\" on %3, recorded against planned")
                                  .arg(zone)
                                  .arg(preview.zoneName(), day.toString(Qt::ISODate)),
                              resultWords));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // The module's map items draw their state icons only under a QApplication.
    VelmoraHost::Arguments::useOffscreenWithoutDisplay();
    const QCommandLineOption pluginOption = VelmoraHost::Arguments::pluginOption();
    const QCommandLineOption checkOption(
        QStringLiteral("check"),
        QStringLiteral("Check the files for dangling references, duplicate ids and malformed texts; "
                       "exit status 1 when there are errors."));
    const QCommandLineOption formatOption(
        QStringLiteral("format"),
        QStringLiteral("text (the default); json with --check (one object a line with file, line, severity, "
                       "kind, path and message); csv with --report."),
        QStringLiteral("text|json|csv"), QStringLiteral("text"));
    const QCommandLineOption scheduleOption(
        QStringLiteral("schedule"),
        QStringLiteral("Print which strategy and which area states run in the date range."),
        QStringLiteral("DATE[..DATE]"));
    const QCommandLineOption diffOption(
        QStringLiteral("diff"),
        QStringLiteral("Print what changed from the first file to the second, one line per object; "
                       "exit status 1 when they differ."));
    const QCommandLineOption historyOption(QStringLiteral("history"),
                                           QStringLiteral("The history to report from: sqlite:PATH or "
                                                          "postgresql://user@host:port/db."),
                                           QStringLiteral("url"));
    const QCommandLineOption reportOption(
        QStringLiteral("report"),
        QStringLiteral("With --history: the day of the one zone file as recorded against its calendar."),
        QStringLiteral("DATE"));
    // QApplication would take "--plugin PATH" for one of Qt's own plug-ins.
    VelmoraHost::ApplicationArguments arguments(argc, argv,
                                                {pluginOption, scheduleOption, historyOption, reportOption, formatOption});
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
    parser.addOptions({pluginOption, checkOption, scheduleOption, diffOption, historyOption, reportOption, formatOption});
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
    const bool reporting = parser.isSet(reportOption) || parser.isSet(historyOption);
    const QString other = reporting ? QStringLiteral("csv") : QStringLiteral("json");
    if (format != QLatin1String("text") && format != other) {
        err << "velmora-inspect: --format is text or " << other << " here, not \"" << format << "\"\n";
        return 2;
    }
    // These read the files themselves: no module is needed.
    if (parser.isSet(checkOption))
        return checkFiles(files, format == QLatin1String("json"), out);
    if (parser.isSet(scheduleOption))
        return printSchedules(parser.value(scheduleOption), files, out, err);
    if (parser.isSet(diffOption))
        return printDifferences(files, out, err);
    if (reporting) {
        if (!parser.isSet(reportOption) || !parser.isSet(historyOption)) {
            err << "velmora-inspect: --history and --report go together\n";
            return 2;
        }
        return printReport(parser.value(historyOption), parser.value(reportOption), files,
                           format == QLatin1String("csv"), out, err);
    }

    QString pluginPath = VelmoraHost::defaultPluginPath();
    if (parser.isSet(pluginOption)) {
        pluginPath = parser.value(pluginOption);
        if (pluginPath.isEmpty()) {
            err << "velmora-inspect: --plugin needs the path of the module\n";
            return 2;
        }
    }
    VelmoraHost::Inspector inspector(out);
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
