#include "ReplayView.h"

#include <QGraphicsScene>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include "HistoryDock.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ObjectTreeModel.h"
#include "PropertiesDock.h"
#include "ProtocolWords.h"
#include "ReplayLayer.h"

namespace Velmora {

namespace {

// The recorded state's number in the replay's colour: the module draws only the live state.
QIcon recordedStateIcon(const QString& text)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(120, 80, 0));
    painter.setBrush(QColor(255, 179, 0));
    painter.drawRect(QRect(0, 0, 15, 15));
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    return QIcon(pixmap);
}

} // namespace

ReplayView::ReplayView(HistoryDock* dock, ModuleHost* host, MapView* map, QGraphicsScene* scene, QObject* parent)
    : QObject(parent)
    , m_dock(dock)
    , m_host(host)
    , m_map(map)
    , m_band(new QLabel(map))
    , m_layer(new ReplayLayer)
{
    // Across the top of the map, so nobody takes the past for the present.
    m_band->setObjectName(QStringLiteral("mapReplayBand"));
    m_band->setStyleSheet(QStringLiteral("background: #ffb300; color: black; font-weight: bold; padding: 6px;"));
    m_band->hide();
    scene->addItem(m_layer);
    connect(dock, &HistoryDock::replayStarted, this, [this] { emit replayingChanged(true); });
    connect(dock, &HistoryDock::momentShown, this, &ReplayView::showMoment);
    connect(dock, &HistoryDock::liveResumed, this, &ReplayView::resumeLive);
}

void ReplayView::setPanels(PropertiesDock* properties, ObjectTreeModel* tree)
{
    m_properties = properties;
    m_tree = tree;
}

void ReplayView::showMoment()
{
    m_layer->show(m_host->zones(), m_dock->moments());
    if (m_properties)
        m_properties->showRecorded({m_dock->moment(), m_dock->moments()});
    m_band->setText(m_dock->bandText());
    m_band->setGeometry(0, 0, m_map->width(), m_band->sizeHint().height());
    m_band->show();
    m_band->raise();
    emit bandTextChanged(m_dock->bandText());
    refreshTree();
}

void ReplayView::resumeLive()
{
    m_layer->clear();
    if (m_properties)
        m_properties->showLive();
    emit replayingChanged(false);
    m_band->hide();
    emit bandTextChanged(QString());
    refreshTree();
}

void ReplayView::refreshTree()
{
    if (!m_tree)
        return;
    for (QObject* zone : m_host->zones()) {
        for (QObject* area : ModuleHost::areasOf(zone))
            m_tree->objectChanged(area);
    }
}

QVariant ReplayView::areaData(const QObject* object, int column, int role) const
{
    if (!m_dock->isReplaying() || !ModuleHost::isArea(object) || column != 0)
        return QVariant();
    const QObject* zone = ModuleHost::zoneOf(const_cast<QObject*>(object));
    const ZoneMoment moment = m_dock->moments().value(zone->property("id").toInt());
    const AreaMoment* area = moment.area(object->property("id").toInt());
    // Values of a moment the zone was not linked on its file were no one's, as live.
    const bool reported = HistoryDock::isReported(moment);
    const bool known = reported && area && area->state != HistoryRecord::NoValue;
    if (role == Qt::ToolTipRole || role == Qt::StatusTipRole) {
        const QString when = m_dock->moment().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!reported)
            return tr("Not reported at %1").arg(when);
        if (!known)
            return tr("Nothing recorded for this area at %1").arg(when);
        return tr("At %1: state %2, %3, special state %4")
            .arg(when)
            .arg(area->state)
            .arg(ProtocolWords::controlSourceWithCode(area->controlSource))
            .arg(ProtocolWords::specialStateWithCode(area->specialState));
    }
    if (role != Qt::DecorationRole)
        return QVariant();
    return recordedStateIcon(known ? QString::number(area->state) : QStringLiteral("?"));
}

} // namespace Velmora
