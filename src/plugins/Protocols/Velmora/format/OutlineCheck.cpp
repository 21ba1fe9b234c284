#include "OutlineCheck.h"

#include "CheckContext.h"
#include "GeometryText.h"
#include "OutlineCrossing.h"
#include "OutlineOverlap.h"
#include "Vocabulary.h"
#include "XmlText.h"

#include <algorithm>
#include <cmath>

namespace Velmora {

namespace {

QString percent(double fraction)
{
    return QString::number(100 * fraction, 'f', 1);
}

} // namespace

void OutlineCheck::zone(const QDomElement& root, const QString& owner)
{
    m_zoneRing = ring(root, owner);
}

void OutlineCheck::area(const QDomElement& area, const QString& owner)
{
    const QVector<QPointF> outline = ring(area, owner);
    const double size = Geometry::ringArea(outline);
    // Not a number for an outline with a coordinate that is none.
    if (std::isfinite(size) && size > 0)
        m_outlines.append(AreaOutline{owner, area.firstChildElement(Xml::Geometry), outline, size});
}

// Pairs come from a grid over the outlines' boxes, not from all pairs.
void OutlineCheck::overlaps()
{
    QVector<QVector<QPointF>> rings;
    rings.reserve(m_outlines.size());
    for (const AreaOutline& o : qAsConst(m_outlines))
        rings.append(o.ring);
    for (const Geometry::OutlinePair& pair : Geometry::boxesMeeting(rings)) {
        const AreaOutline& first = m_outlines.at(pair.first);
        const AreaOutline& second = m_outlines.at(pair.second);
        const double shared = Geometry::intersectionArea(first.ring, second.ring);
        const double ofFirst = shared / first.area;
        const double ofSecond = shared / second.area;
        if (std::max(ofFirst, ofSecond) > ConfigChecker::OutlineTolerance)
            m_context->warning(second.geometry, CheckKind::OutlineOverlap,
                               tr("The outline of %1 overlaps that of %2 by %3 % of its own area and %4 % of %2's.")
                                   .arg(second.owner, first.owner, percent(ofSecond), percent(ofFirst)));
    }
}

void OutlineCheck::outsideZone()
{
    if (m_zoneRing.isEmpty())
        return;
    for (const AreaOutline& o : qAsConst(m_outlines)) {
        const double outside = 1 - Geometry::intersectionArea(o.ring, m_zoneRing) / o.area;
        if (outside > ConfigChecker::OutlineTolerance)
            m_context->warning(o.geometry, CheckKind::OutsideZone,
                               tr("The outline of %1 lies %2 % outside the zone's outline.")
                                   .arg(o.owner, percent(outside)));
    }
}

QVector<QPointF> OutlineCheck::ring(const QDomElement& owner, const QString& ownerText)
{
    const QDomElement geometry = owner.firstChildElement(Xml::Geometry);
    if (geometry.isNull()) {
        m_context->warning(owner, CheckKind::MissingOutline,
                           tr("There is no outline (Geometry) for %1, so the map cannot show it.").arg(ownerText));
        return {};
    }
    const QString text = Xml::firstText(geometry);
    if (text.trimmed().isEmpty()) {
        m_context->warning(geometry, CheckKind::MissingOutline,
                           tr("The outline of %1 is empty, so the map cannot show it.").arg(ownerText));
        return {};
    }
    QVector<QPointF> points;
    if (!Geometry::parsePoints(text, &points)) {
        m_context->error(geometry, CheckKind::BadOutline,
                         tr("The outline of %1 is not a list of x,y points separated by ';'.").arg(ownerText));
        return {};
    }
    const QVector<Vertex> vertices = distinctVertices(points);
    if (vertices.size() < 3) {
        m_context->error(geometry, CheckKind::FewPoints,
                         tr("The outline of %1 needs at least three distinct points; it has %2.")
                             .arg(ownerText)
                             .arg(vertices.size()));
        return {};
    }
    QVector<QPointF> ring;
    ring.reserve(vertices.size());
    for (const Vertex& vertex : vertices)
        ring.append(vertex.point);
    if (crossesItself(geometry, ownerText, vertices, ring))
        return {};
    return ring;
}

// Repeated points (and a last point that closes the ring again) add no edge.
QVector<OutlineCheck::Vertex> OutlineCheck::distinctVertices(const QVector<QPointF>& points)
{
    QVector<Vertex> vertices;
    for (int i = 0; i < points.size(); ++i) {
        if (vertices.isEmpty() || vertices.last().point != points.at(i))
            vertices.append(Vertex{points.at(i), i + 1});
    }
    if (vertices.size() > 1 && vertices.last().point == vertices.first().point)
        vertices.removeLast();
    return vertices;
}

bool OutlineCheck::crossesItself(const QDomElement& geometry, const QString& ownerText,
                                 const QVector<Vertex>& vertices, const QVector<QPointF>& ring)
{
    int first = -1;
    int second = -1;
    if (!Geometry::findSelfCrossing(ring, &first, &second))
        return false;
    const int n = vertices.size();
    m_context->error(geometry, CheckKind::SelfCrossing,
                     tr("The outline of %1 crosses itself: the edge from point %2 to %3 meets the edge from "
                        "point %4 to %5.")
                         .arg(ownerText)
                         .arg(vertices.at(first).number)
                         .arg(vertices.at((first + 1) % n).number)
                         .arg(vertices.at(second).number)
                         .arg(vertices.at((second + 1) % n).number));
    return true;
}

} // namespace Velmora
