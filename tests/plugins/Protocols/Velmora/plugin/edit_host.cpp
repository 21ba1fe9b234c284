// A host that closes zone editors on a large zone and unloads the module straight after, while the editors'
// documents may still be being freed: nothing of the module may run once it is gone.
// edit_host PLUGIN FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QTextStream>
#include <QWidget>

#include "ModuleCalls.h"
#include "QtOwnLeaks.h"
#include "Until.h"

namespace {

// Areas of controllers and states: a document that takes a while to free.
bool writeLargeZone(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out << "<Zone id=\"1\" name=\"Large\"><Areas>";
    for (int area = 1; area <= 300; ++area) {
        out << "<Area id=\"" << area << "\" name=\"Area " << area << "\"><Controllers>";
        for (int controller = 1; controller <= 20; ++controller)
            out << (controller > 1 ? "," : "") << area * 100 + controller;
        out << "</Controllers><States>";
        for (int state = 1; state <= 8; ++state) {
            out << "<State id=\"" << state << "\" name=\"State " << state << "\">";
            for (int controller = 1; controller <= 20; ++controller)
                out << "<Controller id=\"" << area * 100 + controller << "\" state=\"" << state << "\"/>";
            out << "</State>";
        }
        out << "</States></Area>";
    }
    out << "</Areas></Zone>";
    return out.status() == QTextStream::Ok;
}

// Whether a thread of a thread pool (none of the host's own) is running.
bool runsPooledThreads()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("Thread (pooled)"))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        qFatal("usage: edit_host PLUGIN FOLDER");
    QPluginLoader loader(QString::fromLocal8Bit(argv[1]));
    // Qt keeps a plug-in mapped after unloading unless told otherwise; here it really goes.
    loader.setLoadHints(QLibrary::LoadHints());
    QObject* root = loader.instance();
    if (!root)
        qFatal("cannot load the plug-in: %s", qPrintable(loader.errorString()));
    const QString zone = QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("large.xtsc"));
    if (!writeLargeZone(zone))
        return 2;
    for (int editor = 0; editor < 2; ++editor) {
        if (!VelmoraHost::invoke(root, "editZone", Q_ARG(QString, zone)))
            return 3;
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String("ZoneEditDlg"))
            return 4;
        delete dialog;
    }
    if (!loader.unload())
        return 5;
    // A thread of the module still running would crash in its unmapped code:
    // the host lives on until there is none.
    return until([] { return !runsPooledThreads(); }, 60000) ? 0 : 6;
}
