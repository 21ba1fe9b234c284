#pragma once

#include <QObject>
#include <QVariant>

class QGraphicsScene;
class QLabel;

namespace Velmora {

class ModuleHost;
class MapView;
class ObjectTreeModel;
class PropertiesDock;

class HistoryDock;
class ReplayLayer;

// What the window shows while the history dock replays a moment: the band
// across the map, the recorded colours over the live ones, the recorded
// values in the properties and the object tree. Back to live undoes all of
// it at once.
class ReplayView : public QObject
{
    Q_OBJECT
public:
    ReplayView(HistoryDock* dock, ModuleHost* host, MapView* map, QGraphicsScene* scene, QObject* parent = nullptr);

    void setPanels(PropertiesDock* properties, ObjectTreeModel* tree);

    // An area's icon and tool tip at the replayed moment; invalid while live.
    QVariant areaData(const QObject* object, int column, int role) const;

signals:
    void replayingChanged(bool replaying);
    void bandTextChanged(const QString& text);

private:
    void showMoment();
    void resumeLive();
    void refreshTree();

    HistoryDock* m_dock;
    ModuleHost* m_host;
    MapView* m_map;
    QLabel* m_band;
    ReplayLayer* m_layer;
    PropertiesDock* m_properties = nullptr;
    ObjectTreeModel* m_tree = nullptr;
};

} // namespace Velmora
