#include "Arguments.h"
#include "MainWindow.h"
#include "ModuleHost.h"
#include "ModulePlugin.h"
#include "QtOwnLeaks.h"
#include "StateDump.h"

#include "HistoryWriter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace Velmora;

namespace {

constexpr int DefaultScreenshotDelay = 3000;

void fail(const QString& message)
{
    std::fprintf(stderr, "velmora-workstation: %s\n", qUtf8Printable(message));
}

// The history the options ask for; none for a timed run (a script's or a
// test's) unless --history names one. Null with *error set when they are wrong.
std::unique_ptr<Velmora::HistoryWriter> historyWriter(const QCommandLineParser& parser,
                                                      const QCommandLineOption& historyOption,
                                                      const QCommandLineOption& daysOption, bool timedRun,
                                                      QString* error)
{
    Velmora::HistoryUrl url = Velmora::HistoryUrl::defaultUrl();
    if (parser.isSet(historyOption)) {
        if (!Velmora::HistoryUrl::parse(parser.value(historyOption), &url, error))
            return nullptr;
    } else if (timedRun) {
        return nullptr;
    }
    int days = Velmora::HistoryWriter::DefaultRetentionDays;
    if (parser.isSet(daysOption)) {
        bool ok = false;
        days = parser.value(daysOption).toInt(&ok);
        if (!ok || days < 1) {
            *error = QStringLiteral("--history-days needs a number of days, at least 1");
            return nullptr;
        }
    }
    auto writer = std::make_unique<Velmora::HistoryWriter>(url);
    writer->setRetentionDays(days);
    return writer;
}

} // namespace

int main(int argc, char* argv[])
{
    VelmoraHost::Arguments::useOffscreenWithoutDisplay();
    const QCommandLineOption pluginOption = VelmoraHost::Arguments::pluginOption();
    const QCommandLineOption serviceOption(QStringLiteral("service"),
                                           QStringLiteral("Connect to the control service at host:port."),
                                           QStringLiteral("host:port"));
    const QCommandLineOption storageOption(QStringLiteral("storage"),
                                           QStringLiteral("Folder of controller configurations (<id>.cfg)."),
                                           QStringLiteral("dir"));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                              QStringLiteral("Save a PNG of the window, then quit."),
                                              QStringLiteral("file"));
    const QCommandLineOption quitAfterOption(QStringLiteral("quit-after"),
                                             QStringLiteral("Quit (after the screenshot) this many ms after start."),
                                             QStringLiteral("ms"));
    const QCommandLineOption linkedOption(
        QStringLiteral("quit-when-linked"),
        QStringLiteral("Quit (after the screenshot) once every zone's link is up and its state known; "
                       "--quit-after then bounds the wait."));
    const QCommandLineOption dumpOption(QStringLiteral("dump-state"),
                                        QStringLiteral("Write the zones' state as JSON at quit."),
                                        QStringLiteral("file"));
    const QCommandLineOption historyOption(
        QStringLiteral("history"),
        QStringLiteral("Where to record the zones' history: sqlite:PATH or postgresql://user@host:port/db "
                       "(default: history.sqlite in the user's data folder; none for a timed run)."),
        QStringLiteral("url"));
    const QCommandLineOption historyDaysOption(QStringLiteral("history-days"),
                                               QStringLiteral("Days the history keeps (default 90)."),
                                               QStringLiteral("days"));
    const QList<QCommandLineOption> options{pluginOption,    serviceOption, storageOption,    screenshotOption,
                                            quitAfterOption, linkedOption,  dumpOption,       historyOption,
                                            historyDaysOption};

    // QApplication would take "--plugin PATH" for one of Qt's own plug-ins.
    VelmoraHost::ApplicationArguments arguments(argc, argv, options);
    if (!arguments.missingValue().isEmpty()) {
        fail(QStringLiteral("--%1 needs a value").arg(QString::fromLocal8Bit(arguments.missingValue())));
        return 2;
    }

    QApplication app(arguments.argc(), arguments.argv());
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("velmora-workstation"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Traffic-control workstation hosting the Velmora zone module."));
    parser.addHelpOption();
    parser.addOptions(options);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Zone configurations (.xtsc)."),
                                 QStringLiteral("FILE..."));
    parser.process(app);

    QString pluginPath = VelmoraHost::defaultPluginPath();
    if (parser.isSet(pluginOption)) {
        pluginPath = parser.value(pluginOption);
        if (pluginPath.isEmpty()) {
            fail(QStringLiteral("--plugin needs the path of the module"));
            return 2;
        }
    }

    int quitAfter = -1;
    if (parser.isSet(quitAfterOption)) {
        bool ok = false;
        quitAfter = parser.value(quitAfterOption).toInt(&ok);
        if (!ok || quitAfter < 0) {
            fail(QStringLiteral("--quit-after needs a number of milliseconds"));
            return 2;
        }
    } else if (parser.isSet(screenshotOption)) {
        quitAfter = DefaultScreenshotDelay;
    }
    QString serviceHost;
    quint16 servicePort = 0;
    if (parser.isSet(serviceOption)
        && !Settings::parseAddress(parser.value(serviceOption), &serviceHost, &servicePort)) {
        fail(QStringLiteral("--service needs host:port, not \"%1\"").arg(parser.value(serviceOption)));
        return 2;
    }

    QString error;
    const std::unique_ptr<Velmora::HistoryWriter> history =
        historyWriter(parser, historyOption, historyDaysOption, quitAfter >= 0, &error);
    if (!error.isEmpty()) {
        fail(error);
        return 2;
    }

    ModuleHost host;
    if (!host.loadPlugin(pluginPath, &error)) {
        fail(error);
        return 2;
    }

    MainWindow window(&host);
    // A timed run is a script's or a test's, not the user's session.
    window.setPersistSettings(quitAfter < 0);
    if (parser.isSet(storageOption))
        window.setStorageDirectory(parser.value(storageOption));
    if (history)
        window.setHistory(history.get());
    bool allLoaded = true;
    for (const QString& file : parser.positionalArguments())
        allLoaded = window.openZone(file) && allLoaded;
    window.show();
    if (!serviceHost.isEmpty())
        window.connectToService(serviceHost, servicePort);
    // A plain start carries on where the user left off (unless turned off in File).
    if (quitAfter < 0 && parser.positionalArguments().isEmpty() && serviceHost.isEmpty())
        window.restoreSession();
    // Fitting needs the viewport's final size, known once the window is shown.
    QTimer::singleShot(0, &window, &MainWindow::fitAll);

    int exitCode = 0;
    const QString screenshot = parser.value(screenshotOption);
    bool finished = false;
    auto finish = [screenshot, &window, &exitCode, &finished] {
        if (finished)
            return;
        finished = true;
        if (!screenshot.isEmpty() && !window.saveScreenshot(screenshot)) {
            fail(QStringLiteral("cannot write %1").arg(screenshot));
            exitCode = 1;
        }
        window.close();
    };
    if (quitAfter >= 0)
        QTimer::singleShot(quitAfter, &window, finish);
    QTimer linkedCheck;
    if (parser.isSet(linkedOption)) {
        // Checked from the event loop, so the map has been painted with the
        // state that made the condition true.
        linkedCheck.setInterval(100);
        QObject::connect(&linkedCheck, &QTimer::timeout, &window, [&window, finish] {
            if (StateDump::allLinked(window.stateJson()))
                finish();
        });
        linkedCheck.start();
    }
    const int loopResult = app.exec();
    if (exitCode == 0)
        exitCode = loopResult;

    if (parser.isSet(dumpOption)) {
        if (!StateDump::write(parser.value(dumpOption), window.stateJson(), &error)) {
            fail(QStringLiteral("cannot write %1: %2").arg(parser.value(dumpOption), error));
            exitCode = 1;
        }
    }
    if (!allLoaded && exitCode == 0)
        exitCode = 1;
    return exitCode;
}
