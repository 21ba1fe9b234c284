#include "CommandBar.h"

#include "CommandController.h"
#include "CommandInput.h"
#include "ModuleHost.h"

#include <QComboBox>
#include <QLabel>

namespace Velmora {

CommandBar::CommandBar(ModuleHost* host, CommandController* commands, QWidget* parent)
    : QToolBar(tr("Command"), parent)
    , m_host(host)
    , m_commands(commands)
    , m_choice(new QComboBox(this))
    , m_edit(new CommandEdit(this))
{
    setObjectName(QStringLiteral("CommandBar"));
    setMovable(false);
    m_choice->setObjectName(QStringLiteral("commandZone"));
    m_choice->setToolTip(tr("The zone typed commands go to"));
    m_choice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_edit->setObjectName(QStringLiteral("commandLine"));
    m_edit->setPlaceholderText(tr("Command for the zone, e.g. SET_STRAT 2 60 or GET_STATE (Up: earlier commands)"));
    addWidget(new QLabel(tr(" Command for "), this));
    addWidget(m_choice);
    addWidget(m_edit);
    connect(m_edit, &QLineEdit::returnPressed, this, &CommandBar::run);
    connect(m_choice, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { setZone(m_choice->itemData(index).value<QObject*>()); });
}

QObject* CommandBar::zone() const
{
    return m_zone;
}

void CommandBar::setZone(QObject* zone)
{
    if (zone && !m_host->zones().contains(zone))
        return;
    m_zone = zone;
    updateZones();
}

void CommandBar::updateZones(const QObject* leaving)
{
    QList<QObject*> zones = m_host->zones();
    zones.removeAll(const_cast<QObject*>(leaving));
    if (leaving && m_zone == leaving)
        m_zone = nullptr;
    // The only zone is the target by itself; a zone gone leaves the first one.
    if (!m_zone && !zones.isEmpty())
        m_zone = zones.first();
    fillChoice(zones);
    m_edit->setEnabled(!m_replaying && m_zone != nullptr);
    emit zoneChanged(m_zone);
}

void CommandBar::fillChoice(const QList<QObject*>& zones)
{
    const QSignalBlocker blocker(m_choice);
    m_choice->clear();
    for (QObject* zone : zones)
        m_choice->addItem(tr("zone %1 \"%2\"").arg(zone->property("id").toInt()).arg(zone->property("name").toString()),
                          QVariant::fromValue(zone));
    if (m_choice->count() == 0)
        m_choice->addItem(tr("no zone open"));
    const int current = m_choice->findData(QVariant::fromValue(m_zone.data()));
    m_choice->setCurrentIndex(qMax(0, current));
    m_choice->setEnabled(!m_replaying && zones.size() > 1);
}

void CommandBar::setReplaying(bool replaying)
{
    m_replaying = replaying;
    updateZones();
}

void CommandBar::run()
{
    if (!m_commands->run(m_edit->text(), m_zone))
        return;
    m_edit->history().add(m_edit->text());
    m_edit->clear();
}

} // namespace Velmora
