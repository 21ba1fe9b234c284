#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include "Arguments.h"
#include "Inspector.h"
#include "OffscreenLeaks.h"

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
    // QApplication would take "--plugin PATH" for one of Qt's own plug-ins.
    ApplicationArguments arguments(argc, argv, {pluginOption});
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
    parser.addOption(pluginOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Zone configuration files (.xtsc)."),
                                 QStringLiteral("FILE..."));
    parser.process(app);

    QTextStream out(stdout);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        err << parser.helpText();
        return 2;
    }
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
