#pragma once

#include <QString>

namespace Velmora {

class MainWindow;
class ModuleHost;
namespace Bench {

// What a storm of area events did to the workstation.
struct StormFigures
{
    double eventsPerSecond = 0;
    qint64 longestBlockMs = 0; // how late a 5 ms timer fired at worst
    // The same from the GUI thread's processor time between two firings of
    // that timer: the longest block as the thread's own work, whatever else
    // the machine was busy with.
    double longestBlockCpuMs = 0;
    int frames = 0;            // map frames drawn during the flood
    bool lastStateShown = false;
    QString problem; // empty when the storm ran and ended as sent
};

// Links `window`, which shows the zone `host` loaded first (areas numbered 1
// to `areas`), to a fake control service on the loopback that answers the
// link's queries and then, for `floodMs`, sends area state events as fast as
// the workstation reads them; then one last known state for every area, and
// checks that the zone holds it and the map was drawn after it.
StormFigures runEventStorm(ModuleHost* host, MainWindow* window, int areas, int floodMs);

} // namespace Bench
} // namespace Velmora
