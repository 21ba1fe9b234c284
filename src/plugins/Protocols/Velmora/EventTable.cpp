#include "EventTable.h"

#include "format/Protocol.h"

namespace Velmora {

EventTable::EventTable()
{
    for (const Protocol::EventRow& row : Protocol::events()) {
        // The description column repeats the name for every event.
        name.insert(row.id, QString::fromUtf8(row.name));
        description.insert(row.id, QString::fromUtf8(row.name));
        paramNames.insert(row.id, Protocol::splitList(row.paramNames));
        paramTypes.insert(row.id, Protocol::splitTypes(row.paramTypes));
        paramCount.insert(row.id, row.paramCount);
        properties.insert(row.id, Protocol::splitNames(row.properties));
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
