#include "EventTable.h"

#include "CommandTable.h"

namespace Velmora {

namespace {

struct EventRow
{
    int id;
    const char* name;
    const char* paramNames;
    const char* paramTypes;
    int paramCount;
    const char* properties;
};

// The area id comes first so that it is in place before the setters that use it.
const EventRow events[] = {
    {0, "изменение источника управления зоны", "источник управления", "uint", 1, "controlSource"},
    {1, "изменение текущей стратегии", "номер стратегии", "uint", 1, "strategy"},
    {2, "изменение источника управления района", "номер района|источник управления", "uint|uint",
     2, "areaId|areaControlSource"},
    {3, "изменение текущего состояния района",
     "номер района|номер состояния|номер предопределённого состояния", "uint|uint|uint", 3,
     "areaId|areaState|areaSpecialState"},
};

} // namespace

EventTable::EventTable()
{
    for (const EventRow& row : events) {
        name.insert(row.id, QString::fromUtf8(row.name));
        description.insert(row.id, QString::fromUtf8(row.name));
        paramNames.insert(row.id, Table::splitList(row.paramNames));
        paramTypes.insert(row.id, Table::splitTypes(row.paramTypes));
        paramCount.insert(row.id, row.paramCount);
        properties.insert(row.id, Table::splitNames(row.properties));
    }
}

const EventTable& EventTable::instance()
{
    static const EventTable table;
    return table;
}

QList<QByteArray> EventTable::propertyNames(int eventId)
{
    return instance().properties.value(eventId);
}

} // namespace Velmora
