#include "ZoneFileWatcher.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent>

namespace Velmora {

namespace {

QString key(const QString& fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

// Null when the file cannot be read (between the steps of a replacement).
QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What tells one version of a file from the next without reading it.
struct Stamp
{
    qint64 size = -1;
    QDateTime modified;
    QDateTime metadataChanged; // a file renamed onto the path
    explicit Stamp(const QString& path)
    {
        const QFileInfo info(path);
        if (info.exists()) {
            size = info.size();
            modified = info.lastModified();
            metadataChanged = info.metadataChangeTime();
        }
    }
    bool operator==(const Stamp& other) const
    {
        return size == other.size && modified == other.modified && metadataChanged == other.metadataChanged;
    }
};

// The content as it was when `stamp` was taken; null when the file changed
// since, as for a file that could not be read: what it held is not known.
QByteArray contentAsStamped(const QString& path, const Stamp& stamp)
{
    const QByteArray content = contentOf(path);
    return Stamp(path) == stamp ? content : QByteArray();
}

} // namespace

ZoneFileWatcher::ZoneFileWatcher(QObject* parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &ZoneFileWatcher::settled);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &ZoneFileWatcher::noteChange);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ZoneFileWatcher::noteFolderChange);
}

void ZoneFileWatcher::watch(const QString& fileName)
{
    const QString path = key(fileName);
    // A large zone's file takes the GUI thread several milliseconds to read,
    // just when the zone is being shown.
    m_content.insert(path, QByteArray());
    m_reading.insert(path, QtConcurrent::run(&m_readers, contentAsStamped, path, Stamp(path)));
    watchPaths();
}

void ZoneFileWatcher::unwatch(const QString& fileName)
{
    const QString path = key(fileName);
    if (!m_content.remove(path))
        return;
    m_reading.remove(path);
    m_changed.remove(path);
    QStringList unused{path};
    const QString folder = QFileInfo(path).absolutePath();
    bool folderInUse = false;
    for (auto it = m_content.cbegin(); it != m_content.cend(); ++it)
        folderInUse = folderInUse || QFileInfo(it.key()).absolutePath() == folder;
    if (!folderInUse)
        unused << folder;
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString& stale : qAsConst(unused)) {
        if (watched.contains(stale))
            m_watcher.removePath(stale);
    }
}

void ZoneFileWatcher::watchPaths()
{
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (auto it = m_content.cbegin(); it != m_content.cend(); ++it) {
        for (const QString& path : {it.key(), QFileInfo(it.key()).absolutePath()}) {
            if (!watched.contains(path) && QFileInfo::exists(path))
                m_watcher.addPath(path);
        }
    }
}

QByteArray& ZoneFileWatcher::knownContent(const QString& path)
{
    const auto reading = m_reading.find(path);
    if (reading != m_reading.end()) {
        m_content[path] = reading.value().result();
        m_reading.erase(reading);
    }
    return m_content[path];
}

void ZoneFileWatcher::noteChange(const QString& path)
{
    if (!m_content.contains(path))
        return;
    m_changed.insert(path);
    m_settle.start();
}

void ZoneFileWatcher::noteFolderChange(const QString& folder)
{
    for (auto it = m_content.cbegin(); it != m_content.cend(); ++it) {
        if (QFileInfo(it.key()).absolutePath() == folder)
            m_changed.insert(it.key());
    }
    m_settle.start();
}

void ZoneFileWatcher::settled()
{
    watchPaths();
    const QSet<QString> changed = m_changed;
    m_changed.clear();
    for (const QString& path : changed) {
        if (!m_content.contains(path))
            continue;
        const QByteArray now = contentOf(path);
        QByteArray& known = knownContent(path);
        // A backup written beside it, or a file not back yet, is no change of it.
        if (now.isNull() || now == known)
            continue;
        const QByteArray before = known;
        known = now;
        emit fileChanged(path, before);
    }
}

} // namespace Velmora
