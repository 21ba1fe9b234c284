#include "ZoneLights.h"

#include "Light.h"
#include "LightLayer.h"
#include "ModuleHost.h"

#include <QFileInfo>
#include <QGraphicsItem>
#include <QHash>

namespace Velmora {

ZoneLights::ZoneLights(ModuleHost* host, LightLayer* layer)
    : m_host(host)
    , m_layer(layer)
{
}

bool ZoneLights::load(QObject* zone, QString* error)
{
    const QString file = ModuleHost::zoneFile(zone);
    const QString lightsFile = LightLayer::lightsFileFor(file);
    if (QFileInfo::exists(lightsFile) && !m_layer->load(file, lightsFile, error))
        return false;
    name(zone);
    return true;
}

void ZoneLights::clear(QObject* zone)
{
    m_layer->clear(ModuleHost::zoneFile(zone));
}

void ZoneLights::name(QObject* zone)
{
    const QList<Semtra::Light*> lights = m_layer->lights(ModuleHost::zoneFile(zone));
    // Most zones have no lights of the host's: their objects are not walked for nothing.
    if (lights.isEmpty())
        return;
    QHash<int, QString> names;
    for (const QObject* controller : ModuleHost::controllersOf(zone))
        names.insert(controller->property("id").toInt(), controller->property("name").toString());
    for (Semtra::Light* light : lights)
        light->setController(names.value(light->id()));
}

QObject* ZoneLights::controllerOf(const QObject* object) const
{
    const auto* light = qobject_cast<const Semtra::Light*>(object);
    if (!light)
        return nullptr;
    QObject* zone = m_host->zoneForFile(m_layer->keyOf(light));
    for (QObject* controller : ModuleHost::controllersOf(zone)) {
        if (controller->property("id").toInt() == light->id())
            return controller;
    }
    return nullptr;
}

void ZoneLights::select(QObject* controller)
{
    QObject* zone = ModuleHost::zoneOf(controller);
    const int id = controller->property("id").toInt();
    for (Semtra::Light* light : m_layer->lights(ModuleHost::zoneFile(zone))) {
        if (light->id() == id && light->item())
            light->item()->setSelected(true);
    }
}

} // namespace Velmora
