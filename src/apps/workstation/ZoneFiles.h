#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include "ZoneVersions.h"

class QWidget;

namespace Velmora {

class ModuleHost;
class ZoneFileWatcher;

// The files of the open zones over their life: watched for other writers
// (what changed logged, the zone reloaded), the content kept while an editor
// is open and compared after its save, reloads that fail noted, and the
// revert to the version before the last save.
class ZoneFiles : public QObject
{
    Q_OBJECT
public:
    // Questions and warnings of a revert open over dialogParent.
    ZoneFiles(ModuleHost* host, QWidget* dialogParent);

    void watch(QObject* zone);
    void unwatch(QObject* zone);
    void editorOpened(QObject* zone);
    // Says what reverting would change and reverts when the user agrees.
    void revert(QObject* zone);
    // Why the zone's file, changed on disk, did not load; empty while it is fine.
    QString problem(QObject* zone) const;

signals:
    void logLine(const QString& text);
    void statusMessage(const QString& text, int timeout);
    // The zone's file stopped loading: its row shows why.
    void problemFound(QObject* zone);
    // The zone was loaded again from its file: changed on disk by another
    // writer, or saved by the user's own edit (or revert) otherwise.
    void reloaded(QObject* zone, bool changedOnDisk);

private slots:
    void zoneReloaded(const QString& fileName, QObject* zone);
    void reloadFailed(const QString& fileName, const QString& reason);
    // Another tool or workstation wrote an open zone's file.
    void fileChanged(const QString& fileName, const QByteArray& before);

private:
    void logChanges(const QStringList& changes);

    ModuleHost* m_host;
    QWidget* m_dialogParent;
    ZoneFileWatcher* m_watcher;
    ZoneVersions m_versions;
    // Files that changed on disk and do not load, by absolute path: why.
    QHash<QString, QString> m_problems;
    // Files being reloaded because they changed on disk, by absolute path.
    QSet<QString> m_changedFilesReloading;
};

} // namespace Velmora
