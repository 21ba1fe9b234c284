#include "ReplayLayer.h"

#include "HistoryDock.h"
#include "LinkMonitor.h"
#include "MapLegend.h"
#include "MapView.h"
#include "ModuleHost.h"

#include "Velmora/format/GeometryText.h"
#include "Velmora/format/StateColours.h"
#include "Velmora/format/Vocabulary.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QXmlStreamReader>

namespace Velmora {

namespace {

// An outline as the map items read it: a closed polygon, or nothing when the text is no point list.
QPainterPath outlineOf(const QString& text)
{
    QVector<QPointF> points;
    QPainterPath path;
    if (!Geometry::parsePoints(text, &points) || points.isEmpty())
        return path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

QPen outlinePen(bool selected)
{
    QPen pen(selected ? Qt::yellow : Qt::black);
    pen.setWidth(0);
    return pen;
}

// Hatches keep their size in device pixels at every zoom, as on the map items.
QBrush deviceBrush(const QPainter* painter, const QColor& colour, Qt::BrushStyle style)
{
    QBrush brush(colour, style);
    brush.setTransform(painter->worldTransform().inverted());
    return brush;
}

} // namespace

ReplayLayer::ReplayLayer()
{
    setZValue(Z);
    setAcceptedMouseButtons(Qt::NoButton);
    setFlag(ItemUsesExtendedStyleOption);
}

const ReplayLayer::Outlines& ReplayLayer::outlinesOf(const QString& file)
{
    const QDateTime modified = QFileInfo(file).lastModified();
    auto it = m_outlines.find(file);
    if (it == m_outlines.end() || it->modified != modified) {
        it = m_outlines.insert(file, readOutlines(file));
        it->modified = modified;
    }
    return *it;
}

ReplayLayer::Outlines ReplayLayer::readOutlines(const QString& file)
{
    // One streaming pass that keeps only the zone's and the areas' first Geometry.
    Outlines outlines;
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return outlines;
    QXmlStreamReader xml(&input);
    int depth = 0;
    bool inAreas = false;
    int area = -1;
    bool areaHasId = false;
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (xml.isEndElement()) {
            inAreas = inAreas && depth != 2;
            areaHasId = areaHasId && depth != 3;
            --depth;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        ++depth;
        const QStringRef name = xml.name();
        if (depth == 2 && name == Xml::Areas) {
            inAreas = true;
        } else if (depth == 3 && inAreas && name == Xml::Area) {
            area = xml.attributes().value(Xml::id).toInt(&areaHasId);
        } else if (name == Xml::Geometry && (depth == 2 || (depth == 4 && areaHasId))) {
            const QPainterPath outline = outlineOf(xml.readElementText());
            --depth; // readElementText() took the end element
            if (depth == 1 && outlines.zone.isEmpty())
                outlines.zone = outline;
            else if (depth == 3 && !outlines.areas.contains(area))
                outlines.areas.insert(area, outline);
        }
    }
    return outlines;
}

void ReplayLayer::show(const QList<QObject*>& zones, const QHash<int, ZoneMoment>& moments)
{
    prepareGeometryChange();
    m_zones.clear();
    m_bounds = QRectF();
    for (QObject* zone : zones) {
        const Outlines& outlines = outlinesOf(ModuleHost::zoneFile(zone));
        const ZoneMoment moment = moments.value(zone->property("id").toInt());
        DrawnZone drawn{zone,
                        outlines.zone,
                        moment.known,
                        HistoryDock::isReported(moment),
                        moment.link == LinkMonitor::HashMismatch,
                        moment.controlSource,
                        {}};
        m_bounds |= outlines.zone.boundingRect();
        for (QObject* area : ModuleHost::areasOf(zone)) {
            const int id = area->property("id").toInt();
            const AreaMoment* recorded = moment.area(id);
            const QPainterPath outline = outlines.areas.value(id);
            drawn.areas.append(DrawnArea{outline, recorded ? *recorded : AreaMoment{id}, area});
            m_bounds |= outline.boundingRect();
        }
        m_zones.append(drawn);
    }
    update();
}

void ReplayLayer::clear()
{
    prepareGeometryChange();
    m_zones.clear();
    m_bounds = QRectF();
    m_labels.clear();
}

QRectF ReplayLayer::boundingRect() const
{
    return m_bounds;
}

QPainterPath ReplayLayer::shape() const
{
    // Nothing to hit: selection and tool tips stay with the module's items.
    return QPainterPath();
}

void ReplayLayer::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    const QRectF exposed = option->exposedRect;
    painter->save();
    // Whatever the live state drew goes under the map's background first.
    for (const DrawnZone& zone : qAsConst(m_zones)) {
        if (!zone.object)
            continue;
        MapLegend::coverUnreported(painter, zone.outline);
        for (const DrawnArea& area : zone.areas) {
            if (area.outline.boundingRect().intersects(exposed))
                MapLegend::coverUnreported(painter, area.outline);
        }
    }
    QVector<const DrawnArea*> drawn;
    for (const DrawnZone& zone : qAsConst(m_zones)) {
        if (!zone.object)
            continue;
        paintZone(painter, zone);
        // What the service said of another configuration, or nothing, was all there was: the areas stay covered.
        if (!zone.reported) {
            if (zone.mismatched)
                MapLegend::paintMismatch(painter, zone.outline);
            continue;
        }
        for (const DrawnArea& area : zone.areas) {
            if (area.outline.boundingRect().intersects(exposed) && paintArea(painter, area))
                drawn.append(&area);
        }
    }
    paintNames(painter, drawn, widget ? widget->font() : QFont());
    painter->restore();
}

void ReplayLayer::paintNames(QPainter* painter, const QVector<const DrawnArea*>& areas, const QFont& font)
{
    // Names keep their pixel size: written on the view, not in the map's units.
    const QTransform toView = painter->worldTransform();
    painter->resetTransform();
    painter->setOpacity(1.0);
    m_labels.clear();
    for (const DrawnArea* area : areas) {
        const QString name = area->object ? area->object->property("name").toString() : QString();
        const QRect box = MapView::drawName(painter, font, area->outline, toView, name);
        if (!box.isNull())
            m_labels.append({name, box});
    }
}

void ReplayLayer::paintZone(QPainter* painter, const DrawnZone& zone)
{
    // Nothing recorded yet is shown as a zone not linked.
    painter->setOpacity(StateColours::ZoneOpacity);
    painter->setPen(outlinePen(false));
    const bool known = zone.known && zone.reported;
    painter->setBrush(deviceBrush(painter, StateColours::zoneFill(known, zone.controlSource), Qt::SolidPattern));
    painter->drawPath(zone.outline);
}

bool ReplayLayer::paintArea(QPainter* painter, const DrawnArea& area)
{
    const bool selected = area.object && area.object->property("selected").toBool();
    if (!StateColours::isAreaShown(area.recorded.controlSource) && !selected)
        return false;
    painter->setOpacity(selected ? StateColours::SelectedOpacity : StateColours::AreaOpacity);
    painter->setPen(outlinePen(selected));
    painter->setBrush(deviceBrush(painter, StateColours::areaFill(area.recorded.controlSource), Qt::SolidPattern));
    painter->drawPath(area.outline);
    Qt::GlobalColor overlay;
    if (StateColours::areaOverlay(area.recorded.specialState, &overlay)) {
        painter->setOpacity(StateColours::SelectedOpacity);
        painter->setBrush(deviceBrush(painter, overlay, Qt::DiagCrossPattern));
        painter->drawPath(area.outline);
    }
    return true;
}

} // namespace Velmora
