#include "Message.h"

#include "Connection.h"

namespace Semtra {
namespace Command {

void registerMessageType()
{
    qRegisterMetaType<Message>();
    // Modules connect by written signature, so the spelled-out names must
    // resolve too; both normalise to the same registered type.
    qRegisterMetaType<Message>("Semtra::Command::Message");
    qRegisterMetaType<Message>("const Semtra::Command::Message&");
    qRegisterMetaType<Connection::State>();
    qRegisterMetaType<Connection::State>("Semtra::Connection::State");
}

namespace {

// Registered when the library is loaded, before any host code runs.
const struct Registrar
{
    Registrar() { registerMessageType(); }
} registrar;

} // namespace

} // namespace Command
} // namespace Semtra
