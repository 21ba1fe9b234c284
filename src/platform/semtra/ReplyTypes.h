#pragma once

#include "SemtraGlobal.h"

#include <QList>
#include <QVariant>

namespace Semtra {

// Parameter types of reply codes. The library knows no protocol; a module
// registers its replies at load time so that Response::data() can decode them.
namespace ReplyTypes {

SEMTRA_EXPORT void registerReply(int replyCode, const QList<QVariant::Type>& types);
// Empty when the code was never registered.
SEMTRA_EXPORT QList<QVariant::Type> types(int replyCode);

} // namespace ReplyTypes
} // namespace Semtra
