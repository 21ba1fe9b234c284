#pragma once

#include <QString>

namespace Velmora {
namespace Bench {

// A zone file of `areas` areas laid out on a grid of 0.01 degrees: each with
// an outline, 20 controllers, 8 states that set all of them, a calendar of two
// day cards and a special day; `strategies` strategies list every area. With
// `complete`, also what the zone editor asks for before it accepts: a zone
// calendar over the strategies and a default strategy.
// Dies with a message when the file cannot be written.
void writeZone(const QString& path, int areas, int strategies = 3, bool complete = false);

} // namespace Bench
} // namespace Velmora
