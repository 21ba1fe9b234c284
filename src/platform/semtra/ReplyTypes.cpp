#include "ReplyTypes.h"

#include <QHash>
#include <QPair>
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
    QHash<QPair<int, int>, QList<QVariant::Type>> types;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerReply(int tag, int replyCode, const QList<QVariant::Type>& types)
{
    Registry& r = registry();
    QWriteLocker locker(&r.lock);
    r.types.insert(qMakePair(tag, replyCode), types);
}

QList<QVariant::Type> types(int tag, int replyCode)
{
    Registry& r = registry();
    QReadLocker locker(&r.lock);
    return r.types.value(qMakePair(tag, replyCode));
}

} // namespace ReplyTypes
} // namespace Semtra
