#pragma once

#include "SemtraGlobal.h"

#include <QList>
#include <QVariant>

namespace Semtra {

// Parameter types of reply codes. The library knows no protocol; a module
// registers its replies at load time so that Response::data() can decode them.
// Codes are per protocol: two modules may use the same code for different replies.
namespace ReplyTypes {

SEMTRA_EXPORT void registerReply(int tag, int replyCode, const QList<QVariant::Type>& types);
// Empty when the code was never registered for that protocol tag.
SEMTRA_EXPORT QList<QVariant::Type> types(int tag, int replyCode);

} // namespace ReplyTypes
} // namespace Semtra
