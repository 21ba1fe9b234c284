#pragma once

#include <QJsonObject>
#include <QMainWindow>

#include <memory>

#include "Settings.h"
#include "ZoneLights.h"

class QAction;
class QGraphicsScene;
class Response;

namespace Velmora {

class FindingsDock;
class LightLayer;
class LinkMonitor;
class LogDock;
class MapLegend;
class MapView;
class ModuleHost;
class ObjectTreeDock;
class ObjectTreeModel;
class PropertiesDock;
class ScheduleDock;
class StorageService;
class CommandBar;
class CommandController;
class HistoryWriter;
class LinkStatusView;
class ReplayView;
class ServiceLink;
class SessionFiles;
class SelectionSync;
class StatusLabels;
class ZoneFiles;

// The workstation: the map with the module's zones and the host's lights,
// the object tree, the selected object's properties, a command line for a
// zone and the log of everything exchanged with the service.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(ModuleHost* host, QWidget* parent = nullptr);
    // Zones go first: their map items live on this window's scene.
    ~MainWindow() override;

    bool openZone(const QString& fileName);
    void closeZone(QObject* zone);
    void connectToService(const QString& host, quint16 port);
    void disconnectService();
    // Reopens the files of the last session and reconnects to its service
    // when that was connected, if the user keeps that on. True when it did anything.
    bool restoreSession();
    // The zones open now and whether the service is wanted, for the next start.
    void saveSession();
    LinkMonitor* linkMonitor() const;
    // The zone typed commands go to and edits are made on: chosen in the tree
    // or beside the command line, never by a click on the map.
    QObject* commandZone() const;
    void setCommandZone(QObject* zone);
    // The status line, the link's words included.
    QString statusText() const;
    void setStorageDirectory(const QString& directory);
    // Automated sessions leave the user's recent files and layout alone.
    void setPersistSettings(bool persist);

    // Records the linked zones into the history from now on; the writer
    // outlives the window. Its failures show in the status bar and the log.
    void setHistory(Velmora::HistoryWriter* writer);

    StorageService* storage() const;
    // The map's tool tip for a module object or a light: name, id, state in words.
    QString objectToolTip(QObject* object) const;
    // Zones as the dump shows them, with the map's place in the window and
    // the module library in use.
    QJsonObject stateJson() const;
    bool saveScreenshot(const QString& fileName);

public slots:
    void fitZone();
    // Every zone, or the command zone alone when the zones lie too far apart to be seen together.
    void fitAll();
    void showAbout();
    void showGettingStarted();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void openZoneDialog();
    void editZone();
    // Checks the command zone's file and lists the findings in their dock.
    void checkZone();
    void newZoneInFolder();
    void connectDialog();
    void chooseStorageFolder();

    void zoneAdded(QObject* zone);
    void zoneAboutToBeRemoved(QObject* zone);
    // A zone the user edited becomes the command zone; one changed on disk
    // only stays it when it was.
    void zoneReloaded(QObject* zone, bool changedOnDisk);
    void objectStateChanged(const QObject* object);
    void zoneResponseFinished(QObject* zone, const Response* response);
    void zoneLinkChanged(QObject* zone, bool up);
    void linkStatusChanged(QObject* zone);

    void cursorMoved(const QPointF& scenePos);

private:
    void createMenus();
    void createDocks();
    void createStatusBar();
    // Rereads the properties shown when they are those of the object that changed.
    void refreshProperties(const QObject* changed);
    void updateSceneRect();
    // Commands wait while the history dock shows the past.
    void setReplaying(bool replaying);

    ModuleHost* m_host;
    Settings m_settings;
    QGraphicsScene* m_scene;
    MapView* m_map;
    LightLayer* m_lights;
    ObjectTreeModel* m_treeModel;
    ObjectTreeDock* m_objectsDock;
    PropertiesDock* m_propertiesDock;
    LogDock* m_logDock;
    MapLegend* m_legend;
    ScheduleDock* m_scheduleDock = nullptr;
    FindingsDock* m_findingsDock = nullptr;
    LinkMonitor* m_links;
    StorageService* m_storage;
    Velmora::ServiceLink* m_service = nullptr;
    Velmora::CommandController* m_commands;

    Velmora::CommandBar* m_commandBar = nullptr;
    Velmora::ZoneFiles* m_zoneFiles;
    Velmora::ZoneLights m_zoneLights;
    Velmora::SelectionSync* m_selection;
    Velmora::SessionFiles* m_session;
    std::unique_ptr<Velmora::StatusLabels> m_statusLabels;
    std::unique_ptr<Velmora::LinkStatusView> m_linkView;
    QAction* m_disconnectAction = nullptr;
    QAction* m_reopenAction = nullptr;

    Velmora::ReplayView* m_replay = nullptr;
    // The file of the command zone when it last went: a reload brings it back.
    QString m_leftCommandFile;
};

} // namespace Velmora
