// A host that loads zones and returns from main without deleting them, as a
// host may: the module must tear them down cleanly at exit.
//   quit_host PLUGIN ZONEFILE none|static-scene|stack-view
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
    if (argc != 4) {
        std::fprintf(stderr, "usage: quit_host PLUGIN ZONEFILE none|static-scene|stack-view\n");
        return 2;
    }
    VelmoraHost::ModulePlugin plugin;
    QString error;
    if (!plugin.load(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 3;
    }
    QObject* zone = VelmoraHost::loadZone(plugin.root(), QString::fromLocal8Bit(argv[2])).zone;
    if (!zone) {
        std::fprintf(stderr, "cannot load the zone\n");
        return 3;
    }
    const QByteArray mode = argv[3];
    QGraphicsScene* scene = nullptr;
    if (mode == "static-scene") {
        // Outlives main and the application.
        static QGraphicsScene longLived;
        scene = &longLived;
    }
    QGraphicsScene stackScene;
    QGraphicsView view(&stackScene);
    if (mode == "stack-view") {
        scene = &stackScene;
        view.show();
    }
    if (scene && !VelmoraHost::invoke(zone, "setScene", Q_ARG(QGraphicsScene*, scene)))
        return 4;
    QCoreApplication::processEvents();
    return 0;
}
