#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

// The point-list text of Geometry elements: "x,y;x,y;..." in scene coordinates.
// One place for reading and writing it, so the map items, the outline editors,
// area creation and the KML import agree on every character.
namespace Velmora {
namespace Geometry {

// General notation with at most 12 significant digits, '.' as decimal point,
// no grouping, trailing zeros dropped; exponent form for exponents below -4
// or from 12 on ("1e-05", "1.23456789012e+12").
QString formatNumber(double value);

// Each point as x "," y, joined by ";" with none after the last point;
// empty for no points.
QString formatPoints(const QVector<QPointF>& points);

// The reading the map items use: white space simplified, then every
// ';'-separated field must hold exactly two numbers. On failure *points is
// left as it was and false is returned.
bool parsePoints(const QString& text, QVector<QPointF>* points);

// The lenient reading an outline overlay loads from: fields with fewer than
// two ','-separated parts are skipped, parts beyond the second are ignored,
// and a coordinate that is no finite number counts as 0.
QVector<QPointF> parsePointsLenient(const QString& text);

} // namespace Geometry
} // namespace Velmora
