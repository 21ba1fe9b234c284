#pragma once

class QObject;
class QString;

namespace Velmora {

class LightLayer;
class ModuleHost;

// The host's lights of each open zone: read from the file beside the zone's,
// named after the zone's controllers, and found again from either side.
class ZoneLights
{
public:
    ZoneLights(ModuleHost* host, LightLayer* layer);

    // Reads the zone's lights file when there is one and names its lights.
    // False with the reason when the file is there but does not load.
    bool load(QObject* zone, QString* error);
    void clear(QObject* zone);
    // The controller a light stands for; null for anything that is no light of an open zone.
    QObject* controllerOf(const QObject* light) const;
    // Selects the controller's lights on the map.
    void select(QObject* controller);

private:
    void name(QObject* zone);

    ModuleHost* m_host;
    LightLayer* m_layer;
};

} // namespace Velmora
