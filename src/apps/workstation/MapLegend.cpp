#include "MapLegend.h"

#include "Light.h"
#include "ModuleCalls.h"
#include "ModuleHost.h"
#include "ModulePlugin.h"
#include "ProtocolWords.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Message.h"
#include "semtra/Wire.h"

#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QHeaderView>
#include <QJsonObject>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeWidget>

#include <memory>

namespace Velmora {

namespace {

namespace Protocol = Velmora::Protocol;

constexpr int LegendZoneId = 1;
constexpr double Stamp = 45000.5;

// One legend area: how it is put, and what the legend says of it.
struct AreaRow
{
    int controlSource;
    int specialState;
    bool selected;
    QString text;
    QString detail;
};

QList<AreaRow> areaRows()
{
    using namespace ProtocolWords;
    const QString fill = MapLegend::tr("Filled by the control source: %1");
    const QString hatch = MapLegend::tr("Hatched over the fill: special state %1");
    return {
        {Protocol::Calendar, Protocol::NoSpecialState, false, controlSourceWithCode(Protocol::Calendar),
         fill.arg(MapLegend::tr("the calendar controls the area"))},
        {Protocol::Adaptive, Protocol::NoSpecialState, false, controlSourceWithCode(Protocol::Adaptive),
         fill.arg(MapLegend::tr("adaptive control"))},
        {Protocol::LocalControl, Protocol::NoSpecialState, false, controlSourceWithCode(Protocol::LocalControl),
         fill.arg(MapLegend::tr("the controllers run on their own (drawn as the calendar)"))},
        {Protocol::Operator, Protocol::NoSpecialState, false, controlSourceWithCode(Protocol::Operator),
         fill.arg(MapLegend::tr("an operator's command"))},
        {Protocol::Calendar, Protocol::LocalMode, false, specialStateWithCode(Protocol::LocalMode),
         hatch.arg(MapLegend::tr("local mode, white hatch"))},
        {Protocol::Calendar, Protocol::YellowFlashing, false, specialStateWithCode(Protocol::YellowFlashing),
         hatch.arg(MapLegend::tr("yellow flashing, yellow hatch"))},
        {Protocol::Calendar, Protocol::Off, false, specialStateWithCode(Protocol::Off),
         hatch.arg(MapLegend::tr("lights off, black hatch"))},
        {Protocol::Calendar, Protocol::NoSpecialState, true, MapLegend::tr("Selected area"),
         MapLegend::tr("The selected area: yellow outline, drawn opaque")},
        {Protocol::NotControlled, Protocol::NoSpecialState, false, MapLegend::tr("Not drawn"),
         MapLegend::tr("An area the current strategy does not control (%1), or whose state is not reported "
                       "yet, is not drawn; select it in the tree to see its outline")
             .arg(controlSourceWithCode(Protocol::NotControlled))},
    };
}

// The legend zone: one outline, and an area for every area row, side by side.
QByteArray legendZone(int areas)
{
    QByteArray xml;
    QTextStream out(&xml);
    // The zone's outline has a swatch's proportions; the areas lie below it.
    out << "<Zone id=\"" << LegendZoneId << "\" name=\"Legend\">\n"
        << "<Geometry>0,0;" << MapLegend::SwatchSize.width() << ",0;" << MapLegend::SwatchSize.width() << ','
        << MapLegend::SwatchSize.height() << ";0," << MapLegend::SwatchSize.height() << "</Geometry>\n"
        << "<Calendar><DayCards><DayCard id=\"1\"><Time strategy_id=\"1\">00:00</Time></DayCard></DayCards>"
           "<WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar>\n"
           "<Strategies><Strategy id=\"1\" name=\"Legend\" default=\"1\">";
    for (int id = 1; id <= areas; ++id)
        out << "<Area id=\"" << id << "\" control_source=\"1\"/>";
    out << "</Strategy></Strategies>\n<Areas>\n";
    for (int id = 1; id <= areas; ++id) {
        const int x = (id - 1) * 20;
        out << "<Area id=\"" << id << "\" name=\"Legend " << id << "\"><Geometry>" << x << ",-20;" << x + 16
            << ",-20;" << x + 16 << ",-10;" << x << ",-10</Geometry><Controllers>" << id
            << "</Controllers><States><State id=\"1\" name=\"State\"><Controller id=\"" << id
            << "\" state=\"1\"/></State></States><Calendar><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution>"
               "<DayCards><DayCard id=\"1\"><Time state_id=\"1\">00:00</Time></DayCard></DayCards></Calendar>"
               "</Area>\n";
    }
    out << "</Areas>\n</Zone>\n";
    out.flush();
    return xml;
}

// Hands the zone a message as its connection would.
bool deliver(QObject* zone, int kind, const QByteArray& data)
{
    const Semtra::Command::Message message{0, LegendZoneId, kind, Protocol::Tag, data};
    bool taken = false;
    return VelmoraHost::invoke(zone, "message", Q_RETURN_ARG(bool, taken),
                               Q_ARG(Semtra::Command::Message, message))
        && taken;
}

bool sendEvent(QObject* zone, int id, const QVariantList& values)
{
    return deliver(zone, Semtra::Command::Event, Semtra::Wire::encodeEvent(quint32(id), Stamp, values));
}

} // namespace

MapLegend::MapLegend(QWidget* parent)
    : QDockWidget(tr("Legend"), parent)
    , m_view(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("LegendDock"));
    m_view->setObjectName(QStringLiteral("legend"));
    m_view->setHeaderHidden(true);
    m_view->setRootIsDecorated(false);
    m_view->setIconSize(SwatchSize);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setWordWrap(true);
    setWidget(m_view);
}

QColor MapLegend::mapBackground()
{
    return QColor(236, 238, 232);
}

QPen MapLegend::mismatchPen()
{
    QPen pen(QColor(198, 40, 40), 3.0, Qt::DashLine);
    pen.setCosmetic(true);
    return pen;
}

void MapLegend::paintMismatch(QPainter* painter, const QPainterPath& outline)
{
    painter->save();
    painter->setPen(mismatchPen());
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(outline);
    painter->restore();
}

void MapLegend::coverUnreported(QPainter* painter, const QPainterPath& outline)
{
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(mapBackground());
    painter->drawPath(outline);
    painter->restore();
}

QImage MapLegend::paintItem(QGraphicsItem* item, const QSize& size, bool mismatch)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(mapBackground());
    if (!item)
        return image;
    const QRectF bounds = item->boundingRect();
    if (bounds.isEmpty())
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(size.width() / 2.0, size.height() / 2.0);
    // Markers keep their pixel size on the map; outlines are scaled to fit, north up.
    if (!(item->flags() & QGraphicsItem::ItemIgnoresTransformations)) {
        const qreal margin = 3;
        const qreal scale =
            qMin((size.width() - 2 * margin) / bounds.width(), (size.height() - 2 * margin) / bounds.height());
        painter.scale(scale, -scale);
    }
    painter.translate(-bounds.center());
    QStyleOptionGraphicsItem option;
    option.exposedRect = bounds;
    option.rect = bounds.toAlignedRect();
    if (item->isSelected())
        option.state |= QStyle::State_Selected;
    item->paint(&painter, &option, nullptr);
    if (mismatch)
        paintMismatch(&painter, item->shape());
    return image;
}

bool MapLegend::build(QObject* root, QString* error)
{
    m_entries.clear();
    const QList<AreaRow> rows = areaRows();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("legend.xtsc"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(legendZone(rows.size())) < 0) {
        *error = tr("cannot write the legend zone: %1").arg(file.errorString());
        fill();
        return false;
    }
    file.close();
    const VelmoraHost::ZoneLoad loaded = VelmoraHost::loadZone(root, path, VelmoraHost::WarningCapture::Swallow);
    if (!loaded.zone) {
        *error = loaded.error;
        fill();
        return false;
    }
    // Not one of the host's zones: it leaves the root at once, and goes with the legend's scene.
    std::unique_ptr<QObject> zone(loaded.zone);
    zone->setParent(nullptr);
    QGraphicsScene scene;
    VelmoraHost::invoke(zone.get(), "setScene", Q_ARG(QGraphicsScene*, &scene));
    QGraphicsItem* zoneItem = ModuleHost::graphicsItem(zone.get());

    using namespace ProtocolWords;
    const QString zoneSection = tr("Zone");
    add(zoneSection, tr("Not linked"), tr("Grey: the zone is not linked to its service"), paintItem(zoneItem));
    zone->setProperty("selected", true);
    add(zoneSection, tr("Selected zone"), tr("The selected zone: yellow outline, dotted fill"), paintItem(zoneItem));
    zone->setProperty("selected", false);
    bool delivered = deliver(zone.get(), Semtra::Command::Connected, QByteArray(8, '\0'));
    // The outline the map draws, over what such a zone shows meanwhile.
    add(zoneSection, tr("Hash mismatch"),
        tr("Dashed red outline: the zone's configuration differs from the service's; the service's replies "
           "are not taken"),
        paintItem(zoneItem, SwatchSize, true));
    const QList<QPair<int, QString>> zoneSources{
        {Protocol::Calendar, QString()}, {Protocol::Adaptive, QString()}, {Protocol::Operator, QString()},
        {Protocol::LocalControl, tr(": the zone is out of the centre's hands")}, {Protocol::NotControlled, QString()}};
    for (const auto& source : zoneSources) {
        delivered = sendEvent(zone.get(), Protocol::ZoneControlSourceEvent, {uint(source.first)}) && delivered;
        add(zoneSection, tr("Linked: %1").arg(controlSourceWithCode(source.first)),
            tr("Linked to its service, control source %1%2").arg(controlSourceWithCode(source.first), source.second),
            paintItem(zoneItem));
    }

    const QString areaSection = tr("Control area");
    for (int i = 0; i < rows.size(); ++i) {
        QObject* area = ModuleHost::areaById(zone.get(), i + 1);
        const AreaRow& row = rows.at(i);
        delivered = sendEvent(zone.get(), Protocol::AreaControlSourceEvent, {uint(i + 1), uint(row.controlSource)})
            && sendEvent(zone.get(), Protocol::AreaStateEvent, {uint(i + 1), 1u, uint(row.specialState)}) && delivered;
        if (row.selected && area)
            area->setProperty("selected", true);
        add(areaSection, row.text, row.detail, paintItem(ModuleHost::graphicsItem(area)));
    }

    const QString mapSection = tr("Map");
    Semtra::Light light(0, QPointF());
    light.addToScene(&scene);
    add(mapSection, tr("Traffic light"),
        tr("A traffic light: its controller's name in the tool tip; a click selects the controller"),
        paintItem(light.item()));
    light.item()->setSelected(true);
    add(mapSection, tr("Selected controller's light"), tr("The light of the controller selected in the tree"),
        paintItem(light.item()));
    add(mapSection, tr("Area names"), tr("At the areas' centres, once an area is large enough on screen to hold it"),
        QImage());
    // The zone's items leave the scene with it, before the scene goes.
    zone.reset();

    fill();
    if (!delivered) {
        *error = tr("the module did not take the legend's states");
        return false;
    }
    return true;
}

void MapLegend::add(const QString& section, const QString& text, const QString& detail, const QImage& swatch)
{
    m_entries.append(Entry{section, text, detail, swatch});
}

void MapLegend::fill()
{
    m_view->clear();
    if (m_entries.isEmpty()) {
        // Texts without swatches are still better than no legend.
        for (const AreaRow& row : areaRows())
            add(tr("Control area"), row.text, row.detail, QImage());
    }
    QTreeWidgetItem* section = nullptr;
    for (const Entry& entry : qAsConst(m_entries)) {
        if (!section || section->text(0) != entry.section) {
            section = new QTreeWidgetItem(m_view, {entry.section});
            QFont bold = section->font(0);
            bold.setBold(true);
            section->setFont(0, bold);
            section->setFirstColumnSpanned(true);
        }
        auto* item = new QTreeWidgetItem(section, {entry.text});
        item->setToolTip(0, entry.detail);
        if (!entry.swatch.isNull())
            item->setIcon(0, QIcon(QPixmap::fromImage(entry.swatch)));
    }
    m_view->expandAll();
}

QList<MapLegend::Entry> MapLegend::entries() const
{
    return m_entries;
}

const MapLegend::Entry* MapLegend::entry(const QString& text) const
{
    for (const Entry& entry : m_entries) {
        if (entry.text.startsWith(text))
            return &entry;
    }
    return nullptr;
}

QJsonArray MapLegend::toJson() const
{
    QJsonArray array;
    for (const Entry& entry : m_entries) {
        QJsonObject object{{QStringLiteral("section"), entry.section},
                           {QStringLiteral("text"), entry.text},
                           {QStringLiteral("detail"), entry.detail}};
        if (!entry.swatch.isNull()) {
            const QColor centre = entry.swatch.pixelColor(entry.swatch.width() / 2, entry.swatch.height() / 2);
            object.insert(QStringLiteral("swatch"), centre.name());
        }
        array.append(object);
    }
    return array;
}

} // namespace Velmora
