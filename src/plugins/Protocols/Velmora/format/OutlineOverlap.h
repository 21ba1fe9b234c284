#pragma once

#include <QPointF>
#include <QVector>

namespace Velmora {
namespace Geometry {

// The area a simple closed outline encloses, whatever its orientation.
double ringArea(const QVector<QPointF>& ring);

// The area two simple closed outlines (convex or not) have in common. Exact up
// to rounding: between two neighbouring x values at which a vertex lies or two
// edges cross, the height the outlines share is a linear function of x, so
// its value at the middle of that strip times the strip's width is the
// strip's area. Outlines that only share a border have nothing in common.
// A line swept left to right keeps the edges it meets, so the cost is
// (vertices + crossings) times the edges one vertical line meets, plus sorting.
double intersectionArea(const QVector<QPointF>& a, const QVector<QPointF>& b);

// The pairs of outlines whose bounding boxes meet, first < second, each once,
// found through a grid of cells over the boxes: near-linear in the number of
// outlines when few boxes meet. Outlines with a coordinate that is no finite
// number take part in no pair.
struct OutlinePair
{
    int first;
    int second;
};
QVector<OutlinePair> boxesMeeting(const QVector<QVector<QPointF>>& rings);

} // namespace Geometry
} // namespace Velmora
