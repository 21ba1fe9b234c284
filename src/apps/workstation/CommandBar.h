#pragma once

#include <QPointer>
#include <QToolBar>

class QComboBox;

namespace Velmora {

class CommandEdit;
class ModuleHost;

class CommandController;

// The bar under the map where commands are typed: the zone they go to (the
// only one by itself, else chosen here or in the tree) and the command line
// with its history.
class CommandBar : public QToolBar
{
    Q_OBJECT
public:
    CommandBar(ModuleHost* host, CommandController* commands, QWidget* parent);

    QObject* zone() const;
    // A zone that is not open is no choice.
    void setZone(QObject* zone);
    // Brings the choice up to the zones open now; leaving is about to go and no choice.
    void updateZones(const QObject* leaving = nullptr);
    // Commands wait while the history dock shows the past.
    void setReplaying(bool replaying);

signals:
    // The zone commands go to, after every update.
    void zoneChanged(QObject* zone);

private:
    void run();
    void fillChoice(const QList<QObject*>& zones);

    ModuleHost* m_host;
    CommandController* m_commands;
    QComboBox* m_choice;
    CommandEdit* m_edit;
    QPointer<QObject> m_zone;
    bool m_replaying = false;
};

} // namespace Velmora
