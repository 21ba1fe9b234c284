// A host that loads zones and returns from main without deleting them, as a host may: the module must tear them down
// cleanly at exit. One zone has no scene, one a scene that outlives main, one a scene and view on main's stack.
// quit_host PLUGIN ZONEFILE
#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>

#include "ModuleCalls.h"
#include "ModulePlugin.h"
#include "QtOwnLeaks.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    VelmoraHost::ModulePlugin plugin;
    QString error;
    if (argc != 3 || !plugin.load(QString::fromLocal8Bit(argv[1]), &error))
        qFatal("cannot load the plug-in: %s", qPrintable(error));
    static QGraphicsScene longLived;
    QGraphicsScene stackScene;
    QGraphicsView view(&stackScene);
    view.show();
    for (QGraphicsScene* scene : {static_cast<QGraphicsScene*>(nullptr), &longLived, &stackScene}) {
        QObject* zone = VelmoraHost::loadZone(plugin.root(), QString::fromLocal8Bit(argv[2])).zone;
        if (!zone || (scene && !VelmoraHost::invoke(zone, "setScene", Q_ARG(QGraphicsScene*, scene))))
            return 4;
    }
    QCoreApplication::processEvents();
    return 0;
}
