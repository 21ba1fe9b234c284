#include "FindingsDock.h"

#include "ModuleHost.h"
#include "Velmora/format/ConfigReader.h"

#include <QHeaderView>
#include <QRegularExpression>
#include <QTreeWidget>

namespace Velmora {

FindingsDock::FindingsDock(QWidget* parent)
    : QDockWidget(tr("Findings"), parent)
    , m_view(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("findingsDock"));
    m_view->setHeaderLabels({tr("Severity"), tr("Line"), tr("Kind"), tr("Message")});
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->header()->setStretchLastSection(true);
    setWidget(m_view);
    connect(m_view, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { rowChosen(item); });
}

QTreeWidget* FindingsDock::view() const
{
    return m_view;
}

QObject* FindingsDock::zone() const
{
    return m_zone;
}

Velmora::ConfigFindings FindingsDock::checkZone(QObject* zone)
{
    const Velmora::ConfigFindings findings = Velmora::ConfigChecker::checkFile(ModuleHost::zoneFile(zone));
    setFindings(zone, findings);
    return findings;
}

void FindingsDock::setFindings(QObject* zone, const Velmora::ConfigFindings& findings)
{
    m_zone = zone;
    const QSignalBlocker quiet(m_view);
    m_view->clear();
    for (const Velmora::ConfigFinding& f : findings) {
        auto* item = new QTreeWidgetItem(m_view);
        item->setText(SeverityColumn, f.isError() ? tr("error") : tr("warning"));
        item->setText(LineColumn, f.line > 0 ? QString::number(f.line) : QString());
        item->setText(KindColumn, f.kind);
        item->setText(MessageColumn, f.message);
        item->setToolTip(MessageColumn, f.path.isEmpty() ? f.message : f.message + QLatin1Char('\n') + f.path);
        item->setData(SeverityColumn, Qt::UserRole, f.path);
        if (f.isError())
            item->setForeground(SeverityColumn, QBrush(Qt::red));
    }
    if (findings.isEmpty()) {
        auto* item = new QTreeWidgetItem(m_view);
        item->setText(MessageColumn, tr("No faults found."));
        item->setFlags(Qt::ItemIsEnabled);
    }
    m_view->resizeColumnToContents(SeverityColumn);
    m_view->resizeColumnToContents(LineColumn);
    m_view->resizeColumnToContents(KindColumn);
}

QObject* FindingsDock::objectAt(QObject* zone, const QString& path)
{
    static const QRegularExpression controllerStep(QStringLiteral("(?:^|/)Controller\\[id=(\\d+)\\]"));
    static const QRegularExpression areaStep(QStringLiteral("(?:^|/)Area\\[id=(\\d+)\\]"));
    if (!zone)
        return nullptr;
    int id = Velmora::Config::NoId;
    QRegularExpressionMatchIterator controllers = controllerStep.globalMatch(path);
    QString last;
    while (controllers.hasNext())
        last = controllers.next().captured(1);
    if (!last.isEmpty() && Velmora::Config::readId(last, &id)) {
        for (QObject* controller : ModuleHost::controllersOf(zone)) {
            if (controller->property("id").toInt() == id)
                return controller;
        }
    }
    const QRegularExpressionMatch area = areaStep.match(path);
    if (area.hasMatch() && Velmora::Config::readId(area.captured(1), &id)) {
        if (QObject* found = ModuleHost::areaById(zone, id))
            return found;
    }
    return zone;
}

void FindingsDock::rowChosen(QTreeWidgetItem* item)
{
    if (!item || !m_zone || !(item->flags() & Qt::ItemIsSelectable))
        return;
    if (QObject* object = objectAt(m_zone, item->data(SeverityColumn, Qt::UserRole).toString()))
        emit objectChosen(object);
}

} // namespace Velmora
