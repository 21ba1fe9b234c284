#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include "Inspector.h"

int main(int argc, char* argv[])
{
    // The module's map items draw their state icons only under a QApplication;
    // a terminal without a display still gets one.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Loads zone configuration files through the Velmora module and prints what a host sees."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("plugin"), QStringLiteral("The module to load."), QStringLiteral("path"),
                      Inspector::defaultPluginPath()});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Zone configuration files (.xtsc)."),
                                 QStringLiteral("FILE..."));
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        err << parser.helpText();
        return 2;
    }
    Inspector inspector(out);
    QString error;
    if (!inspector.loadPlugin(parser.value(QStringLiteral("plugin")), &error)) {
        err << "velmora-inspect: " << error << '\n';
        return 2;
    }
    bool allLoaded = true;
    for (const QString& file : files)
        allLoaded = inspector.inspectFile(file) && allLoaded;
    return allLoaded ? 0 : 1;
}
