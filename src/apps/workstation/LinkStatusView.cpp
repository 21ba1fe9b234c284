#include "LinkStatusView.h"

#include "LinkMonitor.h"
#include "MapLegend.h"
#include "ModuleHost.h"
#include "StatusLabels.h"
#include "ToolTips.h"
#include "ZoneFiles.h"

#include <QBrush>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace Velmora {

LinkStatusView::LinkStatusView(ModuleHost* host, LinkMonitor* links, const ZoneFiles* files, StatusLabels* labels,
                               const QWidget* window, const ToolTip& toolTip)
    : m_host(host)
    , m_links(links)
    , m_files(files)
    , m_labels(labels)
    , m_window(window)
    , m_toolTip(toolTip)
{
}

QString LinkStatusView::connectionStateText(Semtra::Connection::State state)
{
    switch (state) {
    case Semtra::Connection::Unconnected:
        return tr("not connected");
    case Semtra::Connection::HostLookup:
        return tr("looking up host");
    case Semtra::Connection::Connecting:
        return tr("connecting");
    case Semtra::Connection::Closing:
        return tr("closing");
    case Semtra::Connection::Connected:
    case Semtra::Connection::Ready:
        return tr("connected");
    }
    return QString();
}

QVariant LinkStatusView::linkColumn(const QObject* object, int role) const
{
    if (!ModuleHost::isZone(object))
        return QVariant();
    auto* zone = const_cast<QObject*>(object);
    const LinkMonitor::Status status = m_links->status(zone);
    const QString problem = m_files->problem(zone);
    switch (role) {
    case Qt::DisplayRole:
        return problem.isEmpty() ? LinkMonitor::text(status)
                                 : tr("%1; file not reloaded").arg(LinkMonitor::text(status));
    case Qt::ToolTipRole:
        return ToolTips::linkText(m_links->reason(zone), ModuleHost::zoneFile(zone), problem);
    case Qt::DecorationRole:
        return problem.isEmpty() ? QVariant()
                                 : QVariant(m_window->style()->standardIcon(QStyle::SP_MessageBoxWarning));
    case Qt::ForegroundRole:
        if (status == LinkMonitor::Linked)
            return QBrush(QColor(46, 125, 50));
        if (status == LinkMonitor::NotAnswering || status == LinkMonitor::HashMismatch)
            return QBrush(QColor(198, 40, 40));
        return QBrush(QColor(110, 110, 110));
    default:
        return QVariant();
    }
}

QVariant LinkStatusView::unreportedArea(const QObject* object, int column, int role) const
{
    auto* area = const_cast<QObject*>(object);
    if (!ModuleHost::isArea(object) || m_links->isLive(ModuleHost::zoneOf(area)))
        return QVariant();
    if (role == Qt::ToolTipRole || role == Qt::StatusTipRole)
        return m_toolTip(area);
    if (role != Qt::DecorationRole || column != 0)
        return QVariant();
    static const QIcon icon = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setPen(QColor(110, 110, 110));
        painter.setBrush(MapLegend::mapBackground());
        painter.drawRect(QRect(2, 2, 11, 11));
        return QIcon(pixmap);
    }();
    return icon;
}

void LinkStatusView::showServiceStatus()
{
    QStringList reasons;
    for (QObject* zone : m_host->zones())
        reasons << tr("Zone %1: %2").arg(zone->property("id").toInt()).arg(m_links->reason(zone));
    m_labels->showLinks(m_links->summary(), reasons.join(QLatin1Char('\n')));
}

void LinkStatusView::showHashStatus(const QObject* leaving)
{
    QStringList mismatched;
    for (QObject* zone : m_host->zones()) {
        if (zone != leaving && zone->property("hashInvalid").toBool())
            mismatched << LinkMonitor::mismatchText(zone);
    }
    m_labels->showMismatches(mismatched);
}

} // namespace Velmora
