#include "ReplyTypes.h"

#include <QHash>
#include <QReadLocker>
#include <QReadWriteLock>
#include <QWriteLocker>

namespace Semtra {
namespace ReplyTypes {

namespace {

// Modules register at load time, possibly from a loader thread, while
// responses may be decoded anywhere; hence the lock.
struct Registry
{
    QReadWriteLock lock;
    QHash<int, QList<QVariant::Type>> types;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerReply(int replyCode, const QList<QVariant::Type>& types)
{
    Registry& r = registry();
    QWriteLocker locker(&r.lock);
    r.types.insert(replyCode, types);
}

QList<QVariant::Type> types(int replyCode)
{
    Registry& r = registry();
    QReadLocker locker(&r.lock);
    return r.types.value(replyCode);
}

} // namespace ReplyTypes
} // namespace Semtra
