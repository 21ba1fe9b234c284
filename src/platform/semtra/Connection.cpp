#include "Connection.h"

namespace Semtra {

Connection::Connection(QObject* parent)
    : QObject(parent)
{
}

Connection::~Connection() = default;

} // namespace Semtra
