#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include "ZoneFile.h"

namespace Velmora {

// What a file was when it was read: its size, modification and metadata
// change times and a checksum of its bytes. Invalid for a file that cannot be
// read.
struct FileStamp
{
    bool valid = false;
    qint64 size = -1;
    QDateTime modified;
    QDateTime metadataChanged;
    // When the stamp was taken, before the file was looked at.
    QDateTime taken;
    uint checksum = 0;

    // Reads the whole file for the checksum.
    static FileStamp of(const QString& fileName);
    // Whether the file is still as it was stamped. Only a file changed
    // shortly before it was stamped is read again for its checksum: for any
    // other, a write since would have moved its metadata change time, which,
    // unlike the modification time, cannot be set back.
    bool stillMatches(const QString& fileName) const;
};

// Zone files read ahead on worker threads, so that loading one only builds
// its objects on the GUI thread. A reading serves as many loads of its file
// as readings were asked for (the latest reading of the file serves them),
// and only while the file is still as it was read. Lives on the GUI thread.
class PreparedLoads
{
public:
    // Results come back through `context`'s event loop; a member of the
    // context, so that none arrives after it.
    explicit PreparedLoads(QObject* context);
    // Waits for the readings under way.
    ~PreparedLoads();
    PreparedLoads(const PreparedLoads&) = delete;
    PreparedLoads& operator=(const PreparedLoads&) = delete;

    // Reads the file on a worker, then calls `member(QString fileName, bool
    // ok)` on the receiver, on the GUI thread, unless the receiver is gone;
    // `ok` says whether loading it would succeed.
    void prepare(const QString& fileName, QObject* receiver, const QByteArray& member);
    // The reading prepared for the file, when the file has not changed since
    // it was read. Each call uses up one of the file's readings asked for,
    // ready or not.
    bool take(const QString& fileName, ZoneFile* file);

private:
    struct Prepared
    {
        FileStamp stamp;
        ZoneFile file;
    };
    struct Caller
    {
        QPointer<QObject> receiver;
        QByteArray member;
    };

    void finished(quint64 request, const Prepared& prepared);

    QObject* m_context;
    QThreadPool m_workers;
    quint64 m_lastRequest = 0;
    QHash<quint64, Caller> m_callers;
    // Loads still to come for each file read ahead.
    QHash<QString, int> m_wanted;
    // At most a few: a host that prepares a file and never loads it leaves it here.
    QHash<QString, Prepared> m_ready;
};

} // namespace Velmora
