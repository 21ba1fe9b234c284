#pragma once

#include "SemtraGlobal.h"

#include <QMetaType>
#include <QVariant>

namespace Semtra {
namespace Command {

// Kinds of message on the command connection. Any kind not listed is an error
// code that fails the reply with the same message number.
enum Kind {
    Event = 0,
    Reply = 1,
    Request = 2,
    Connected = 3,
    Disconnected = 4,
};

// One message between the host's connection and the control service.
struct SEMTRA_EXPORT Message
{
    int number = 0;
    int objectId = 0;
    int kind = 0;
    int tag = 0;
    QVariant data;
};

// Registers Message for queued connections and QVariant; called by the library
// at load time, safe to call again.
SEMTRA_EXPORT void registerMessageType();

} // namespace Command
} // namespace Semtra

Q_DECLARE_METATYPE(Semtra::Command::Message)
