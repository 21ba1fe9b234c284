#pragma once

#include <QDockWidget>
#include <QPointer>

#include "Velmora/format/ConfigChecker.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace Velmora {

// The findings of the last "Check zone", one row a finding in file order:
// severity, line, kind and message, errors in red. Picking a row chooses the
// object the finding is about: the controller its element names, else the
// area, else the zone.
class FindingsDock : public QDockWidget
{
    Q_OBJECT
public:
    enum Column { SeverityColumn, LineColumn, KindColumn, MessageColumn };

    explicit FindingsDock(QWidget* parent = nullptr);

    QTreeWidget* view() const;
    QObject* zone() const;
    // Checks the zone's file as it is on disk and lists what it finds.
    Velmora::ConfigFindings checkZone(QObject* zone);
    void setFindings(QObject* zone, const Velmora::ConfigFindings& findings);

    // The zone's object an element path leads to: the last controller it
    // names ("…/Controller[id=11]/Program"), else the area ("Areas/Area[id=3]/…",
    // "Strategies/Strategy[id=1]/Area[id=3]"), else the zone itself.
    static QObject* objectAt(QObject* zone, const QString& path);

signals:
    void objectChosen(QObject* object);

private:
    void rowChosen(QTreeWidgetItem* item);

    QTreeWidget* m_view;
    QPointer<QObject> m_zone;
};

} // namespace Velmora
