#include "StatusLabels.h"

#include <QLabel>
#include <QPointF>
#include <QStatusBar>

namespace Velmora {

StatusLabels::StatusLabels(QStatusBar* bar)
    : m_cursor(new QLabel(bar))
    , m_link(new QLabel(bar))
    , m_hash(new QLabel(bar))
{
    m_cursor->setMinimumWidth(260);
    m_hash->setObjectName(QStringLiteral("hashStatus"));
    m_hash->setStyleSheet(QStringLiteral("QLabel { color: white; background: #c62828; padding: 0 6px; }"));
    m_hash->hide();
    bar->addPermanentWidget(m_hash);
    bar->addPermanentWidget(m_link);
    bar->addPermanentWidget(m_cursor);
}

void StatusLabels::showCursor(const QPointF& scenePos)
{
    m_cursor->setText(tr("lon %1  lat %2").arg(scenePos.x(), 0, 'f', 6).arg(scenePos.y(), 0, 'f', 6));
}

void StatusLabels::showLinks(const QString& summary, const QString& reasons)
{
    m_link->setText(summary);
    m_link->setToolTip(reasons);
}

void StatusLabels::showMismatches(const QStringList& mismatches)
{
    m_hash->setText(mismatches.join(QLatin1Char(' ')));
    m_hash->setToolTip(m_hash->text());
    m_hash->setVisible(!mismatches.isEmpty());
}

QString StatusLabels::text() const
{
    QStringList parts{m_link->text()};
    if (!m_hash->isHidden())
        parts << m_hash->text();
    return parts.join(QLatin1String(" | "));
}

} // namespace Velmora
