#pragma once

#include <QDateTime>
#include <QGraphicsItem>
#include <QHash>
#include <QPainterPath>
#include <QPointer>
#include <QVector>

#include "HistoryRecord.h"

namespace Velmora {

// The map as the history's moment had it. Drawn over the module's own items,
// it covers their live colours and paints each zone's and area's outline in
// the colours of its recorded state, by the map's own colour rules. Clicks
// and tool tips go through to the items beneath. It writes the names of the
// areas it draws, as the live map does. A zone whose link was not up then, or
// was up on another configuration, is drawn as the live map draws it: not
// linked, its areas covered, with the mismatch outline on a hash mismatch;
// what the live link is now does not matter. The outlines are read from
// the zone files (once per version of a file): the module's items give theirs
// only while the live state draws them.
class ReplayLayer : public QGraphicsItem
{
public:
    // Above the zones and areas, below the host's light markers.
    static constexpr qreal Z = 5.0;

    ReplayLayer();

    // Shows the zones (the module's objects) as recorded in `moments`, by zone id.
    void show(const QList<QObject*>& zones, const QHash<int, ZoneMoment>& moments);
    // Back to live: nothing drawn, the module's colours show again.
    void clear();
    bool isReplaying() const { return !m_zones.isEmpty(); }
    // The names written in the last paint, with their rectangles on the view.
    QList<QPair<QString, QRect>> labels() const { return m_labels; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    struct Outlines
    {
        QDateTime modified;
        QPainterPath zone;
        QHash<int, QPainterPath> areas;
    };
    struct DrawnArea
    {
        QPainterPath outline;
        AreaMoment recorded;
        QPointer<QObject> object; // for its selection on the map
    };
    struct DrawnZone
    {
        QPointer<QObject> object; // a zone closed during the replay is drawn no more
        QPainterPath outline;
        bool known = false;
        bool reported = true; // linked on this configuration then
        bool mismatched = false;
        int controlSource = HistoryRecord::NoValue;
        QVector<DrawnArea> areas;
    };

    const Outlines& outlinesOf(const QString& file);
    static Outlines readOutlines(const QString& file);
    static void paintZone(QPainter* painter, const DrawnZone& zone);
    // False when the area is not drawn.
    static bool paintArea(QPainter* painter, const DrawnArea& area);
    void paintNames(QPainter* painter, const QVector<const DrawnArea*>& areas, const QFont& font);

    QHash<QString, Outlines> m_outlines; // by zone file
    QVector<DrawnZone> m_zones;
    QRectF m_bounds;
    QList<QPair<QString, QRect>> m_labels;
};

} // namespace Velmora
