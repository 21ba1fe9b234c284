// Zone operations of the link to the control service.
#include "Zone.h"

#include "ZonePrivate.h"

namespace Velmora {

void Zone::refresh()
{
}

void Zone::setConnection(QObject* connection)
{
    d->connection = connection;
}

Response* Zone::sendCommand(QVariant, QVariant)
{
    return nullptr;
}

bool Zone::message(const Semtra::Command::Message&)
{
    return false;
}

void Zone::hashReaded()
{
}

} // namespace Velmora
