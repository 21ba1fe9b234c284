#pragma once

#include <QJsonObject>
#include <QMainWindow>
#include <QPointer>
#include <QSet>

#include "Settings.h"
#include "semtra/Connection.h"

class LightLayer;
class LogDock;
class MapView;
class ModuleHost;
class Notification;
class ObjectTreeDock;
class ObjectTreeModel;
class PropertiesDock;
class QAction;
class QGraphicsScene;
class QLabel;
class QLineEdit;
class QMenu;
class Request;
class Response;
class StorageService;

namespace Semtra {
class TcpConnection;
}

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
    void connectToService(const QString& host, quint16 port);
    void setStorageDirectory(const QString& directory);
    // Automated sessions leave the user's recent files and layout alone.
    void setPersistSettings(bool persist);

    StorageService* storage() const;
    // Zones as the dump shows them, with the map's place in the window and
    // the module library in use.
    QJsonObject stateJson() const;
    bool saveScreenshot(const QString& fileName);

public slots:
    void fitZone();
    void fitAll();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void openZoneDialog();
    void editZone();
    void newZoneInFolder();
    void connectDialog();
    void disconnectService();
    void chooseStorageFolder();
    void runCommand();

    void zoneAdded(QObject* zone);
    void zoneAboutToBeRemoved(QObject* zone);
    void zoneReloaded(const QString& fileName, QObject* zone);
    void reloadFailed(const QString& fileName, const QString& reason);
    void objectStateChanged(const QObject* object);
    void zoneRequest(QObject* zone, const Request* request);
    void zoneResponseFinished(QObject* zone, const Response* response);
    void zoneLinkChanged(QObject* zone, bool up);
    void connectionStateChanged(Semtra::Connection::State state);

    void treeObjectSelected(QObject* object);
    void sceneSelectionChanged();
    void cursorMoved(const QPointF& scenePos);
    void updateServiceStatus();
    void updateRecentMenu();

private:
    void createMenus();
    void createDocks();
    void createStatusBar();
    // The zone a command or an edit is meant for: the selected one, or the only one.
    QObject* targetZone() const;
    void updateCommandTarget();
    // The hash mismatch banner, from the zones' hashInvalid; a zone about to
    // go (leaving) no longer counts. The module sets hashInvalid before the
    // reply that carries the service's hash is announced as finished.
    void updateHashStatus(const QObject* leaving = nullptr);
    // Rereads the properties shown when they are those of the object that changed.
    void refreshProperties(const QObject* changed);
    void updateSceneRect();
    QRectF zoneRect(QObject* zone) const;

    ModuleHost* m_host;
    Settings m_settings;
    QGraphicsScene* m_scene;
    MapView* m_map;
    LightLayer* m_lights;
    ObjectTreeModel* m_treeModel;
    ObjectTreeDock* m_objectsDock;
    PropertiesDock* m_propertiesDock;
    LogDock* m_logDock;
    StorageService* m_storage;
    Semtra::TcpConnection* m_connection;

    QLineEdit* m_commandEdit = nullptr;
    QLabel* m_commandTarget = nullptr;
    QLabel* m_cursorLabel = nullptr;
    QLabel* m_linkLabel = nullptr;
    QLabel* m_hashLabel = nullptr;
    QMenu* m_recentMenu = nullptr;
    QAction* m_disconnectAction = nullptr;

    // Responses of typed commands: logged through their own finished().
    QSet<const Response*> m_typedResponses;
    bool m_sendingTyped = false;
    bool m_syncingSelection = false;
    bool m_persistSettings = true;
};
