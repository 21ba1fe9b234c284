// A host that loads zones and returns from main without deleting them, as a
// host may: the module must tear them down cleanly at exit. One zone has no
// scene, one a scene that outlives main, one a scene and view on main's stack.
//   quit_host PLUGIN ZONEFILE
#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>

#include <cstdio>

#include "ModuleCalls.h"
#include "ModulePlugin.h"
#include "OffscreenLeaks.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quit_host PLUGIN ZONEFILE\n");
        return 2;
    }
    VelmoraHost::ModulePlugin plugin;
    QString error;
    if (!plugin.load(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 3;
    }
    static QGraphicsScene longLived;
    QGraphicsScene stackScene;
    QGraphicsView view(&stackScene);
    view.show();
    for (QGraphicsScene* scene : {static_cast<QGraphicsScene*>(nullptr), &longLived, &stackScene}) {
        QObject* zone = VelmoraHost::loadZone(plugin.root(), QString::fromLocal8Bit(argv[2])).zone;
        if (!zone) {
            std::fprintf(stderr, "cannot load the zone\n");
            return 3;
        }
        if (scene && !VelmoraHost::invoke(zone, "setScene", Q_ARG(QGraphicsScene*, scene)))
            return 4;
    }
    QCoreApplication::processEvents();
    return 0;
}
