#include "Plugin.h"

#include <QCoreApplication>
#include <QGraphicsScene>
#include <QVector>
#include <QLoggingCategory>

#include "Logging.h"
#include "Area.h"
#include "Controller.h"
#include "Strategy.h"
#include "Translations.h"
#include "Zone.h"

static void initVelmoraResources()
{
    Q_INIT_RESOURCE(velmora);
}

namespace Velmora {

namespace {

// Types that the host meets in invokable signatures and properties.
void registerTypes()
{
    qRegisterMetaType<Velmora::BaseObject*>("Velmora::BaseObject*");
    qRegisterMetaType<Velmora::Controller*>("Velmora::Controller*");
    qRegisterMetaType<Velmora::Area*>("Velmora::Area*");
    qRegisterMetaType<Velmora::Strategy*>("Velmora::Strategy*");
    qRegisterMetaType<Velmora::Zone*>("Velmora::Zone*");
    qRegisterMetaType<QList<Velmora::BaseObject*>>("QList<Velmora::BaseObject*>");
    qRegisterMetaType<QList<Velmora::Controller*>>("QList<Velmora::Controller*>");
    qRegisterMetaType<QList<Velmora::Area*>>("QList<Velmora::Area*>");
    qRegisterMetaType<QList<Velmora::Strategy*>>("QList<Velmora::Strategy*>");
}

// Resources and types are there as soon as the library is loaded.
struct LibraryInit
{
    LibraryInit()
    {
        initVelmoraResources();
        registerTypes();
    }
} libraryInit;

// Map items need Qt's type registry when they are torn down, and at process
// exit the registry is gone before the library is unloaded. So the zones of
// every root object go while the application still exists.
Q_GLOBAL_STATIC(QVector<Plugin*>, liveRoots)

void deleteZonesBeforeExit()
{
    if (!liveRoots.exists())
        return;
    const QVector<Plugin*> roots = *liveRoots;
    for (Plugin* root : roots)
        qDeleteAll(root->findChildren<Zone*>(QString(), Qt::FindDirectChildrenOnly));
}

} // namespace

Plugin::Plugin(QObject* parent)
    : QObject(parent)
{
    // The host made its application before asking for us: the user's
    // language applies from the first dialog on.
    static const bool translated = installTranslation();
    Q_UNUSED(translated)
    if (liveRoots->isEmpty())
        qAddPostRoutine(deleteZonesBeforeExit);
    liveRoots->append(this);
}

Plugin::~Plugin()
{
    if (liveRoots.isDestroyed())
        return;
    liveRoots->removeAll(this);
    if (liveRoots->isEmpty())
        qRemovePostRoutine(deleteZonesBeforeExit);
}

QObject* Plugin::load(QString fileName)
{
    auto* zone = new Zone(this);
    if (!zone->load(fileName)) {
        delete zone;
        return nullptr;
    }
    setVisible(m_visible);
    emit zoneLoaded(zone);
    return zone;
}

void Plugin::editZone(QString fileName, QObject* cnfStorage)
{
    Q_UNUSED(cnfStorage)
    if (fileName.isEmpty())
        return;
    qCWarning(lcEdit, "Velmora::Plugin::editZone: zone editing is not available in this build (%s)",
             qUtf8Printable(fileName));
}

void Plugin::editZone(QString fileName)
{
    editZone(fileName, nullptr);
}

QString Plugin::moduleVersion() const
{
    return QStringLiteral("2.3.38");
}

bool Plugin::isVisible() const
{
    return m_visible;
}

void Plugin::setVisible(bool visible)
{
    m_visible = visible;
    QGraphicsScene* scene = nullptr;
    const QObjectList zones = children();
    for (QObject* child : zones) {
        auto* zone = qobject_cast<Zone*>(child);
        if (!zone)
            continue;
        if (!scene)
            scene = zone->scene();
        zone->setProperty("visible", visible);
        const QList<Area*> areas = zone->areas();
        for (Area* area : areas)
            area->setProperty("visible", visible);
    }
    if (visible && scene)
        scene->update(QRectF());
}

void Plugin::zoneEditComplete(int result)
{
    Q_UNUSED(result)
    if (QObject* editor = sender())
        editor->deleteLater();
}

} // namespace Velmora
