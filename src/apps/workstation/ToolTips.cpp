#include "ToolTips.h"

#include "Light.h"
#include "LinkMonitor.h"
#include "ModuleHost.h"
#include "ProtocolWords.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QToolTip>

namespace Velmora {

bool answerToolTip(QEvent* event, const QString& text, QWidget* widget)
{
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, widget);
    }
    return true;
}

namespace ToolTips {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ToolTips", text);
}

} // namespace

QString objectText(QObject* object, const LinkMonitor& links)
{
    using namespace ProtocolWords;
    if (const auto* light = qobject_cast<const Semtra::Light*>(object))
        return light->toolTip();
    QObject* zone = ModuleHost::zoneOf(object);
    if (!ModuleHost::isArea(object) && !ModuleHost::isZone(object))
        return QString();
    // Values the service reported for another file, or before the link was up, are no one's.
    const bool live = links.isLive(zone);
    const QString unreported = tr("not reported");
    const int strategy = live ? zone->property("currentStrategy").toInt() : -1;
    const QString strategyName = ModuleHost::strategyName(zone, strategy);
    const QString strategyText = strategy < 0 ? unreported
        : strategyName.isEmpty()               ? QString::number(strategy)
                                               : tr("%1 \"%2\"").arg(strategy).arg(strategyName);
    const QString source = live ? controlSource(object->property("controlSource").toInt()) : unreported;
    QStringList lines;
    if (ModuleHost::isArea(object)) {
        const int state = live ? object->property("currentState").toInt() : -1;
        const QString stateName = ModuleHost::stateName(object, state);
        lines << tr("Area %1 \"%2\"").arg(object->property("id").toInt()).arg(object->property("name").toString())
              << tr("Control source: %1").arg(source)
              << tr("State: %1").arg(state < 0 ? unreported
                                     : stateName.isEmpty() ? QString::number(state)
                                                           : tr("%1 \"%2\"").arg(state).arg(stateName))
              << tr("Special state: %1").arg(live ? specialState(object->property("specialState").toInt()) : unreported)
              << tr("Current strategy: %1").arg(strategyText);
    } else {
        lines << tr("Zone %1 \"%2\"").arg(object->property("id").toInt()).arg(object->property("name").toString())
              << tr("Control source: %1").arg(source) << tr("Current strategy: %1").arg(strategyText);
    }
    lines << tr("Link: %1").arg(LinkMonitor::text(links.status(zone)));
    if (zone->property("hashInvalid").toBool())
        lines << LinkMonitor::mismatchText(zone);
    return lines.join(QLatin1Char('\n'));
}

QString linkText(const QString& reason, const QString& file, const QString& problem)
{
    if (problem.isEmpty())
        return reason;
    return tr("%1\n%2 changed on disk and does not load: %3. The zone shown is the one loaded before.")
        .arg(reason, file, problem);
}

} // namespace ToolTips

} // namespace Velmora
