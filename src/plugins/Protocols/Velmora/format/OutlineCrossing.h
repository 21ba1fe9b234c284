#pragma once

#include <QPointF>
#include <QVector>

namespace Velmora {
namespace Geometry {

// Whether a closed outline meets itself. Edge i runs from ring[i] to ring[i + 1],
// the last one back to ring[0]. Two edges meet when they cross, touch or
// overlap anywhere but at the one vertex neighbouring edges share (neighbours
// that fold back along each other meet too). Points are compared with a
// tolerance relative to the edges' lengths: coordinates are degrees, and
// rounding would hide a vertex that lies on an edge.
//
// The pair reported is the one with the smallest first edge, then the
// smallest second: *first < *second. False when no edges meet.
// Near-linear for outlines whose edges are short against the whole; edges
// that span the whole outline make it quadratic at worst.
bool findSelfCrossing(const QVector<QPointF>& ring, int* first, int* second);

// Whether edges i < j of the ring meet, as findSelfCrossing decides it.
bool edgesMeet(const QVector<QPointF>& ring, int i, int j);

} // namespace Geometry
} // namespace Velmora
