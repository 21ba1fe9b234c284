#pragma once

#include <QString>

#include <initializer_list>

#include "Velmora/Area.h"
#include "Velmora/Zone.h"

// What the service has reported into a zone, comparable as text:
// "source strategy id:source,state,special ..." for the given areas, in order.
// For tests that link the module's core.
inline QString reportedState(Velmora::Zone& zone, std::initializer_list<int> areaIds)
{
    QString text = QStringLiteral("%1 %2").arg(zone.controlSource()).arg(zone.currentStrategy());
    for (int id : areaIds) {
        const Velmora::Area* area = zone.area(uint(id));
        text += QStringLiteral(" %1:%2,%3,%4")
                    .arg(id)
                    .arg(area->controlSource())
                    .arg(area->currentState())
                    .arg(area->specialState());
    }
    return text;
}
