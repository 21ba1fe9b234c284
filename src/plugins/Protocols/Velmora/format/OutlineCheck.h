#pragma once

#include <QCoreApplication>
#include <QDomElement>
#include <QPointF>
#include <QString>
#include <QVector>

namespace Velmora {

class CheckContext;

// The outlines of the zone and its areas: each must be a simple ring the map
// can draw, areas should not share ground, and they should lie in the zone.
// The usable outlines are kept until all areas are read, then compared.
class OutlineCheck
{
    Q_DECLARE_TR_FUNCTIONS(Velmora::ConfigChecker)

public:
    explicit OutlineCheck(CheckContext* context) : m_context(context) {}

    void zone(const QDomElement& root, const QString& owner);
    void area(const QDomElement& area, const QString& owner);
    // Once all areas are read.
    void overlaps();
    void outsideZone();

private:
    // The outline as a ring of distinct points; empty when it is missing or unusable.
    QVector<QPointF> ring(const QDomElement& owner, const QString& ownerText);

    struct Vertex
    {
        QPointF point;
        int number = 0; // 1-based position in the text
    };
    static QVector<Vertex> distinctVertices(const QVector<QPointF>& points);
    // Reports the first two edges that cross, if any.
    bool crossesItself(const QDomElement& geometry, const QString& ownerText, const QVector<Vertex>& vertices,
                       const QVector<QPointF>& ring);

    struct AreaOutline
    {
        QString owner;
        QDomElement geometry;
        QVector<QPointF> ring;
        double area;
    };

    CheckContext* m_context;
    QVector<AreaOutline> m_outlines; // the usable ones, in document order
    QVector<QPointF> m_zoneRing;
};

} // namespace Velmora
