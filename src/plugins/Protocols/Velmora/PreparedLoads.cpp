#include "PreparedLoads.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMetaObject>

#include "Logging.h"

namespace Velmora {

namespace {

constexpr int MaxReady = 8;
constexpr qint64 ChunkSize = 1 << 20;

// Longer than the coarsest time stamps a file system keeps (two seconds) and
// the lag of the kernel's coarse clock behind the wall clock.
constexpr qint64 SettledMs = 3000;

bool readChecksum(QIODevice* file, uint* checksum)
{
    // CRC-32 where the processor has it.
    QByteArray chunk(int(ChunkSize), Qt::Uninitialized);
    uint sum = 1;
    qint64 read = 0;
    while ((read = file->read(chunk.data(), ChunkSize)) > 0)
        sum = qHashBits(chunk.constData(), size_t(read), sum);
    *checksum = sum;
    return read == 0;
}

} // namespace

FileStamp FileStamp::of(const QString& fileName)
{
    FileStamp stamp;
    stamp.taken = QDateTime::currentDateTimeUtc();
    const QFileInfo info(fileName);
    QFile file(fileName);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return stamp;
    stamp.size = info.size();
    stamp.modified = info.lastModified();
    stamp.metadataChanged = info.metadataChangeTime();
    // A rewrite within the file system's time resolution that keeps the size
    // still changes the bytes.
    stamp.valid = readChecksum(&file, &stamp.checksum);
    return stamp;
}

bool FileStamp::stillMatches(const QString& fileName) const
{
    if (!valid)
        return false;
    // Opening makes a network file system fetch the file's times anew
    // (close-to-open), which a bare look-up may answer from its cache.
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() != size || info.lastModified() != modified
        || info.metadataChangeTime() != metadataChanged)
        return false;
    if (metadataChanged.msecsTo(taken) > SettledMs)
        return true;
    uint now = 0;
    return readChecksum(&file, &now) && now == checksum;
}

PreparedLoads::PreparedLoads(QObject* context)
    : m_context(context)
{
}

PreparedLoads::~PreparedLoads()
{
    m_workers.waitForDone();
}

void PreparedLoads::prepare(const QString& fileName, QObject* receiver, const QByteArray& member)
{
    const quint64 request = ++m_lastRequest;
    m_callers.insert(request, Caller{receiver, member});
    ++m_wanted[fileName];
    m_workers.start([this, request, fileName] {
        // The stamp first: a change while the file is read shows as a
        // stamp that no longer matches when the reading is taken.
        Prepared prepared{FileStamp::of(fileName), ZoneFile::read(fileName, Zone::Reading::OnePass)};
        QMetaObject::invokeMethod(
            m_context, [this, request, prepared] { finished(request, prepared); }, Qt::QueuedConnection);
    });
}

void PreparedLoads::finished(quint64 request, const Prepared& prepared)
{
    const QString& fileName = prepared.file.fileName;
    if (m_wanted.value(fileName) > 0) {
        if (m_ready.size() >= MaxReady && !m_ready.contains(fileName))
            m_ready.erase(m_ready.begin());
        m_ready.insert(fileName, prepared);
    }
    const Caller caller = m_callers.take(request);
    if (!caller.receiver)
        return;
    const bool ok = prepared.file.parsed && prepared.file.zone.error.isEmpty();
    if (!QMetaObject::invokeMethod(caller.receiver, caller.member.constData(), Q_ARG(QString, fileName),
                                   Q_ARG(bool, ok))) {
        qCWarning(lcLoad, "%s has no method %s(QString,bool) to hear that %s was read",
                  caller.receiver->metaObject()->className(), caller.member.constData(), qUtf8Printable(fileName));
    }
}

bool PreparedLoads::take(const QString& fileName, ZoneFile* file)
{
    const auto wanted = m_wanted.find(fileName);
    if (wanted == m_wanted.end())
        return false;
    const bool last = --wanted.value() == 0;
    if (last)
        m_wanted.erase(wanted);
    const auto found = m_ready.find(fileName);
    if (found == m_ready.end())
        return false;
    const Prepared prepared = found.value();
    if (last)
        m_ready.erase(found);
    if (!prepared.stamp.stillMatches(fileName))
        return false;
    *file = prepared.file;
    return true;
}

} // namespace Velmora
