#include "ModuleHost.h"

#include "ModuleCalls.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QSet>

namespace Velmora {

using VelmoraHost::connectByName;
using VelmoraHost::invoke;

namespace {

const char ZoneClass[] = "Velmora::Zone";
const char AreaClass[] = "Velmora::Area";
const char ControllerClass[] = "Velmora::Controller";

// The objects of the class under `parent`, in tree order. Objects of these
// classes hold none of their own kind, so the walk does not go into them: a
// large district's areas hold tens of thousands of states.
void collect(const QObject* parent, const char* className, QList<QObject*>* found)
{
    if (!parent)
        return;
    for (QObject* child : parent->children()) {
        if (child->inherits(className))
            found->append(child);
        else
            collect(child, className, found);
    }
}

// One step of a place: the class, and the id or, for objects without one, the ordinal among the class's siblings.
QString placeStep(const QObject* object, int ordinal)
{
    const QVariant id = object->property("id");
    return id.isValid() ? QStringLiteral("%1 %2").arg(QLatin1String(object->metaObject()->className())).arg(id.toInt())
                        : QStringLiteral("%1 #%2").arg(QLatin1String(object->metaObject()->className())).arg(ordinal);
}

// The ordinal placeStep() takes for an object without an id.
int ordinalAmongItsClass(const QObject* object)
{
    int ordinal = 0;
    for (const QObject* sibling : object->parent()->children()) {
        if (sibling == object)
            break;
        if (sibling->metaObject() == object->metaObject())
            ++ordinal;
    }
    return ordinal;
}

} // namespace

ModuleHost::ModuleHost(QObject* parent)
    : QObject(parent)
{
}

ModuleHost::~ModuleHost()
{
    unloadAll();
    if (m_root)
        disconnect(m_root, nullptr, this, nullptr);
}

bool ModuleHost::loadPlugin(const QString& path, QString* error)
{
    if (!m_plugin.load(path, error))
        return false;
    QObject* root = m_plugin.root();
    if (m_root != root) {
        if (m_root)
            disconnect(m_root, nullptr, this, nullptr);
        m_root = root;
        connectByName(root, SIGNAL(zoneEdited(QString)), this, SLOT(onZoneEdited(QString)));
    }
    return true;
}

QString ModuleHost::pluginFile() const
{
    return m_plugin.fileName();
}

QObject* ModuleHost::root() const
{
    return m_root;
}

QGraphicsScene* ModuleHost::scene() const
{
    return m_scene;
}

void ModuleHost::setScene(QGraphicsScene* scene)
{
    m_scene = scene;
    for (QObject* zone : zones())
        invoke(zone, "setScene", Q_ARG(QGraphicsScene*, scene));
}

QObject* ModuleHost::connection() const
{
    return m_connection;
}

void ModuleHost::setConnection(QObject* connection)
{
    m_connection = connection;
    for (QObject* zone : zones())
        invoke(zone, "setConnection", Q_ARG(QObject*, connection));
}

void ModuleHost::refreshZones()
{
    if (!m_connection)
        return;
    for (QObject* zone : zones())
        invoke(zone, "refresh");
}

bool ModuleHost::askReadAhead(const QString& fileName)
{
    // Modules without it load the file in load() alone.
    QObject* loadAhead = m_root ? m_root->property("loadAhead").value<QObject*>() : nullptr;
    if (!loadAhead || loadAhead->metaObject()->indexOfMethod("prepare(QString,QObject*,QString)") < 0)
        return false;
    return invoke(loadAhead, "prepare", Q_ARG(QString, fileName), Q_ARG(QObject*, this),
                  Q_ARG(QString, QStringLiteral("onZoneFileRead")));
}

void ModuleHost::readAhead(const QString& fileName)
{
    QEventLoop wait;
    bool read = false;
    connect(this, &ModuleHost::zoneFileRead, &wait, [&](const QString& file) {
        if (file != fileName)
            return;
        read = true;
        wait.quit();
    });
    if (m_root)
        connect(m_root, &QObject::destroyed, &wait, &QEventLoop::quit);
    if (!askReadAhead(fileName))
        return;
    // Ends early only when the application quits or the module goes; the load
    // then reads the file itself.
    if (!read)
        wait.exec(QEventLoop::ExcludeUserInputEvents);
}

void ModuleHost::onZoneFileRead(QString fileName, bool)
{
    emit zoneFileRead(fileName);
    const auto edited = m_editedFiles.find(fileName);
    if (edited == m_editedFiles.end())
        return;
    const EditedFile file = edited.value();
    m_editedFiles.erase(edited);
    // A zone the user closed while its file was read stays closed.
    if (file.wasOpen && !zoneForFile(file.name))
        return;
    replaceZone(file.name, fileName);
}

QObject* ModuleHost::invokeLoad(const QString& fileName, QString* error)
{
    const VelmoraHost::ZoneLoad loaded = VelmoraHost::loadZone(m_root, fileName, VelmoraHost::WarningCapture::PassOn);
    if (!loaded.zone)
        *error = loaded.error;
    return loaded.zone;
}

void ModuleHost::attach(QObject* zone)
{
    if (m_scene)
        invoke(zone, "setScene", Q_ARG(QGraphicsScene*, m_scene.data()));
    connectByName(zone, SIGNAL(stateChanged(const QObject*)), this, SLOT(onStateChanged(const QObject*)));
    connectByName(zone, SIGNAL(areaStateChanged(const QObject*)), this, SLOT(onStateChanged(const QObject*)));
    connectByName(zone, SIGNAL(notification(const Notification*)), this, SLOT(onNotification(const Notification*)));
    connectByName(zone, SIGNAL(connected(bool)), this, SLOT(onLinkChanged(bool)));
    connectByName(zone, SIGNAL(request(const Request*)), this, SLOT(onRequest(const Request*)));
    connectByName(zone, SIGNAL(responseFinished(const Response*)), this,
                  SLOT(onResponseFinished(const Response*)));
    if (m_connection) {
        invoke(zone, "setConnection", Q_ARG(QObject*, m_connection.data()));
        // The service announced its objects before this zone existed.
        invoke(zone, "refresh");
    }
}

QObject* ModuleHost::loadZone(const QString& fileName, QString* error)
{
    if (QObject* loaded = zoneForFile(fileName))
        return loaded;
    const QString path = QFileInfo(fileName).absoluteFilePath();
    readAhead(path);
    // Another load of the same file may have finished while this one waited.
    if (QObject* loaded = zoneForFile(fileName))
        return loaded;
    QObject* zone = invokeLoad(path, error);
    if (!zone)
        return nullptr;
    attach(zone);
    emit zoneAdded(zone);
    return zone;
}

void ModuleHost::unloadZone(QObject* zone)
{
    if (!zone)
        return;
    emit zoneAboutToBeRemoved(zone);
    delete zone;
}

void ModuleHost::unloadAll()
{
    for (QObject* zone : zones())
        unloadZone(zone);
}

QList<QObject*> ModuleHost::zones() const
{
    QList<QObject*> result;
    if (!m_root)
        return result;
    for (QObject* child : m_root->children()) {
        if (isZone(child))
            result.append(child);
    }
    return result;
}

QObject* ModuleHost::zoneForFile(const QString& fileName) const
{
    for (QObject* zone : zones()) {
        if (sameFile(zoneFile(zone), fileName))
            return zone;
    }
    return nullptr;
}

Response* ModuleHost::sendCommand(QObject* zone, const QVariant& command, const QVariant& parameter)
{
    Response* response = nullptr;
    if (!zone)
        return nullptr;
    invoke(zone, "sendCommand", Q_RETURN_ARG(Response*, response), Q_ARG(QVariant, command),
           Q_ARG(QVariant, parameter));
    return response;
}

bool ModuleHost::editZone(const QString& fileOrFolder, QObject* storage)
{
    if (!m_root)
        return false;
    const QWidgetList before = QApplication::topLevelWidgets();
    const QSet<QWidget*> known(before.begin(), before.end());
    if (!invoke(m_root, "editZone", Q_ARG(QString, fileOrFolder), Q_ARG(QObject*, storage)))
        return false;
    // The editor is modal but not blocking: if there is one, it is showing now.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!known.contains(widget) && qobject_cast<QDialog*>(widget) && widget->isVisible())
            return true;
    }
    return false;
}

bool ModuleHost::isZone(const QObject* object)
{
    return object && object->inherits(ZoneClass);
}

QObject* ModuleHost::zoneOf(QObject* object)
{
    for (QObject* o = object; o; o = o->parent()) {
        if (isZone(o))
            return o;
    }
    return nullptr;
}

QString ModuleHost::zoneFile(QObject* zone)
{
    return VelmoraHost::modelData(zone, 2, Qt::DisplayRole).toString();
}

QList<QObject*> ModuleHost::areasOf(QObject* zone)
{
    QList<QObject*> areas;
    collect(zone, AreaClass, &areas);
    return areas;
}

QObject* ModuleHost::areaById(QObject* zone, int id)
{
    const QList<QObject*> areas = areasOf(zone);
    for (QObject* area : areas) {
        if (area->property("id").toInt() == id)
            return area;
    }
    return nullptr;
}

QStringList ModuleHost::placeInZone(const QObject* object)
{
    QStringList place;
    for (const QObject* o = object; o && !isZone(o); o = o->parent()) {
        if (!o->parent())
            return QStringList();
        place.prepend(placeStep(o, ordinalAmongItsClass(o)));
    }
    return place;
}

QObject* ModuleHost::objectAtPlace(QObject* zone, const QStringList& place)
{
    QObject* object = zone;
    for (const QString& step : place) {
        QObject* next = nullptr;
        // Counted as we go: a list of twenty thousand is walked once.
        QHash<const QMetaObject*, int> ordinals;
        for (QObject* child : object->children()) {
            if (placeStep(child, ordinals[child->metaObject()]++) == step) {
                next = child;
                break;
            }
        }
        if (!next)
            return nullptr;
        object = next;
    }
    return object;
}

QList<QObject*> ModuleHost::controllersOf(QObject* zone)
{
    QList<QObject*> controllers;
    collect(zone, ControllerClass, &controllers);
    return controllers;
}

bool ModuleHost::isController(const QObject* object)
{
    return object && object->inherits(ControllerClass);
}

bool ModuleHost::isArea(const QObject* object)
{
    return object && object->inherits(AreaClass);
}

QString ModuleHost::stateName(QObject* area, int id)
{
    if (!isArea(area) || id < 0)
        return QString();
    // The module hands the state out as its own base class; a pointer is a
    // pointer, so it is taken by that type's name.
    QObject* state = nullptr;
    if (!QMetaObject::invokeMethod(area, "state", QGenericReturnArgument("Velmora::BaseObject*", &state),
                                   Q_ARG(int, id)))
        return QString();
    return state ? state->property("name").toString() : QString();
}

QString ModuleHost::strategyName(QObject* zone, int id)
{
    if (!zone || id < 0)
        return QString();
    QObject* strategy = nullptr;
    invoke(zone, "strategy", Q_RETURN_ARG(QObject*, strategy), Q_ARG(uint, uint(id)));
    return strategy ? strategy->property("name").toString() : QString();
}

QGraphicsItem* ModuleHost::graphicsItem(QObject* object)
{
    QGraphicsItem* item = nullptr;
    // Only the module's map objects have an item; the host's lights do not.
    if (object && object->metaObject()->indexOfMethod("graphicsItem()") >= 0)
        invoke(object, "graphicsItem", Q_RETURN_ARG(QGraphicsItem*, item));
    return item;
}

bool ModuleHost::sameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo left(a);
    const QFileInfo right(b);
    const QString canonicalLeft = left.canonicalFilePath();
    if (!canonicalLeft.isEmpty() && canonicalLeft == right.canonicalFilePath())
        return true;
    return left.absoluteFilePath() == right.absoluteFilePath();
}

void ModuleHost::onZoneEdited(QString fileName)
{
    // The module's editor is still closing: it goes while the module reads the
    // file, and the zone is replaced once the reading is in.
    const QString path = QFileInfo(fileName).absoluteFilePath();
    if (m_editedFiles.contains(path) || !askReadAhead(path)) {
        reloadZone(fileName);
        return;
    }
    m_editedFiles.insert(path, {fileName, zoneForFile(fileName) != nullptr});
    emit zoneFileReloading(path);
}

void ModuleHost::reloadZone(const QString& fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    emit zoneFileReloading(path);
    readAhead(path);
    replaceZone(fileName, path);
}

void ModuleHost::replaceZone(const QString& fileName, const QString& path)
{
    // Taken now: a wait for the reading may have replaced it.
    QObject* old = zoneForFile(fileName);
    // Load first: a file that no longer loads leaves the old zone in place.
    QString error;
    QObject* fresh = invokeLoad(path, &error);
    if (!fresh) {
        emit reloadFailed(fileName, error);
        return;
    }
    unloadZone(old);
    attach(fresh);
    emit zoneAdded(fresh);
    emit zoneReloaded(fileName, fresh);
}

void ModuleHost::onStateChanged(const QObject* object)
{
    emit objectStateChanged(object);
}

void ModuleHost::onNotification(const Notification* notification)
{
    emit zoneNotification(sender(), notification);
}

void ModuleHost::onLinkChanged(bool up)
{
    emit zoneLinkChanged(sender(), up);
}

void ModuleHost::onRequest(const Request* request)
{
    emit zoneRequest(sender(), request);
}

void ModuleHost::onResponseFinished(const Response* response)
{
    emit zoneResponseFinished(sender(), response);
}

} // namespace Velmora
