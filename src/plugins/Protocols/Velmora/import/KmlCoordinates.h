#pragma once

#include <QString>

// Outlines travel between Geometry text ("x,y;x,y", x = longitude, y =
// latitude) and KML coordinates ("lon,lat,alt lon,lat,alt ..."). Numbers are
// copied as text, never reformatted, so an outline that goes out and comes
// back in reads exactly as before.
namespace Velmora {
namespace Kml {

// Geometry text as a closed KML ring: every point becomes "x,y,0", each tuple
// is followed by one blank, and the first point is repeated at the end unless
// the outline already ends on it. Empty when the text is no polygon: not a
// valid point list (empty, a trailing ';', a field without two finite
// numbers) or fewer than three points.
QString toKmlCoordinates(const QString& geometry);

// KML coordinates as Geometry text. Tuples are separated by any white space
// (blanks around the commas of a tuple are tolerated) and hold longitude,
// latitude and an optional altitude, which is dropped. A last tuple that
// closes the ring on the first point is dropped too. Empty when a tuple is not
// two or three finite numbers or fewer than three points remain.
QString fromKmlCoordinates(const QString& coordinates);

} // namespace Kml
} // namespace Velmora
