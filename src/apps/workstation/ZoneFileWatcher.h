#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QFuture>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QTimer>

namespace Velmora {

// Follows the files of the open zones on disk. A file whose content differs
// from what it held when last looked at (another tool wrote it, another
// workstation saved it) is reported once its writes have settled. Editors
// replace a file by renaming another onto it, which ends the watch on the
// file; the folder's watch sees it come back.
class ZoneFileWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int SettleMs = 200;

    explicit ZoneFileWatcher(QObject* parent = nullptr);

    // Follows the file from what it holds now, read off the GUI thread.
    void watch(const QString& fileName);
    void unwatch(const QString& fileName);

signals:
    // `before` is what the file held when last looked at.
    void fileChanged(const QString& fileName, const QByteArray& before);

private:
    void noteChange(const QString& path);
    void noteFolderChange(const QString& folder);
    void settled();
    void watchPaths();
    // What the file held when last looked at, once its reading is done.
    QByteArray& knownContent(const QString& path);

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QHash<QString, QByteArray> m_content; // absolute path → content last looked at
    QHash<QString, QFuture<QByteArray>> m_reading; // absolute path → its content being read
    QSet<QString> m_changed;
    // Declared last, destroyed first: waits for the readings still running.
    QThreadPool m_readers;
};

} // namespace Velmora
