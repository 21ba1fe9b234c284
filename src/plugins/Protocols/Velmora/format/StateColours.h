#pragma once

#include <QtCore/qnamespace.h>

// How the map colours a zone and an area by their control state. One table
// for the module's map items and for whatever else draws a zone or an area
// as the map does (the workstation's replay of a recorded moment).
namespace Velmora {
namespace StateColours {

// Painter opacity of an area's fill, of a selected item, of a zone's fill.
constexpr double AreaOpacity = 0.7;
constexpr double SelectedOpacity = 1.0;
constexpr double ZoneOpacity = 0.3;

// An area without control (none reported, or not controlled) is drawn only while selected.
bool isAreaShown(int controlSource);
Qt::GlobalColor areaFill(int controlSource);
// The hatch over an area in a special state; false when there is none.
bool areaOverlay(int specialState, Qt::GlobalColor* colour);
// Grey while the zone is not linked; control source 3 is red for a zone, green for an area.
Qt::GlobalColor zoneFill(bool connected, int controlSource);

} // namespace StateColours
} // namespace Velmora
