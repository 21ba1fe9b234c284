#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "ModulePlugin.h"

class QGraphicsItem;
class QGraphicsScene;
class Notification;
class Request;
class Response;

namespace Velmora {

// The workstation's side of the Velmora module: loads the plug-in and drives
// its root object and zones purely through the meta-object system (methods,
// properties and signals by name), as any host of the module does. A call or
// connection by name that does not take is logged (velmora.host).
class ModuleHost : public QObject
{
    Q_OBJECT
public:
    explicit ModuleHost(QObject* parent = nullptr);
    // Deletes the loaded zones: they must not outlive the application object.
    ~ModuleHost() override;

    // Refuses a library that is not the module, or lacks what hosts call.
    bool loadPlugin(const QString& path, QString* error);
    // The library loadPlugin last looked at, as the loader resolved it.
    QString pluginFile() const;
    QObject* root() const;

    QGraphicsScene* scene() const;
    // Puts every loaded zone, and every later one, on the scene.
    void setScene(QGraphicsScene* scene);
    QObject* connection() const;
    // Hands the command connection to every zone, now and later.
    void setConnection(QObject* connection);
    // Lets zones check whether their link is already up on the connection.
    void refreshZones();

    // A file already loaded gives its zone again. Null on failure, with the
    // module's complaints in *error.
    QObject* loadZone(const QString& fileName, QString* error);
    void unloadZone(QObject* zone);
    void unloadAll();
    QList<QObject*> zones() const;
    QObject* zoneForFile(const QString& fileName) const;

    // Null when the zone refused (link down, unknown command, bad parameter).
    Response* sendCommand(QObject* zone, const QVariant& command, const QVariant& parameter);
    // Loads the file again and replaces its zone (zoneReloaded); a file that
    // no longer loads keeps the old zone (reloadFailed).
    void reloadZone(const QString& fileName);
    // Opens the module's zone editor for a file, or for a new zone in a folder.
    // True when an editor window appeared.
    bool editZone(const QString& fileOrFolder, QObject* storage);

    static bool isZone(const QObject* object);
    // The zone an object belongs to (itself for a zone); null outside zones.
    static QObject* zoneOf(QObject* object);
    static QString zoneFile(QObject* zone);
    static QList<QObject*> areasOf(QObject* zone);
    static QObject* areaById(QObject* zone, int id);
    // Where an object stands in its zone, step by step down from the zone:
    // each step the class and the id, or the place among its class where it
    // has none. The same file loaded again has the object's like at that place.
    static QStringList placeInZone(const QObject* object);
    // The object at the place in the zone; null when the zone has none there.
    static QObject* objectAtPlace(QObject* zone, const QStringList& place);
    static QList<QObject*> controllersOf(QObject* zone);
    static bool isController(const QObject* object);
    static bool isArea(const QObject* object);
    // The name of one of an area's states; empty when it has none of that id.
    static QString stateName(QObject* area, int id);
    // The strategy's name as the zone's file gives it; empty when there is none.
    static QString strategyName(QObject* zone, int id);
    static QGraphicsItem* graphicsItem(QObject* object);
    static bool sameFile(const QString& a, const QString& b);

signals:
    // A file asked for ahead of its load has been read by the module.
    void zoneFileRead(const QString& fileName);
    // A zone's file is loaded again from what it holds now. The event loop
    // runs on while the module reads it, so whoever follows the file on disk
    // learns here that this content is taken care of.
    void zoneFileReloading(const QString& fileName);
    void zoneAdded(QObject* zone);
    // Emitted before the zone is deleted; drop every reference to it and its objects.
    void zoneAboutToBeRemoved(QObject* zone);
    void zoneReloaded(const QString& fileName, QObject* zone);
    void reloadFailed(const QString& fileName, const QString& reason);
    // A zone or an area changed its live state.
    void objectStateChanged(const QObject* object);
    void zoneLinkChanged(QObject* zone, bool up);
    void zoneNotification(QObject* zone, const Notification* notification);
    // Every request a zone sends, the host's own and the zone's link queries alike.
    void zoneRequest(QObject* zone, const Request* request);
    void zoneResponseFinished(QObject* zone, const Response* response);

private slots:
    // Connected by signature to the root's zoneEdited(QString).
    void onZoneEdited(QString fileName);
    // Called by name by the root when a file it was asked to read ahead is read.
    void onZoneFileRead(QString fileName, bool ok);
    void onStateChanged(const QObject* object);
    void onNotification(const Notification* notification);
    void onLinkChanged(bool up);
    void onRequest(const Request* request);
    void onResponseFinished(const Response* response);

private:
    // Asks the module to read the file on its worker thread, where it can;
    // onZoneFileRead() hears when it is read. False for a module that cannot.
    bool askReadAhead(const QString& fileName);
    // Has the module read the file on its worker thread, where it can, while
    // the event loop keeps the window drawn and the links served (user input
    // waits), so that the load itself only builds the zone's objects.
    void readAhead(const QString& fileName);
    // The module's load of an absolute path.
    QObject* invokeLoad(const QString& fileName, QString* error);
    // Loads the file at the absolute `path` in place of the zone of `fileName`.
    void replaceZone(const QString& fileName, const QString& path);
    void attach(QObject* zone);

    VelmoraHost::ModulePlugin m_plugin;
    QPointer<QObject> m_root;
    QPointer<QGraphicsScene> m_scene;
    QPointer<QObject> m_connection;
    // A file the module wrote and is reading again: the name it gave, and
    // whether its zone was open then (a new zone's file opens once read).
    struct EditedFile
    {
        QString name;
        bool wasOpen = false;
    };
    // By absolute path.
    QHash<QString, EditedFile> m_editedFiles;
};

} // namespace Velmora
