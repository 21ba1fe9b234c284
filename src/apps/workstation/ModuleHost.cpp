#include "ModuleHost.h"

#include "ModuleInterface.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QSet>
#include <QStringList>

namespace {

// The module reports load failures only through the message log.
QStringList* capturedWarnings = nullptr;
QtMessageHandler previousHandler = nullptr;

void captureWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (capturedWarnings && type != QtDebugMsg && type != QtInfoMsg)
        capturedWarnings->append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

class WarningCapture
{
public:
    explicit WarningCapture(QStringList* target)
    {
        capturedWarnings = target;
        previousHandler = qInstallMessageHandler(captureWarning);
    }
    ~WarningCapture()
    {
        qInstallMessageHandler(previousHandler);
        previousHandler = nullptr;
        capturedWarnings = nullptr;
    }
};

const char ZoneClass[] = "Velmora::Zone";
const char AreaClass[] = "Velmora::Area";

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

QString ModuleHost::defaultPluginPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../plugins/libVelmora.so"));
}

bool ModuleHost::loadPlugin(const QString& path, QString* error)
{
    m_loader.setFileName(path);
    const QString iid = m_loader.metaData().value(QStringLiteral("IID")).toString();
    if (iid != QLatin1String(VELMORA_MODULE_IID)) {
        *error = iid.isEmpty() ? tr("%1 is not a Qt plug-in: %2").arg(path, m_loader.errorString())
                               : tr("%1 declares the interface %2, not a Velmora module").arg(path, iid);
        return false;
    }
    QObject* root = m_loader.instance();
    if (!root) {
        *error = m_loader.errorString();
        return false;
    }
    if (m_root != root) {
        if (m_root)
            disconnect(m_root, nullptr, this, nullptr);
        m_root = root;
        connect(root, SIGNAL(zoneEdited(QString)), this, SLOT(onZoneEdited(QString)));
    }
    return true;
}

QString ModuleHost::pluginFile() const
{
    return m_loader.fileName();
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
        QMetaObject::invokeMethod(zone, "setScene", Q_ARG(QGraphicsScene*, scene));
}

QObject* ModuleHost::connection() const
{
    return m_connection;
}

void ModuleHost::setConnection(QObject* connection)
{
    m_connection = connection;
    for (QObject* zone : zones())
        QMetaObject::invokeMethod(zone, "setConnection", Q_ARG(QObject*, connection));
}

void ModuleHost::refreshZones()
{
    if (!m_connection)
        return;
    for (QObject* zone : zones())
        QMetaObject::invokeMethod(zone, "refresh");
}

QObject* ModuleHost::invokeLoad(const QString& fileName, QString* error)
{
    if (!m_root) {
        *error = tr("The module is not loaded");
        return nullptr;
    }
    QStringList warnings;
    QObject* zone = nullptr;
    bool invoked;
    {
        WarningCapture capture(&warnings);
        invoked = QMetaObject::invokeMethod(m_root, "load", Q_RETURN_ARG(QObject*, zone),
                                            Q_ARG(QString, QFileInfo(fileName).absoluteFilePath()));
    }
    if (!invoked)
        *error = tr("The module has no load(QString)");
    else if (!zone)
        *error = warnings.isEmpty() ? tr("The module refused %1").arg(fileName) : warnings.join(QLatin1Char('\n'));
    return zone;
}

void ModuleHost::attach(QObject* zone)
{
    if (m_scene)
        QMetaObject::invokeMethod(zone, "setScene", Q_ARG(QGraphicsScene*, m_scene.data()));
    connect(zone, SIGNAL(stateChanged(const QObject*)), this, SLOT(onStateChanged(const QObject*)));
    connect(zone, SIGNAL(areaStateChanged(const QObject*)), this, SLOT(onStateChanged(const QObject*)));
    connect(zone, SIGNAL(notification(const Notification*)), this, SLOT(onNotification(const Notification*)));
    connect(zone, SIGNAL(connected(bool)), this, SLOT(onLinkChanged(bool)));
    connect(zone, SIGNAL(request(const Request*)), this, SLOT(onRequest(const Request*)));
    connect(zone, SIGNAL(responseFinished(const Response*)), this, SLOT(onResponseFinished(const Response*)));
    if (m_connection) {
        QMetaObject::invokeMethod(zone, "setConnection", Q_ARG(QObject*, m_connection.data()));
        // The service announced its objects before this zone existed.
        QMetaObject::invokeMethod(zone, "refresh");
    }
}

QObject* ModuleHost::loadZone(const QString& fileName, QString* error)
{
    if (QObject* loaded = zoneForFile(fileName))
        return loaded;
    QObject* zone = invokeLoad(fileName, error);
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
    QMetaObject::invokeMethod(zone, "sendCommand", Q_RETURN_ARG(Response*, response), Q_ARG(QVariant, command),
                              Q_ARG(QVariant, parameter));
    return response;
}

bool ModuleHost::editZone(const QString& fileOrFolder, QObject* storage)
{
    if (!m_root)
        return false;
    const QWidgetList before = QApplication::topLevelWidgets();
    const QSet<QWidget*> known(before.begin(), before.end());
    QMetaObject::invokeMethod(m_root, "editZone", Q_ARG(QString, fileOrFolder), Q_ARG(QObject*, storage));
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
    return modelData(zone, 2, Qt::DisplayRole).toString();
}

QList<QObject*> ModuleHost::areasOf(QObject* zone)
{
    QList<QObject*> areas;
    if (!zone)
        return areas;
    const QList<QObject*> all = zone->findChildren<QObject*>();
    for (QObject* object : all) {
        if (object->inherits(AreaClass))
            areas.append(object);
    }
    return areas;
}

bool ModuleHost::hasModelData(const QObject* object)
{
    return object && object->metaObject()->indexOfMethod("modelData(int,int)") >= 0;
}

QVariant ModuleHost::modelData(QObject* object, int column, int role)
{
    QVariant value;
    if (hasModelData(object))
        QMetaObject::invokeMethod(object, "modelData", Q_RETURN_ARG(QVariant, value), Q_ARG(int, column),
                                  Q_ARG(int, role));
    return value;
}

QGraphicsItem* ModuleHost::graphicsItem(QObject* object)
{
    QGraphicsItem* item = nullptr;
    if (object && object->metaObject()->indexOfMethod("graphicsItem()") >= 0)
        QMetaObject::invokeMethod(object, "graphicsItem", Q_RETURN_ARG(QGraphicsItem*, item));
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
    QObject* old = zoneForFile(fileName);
    // Load first: a file that no longer loads leaves the old zone in place.
    QString error;
    QObject* fresh = invokeLoad(fileName, &error);
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
