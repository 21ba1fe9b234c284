#pragma once

class QString;

namespace Velmora {

class Area;
class Zone;
struct AreaDescription;
struct ZoneDescription;

// Makes the model objects of a zone from its description: the one place
// where controllers, areas with their states and map items, and strategies
// are made from a file, whichever parser read it. GUI thread.
class ZoneBuilder
{
public:
    // Builds into a zone that holds no objects. False with the description's
    // error when it has one; the objects read before the fault are built.
    static bool build(Zone* zone, const ZoneDescription& description, QString* error);
    // An area's outline, states and controller ids (not its id and name).
    static void fillArea(Area* area, const AreaDescription& description);
};

} // namespace Velmora
