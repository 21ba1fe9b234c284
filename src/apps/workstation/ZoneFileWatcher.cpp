#include "ZoneFileWatcher.h"

#include <QFile>
#include <QFileInfo>

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
    m_content.insert(path, contentOf(path));
    watchPaths();
}

void ZoneFileWatcher::unwatch(const QString& fileName)
{
    const QString path = key(fileName);
    if (!m_content.remove(path))
        return;
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
        const QByteArray now = contentOf(path);
        auto known = m_content.find(path);
        // A backup written beside it, or a file not back yet, is no change of it.
        if (known == m_content.end() || now.isNull() || now == known.value())
            continue;
        const QByteArray before = known.value();
        known.value() = now;
        emit fileChanged(path, before);
    }
}
