#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

class QGraphicsScene;
class QMainWindow;

namespace Velmora {

class LinkMonitor;
class LogDock;
class MapView;
class ModuleHost;
class ObjectTreeModel;
class PropertiesDock;

class HistoryDock;
class HistoryRecorder;
class HistoryWriter;
class ReplayView;

// The history in the window: the linked zones recorded through the writer
// (when it fails, only the recording stops), its dock tabbed with the log,
// and the map, tree and properties as recorded while the dock shows the past.
class HistoryPanel : public QObject
{
    Q_OBJECT
public:
    // The parts of the window the history shows in.
    struct Panels
    {
        QMainWindow* window;
        LogDock* log;
        MapView* map;
        QGraphicsScene* scene;
        PropertiesDock* properties;
        ObjectTreeModel* tree;
        // The service's time, which the records' time stamps follow.
        std::function<QDateTime()> now;
    };

    HistoryPanel(ModuleHost* host, LinkMonitor* links, HistoryWriter* writer, const Panels& panels);

    // Null once the history has become unavailable.
    HistoryRecorder* recorder() const;
    ReplayView* replay() const;

private:
    void createDock(HistoryWriter* writer);
    void unavailable(const QString& reason);

    ModuleHost* m_host;
    Panels m_panels;
    HistoryRecorder* m_recorder;
    HistoryDock* m_dock = nullptr;
    ReplayView* m_replay = nullptr;
};

} // namespace Velmora
