#include "ZoneFiles.h"

#include "LogDock.h"
#include "ModuleHost.h"
#include "StatusLabels.h"
#include "ZoneChanges.h"
#include "ZoneFileWatcher.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace Velmora {

namespace {

constexpr int MessageTimeout = StatusLabels::MessageTimeout;

QString absolute(const QString& fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

} // namespace

ZoneFiles::ZoneFiles(ModuleHost* host, QWidget* dialogParent)
    : QObject(dialogParent)
    , m_host(host)
    , m_dialogParent(dialogParent)
    , m_watcher(new ZoneFileWatcher(this))
{
    connect(m_host, &ModuleHost::zoneReloaded, this, &ZoneFiles::zoneReloaded);
    connect(m_host, &ModuleHost::reloadFailed, this, &ZoneFiles::reloadFailed);
    connect(m_watcher, &ZoneFileWatcher::fileChanged, this, &ZoneFiles::fileChanged);
    connect(m_host, &ModuleHost::zoneFileReloading, m_watcher, &ZoneFileWatcher::watch);
    connect(&m_versions, &ZoneVersions::changesSaved, this,
            [this](const QString&, const QStringList& changes) { logChanges(changes); });
}

void ZoneFiles::watch(QObject* zone)
{
    m_watcher->watch(ModuleHost::zoneFile(zone));
}

void ZoneFiles::unwatch(QObject* zone)
{
    m_watcher->unwatch(ModuleHost::zoneFile(zone));
    // The file opened again is read as it is then.
    m_problems.remove(absolute(ModuleHost::zoneFile(zone)));
}

void ZoneFiles::editorOpened(QObject* zone)
{
    m_versions.editorOpened(ModuleHost::zoneFile(zone));
}

QString ZoneFiles::problem(QObject* zone) const
{
    return m_problems.value(absolute(ModuleHost::zoneFile(zone)));
}

void ZoneFiles::logChanges(const QStringList& changes)
{
    for (const QString& line : changes)
        emit logLine(QStringLiteral("  ") + line);
}

void ZoneFiles::zoneReloaded(const QString& fileName, QObject* zone)
{
    m_problems.remove(absolute(fileName));
    const bool changedOnDisk = m_changedFilesReloading.contains(absolute(fileName));
    if (changedOnDisk) {
        emit logLine(tr("%1 reloaded: its file changed on disk").arg(LogDock::zoneLabel(zone)));
    } else {
        emit logLine(tr("%1 reloaded after editing").arg(LogDock::zoneLabel(zone)));
        m_versions.compareSaved(fileName);
    }
    emit statusMessage(tr("Reloaded %1").arg(fileName), MessageTimeout);
    emit reloaded(zone, changedOnDisk);
}

void ZoneFiles::reloadFailed(const QString& fileName, const QString& reason)
{
    emit logLine(tr("cannot reload %1: %2").arg(fileName, reason));
    emit statusMessage(tr("Cannot reload %1").arg(fileName), MessageTimeout);
    if (QObject* zone = m_host->zoneForFile(fileName)) {
        m_problems.insert(absolute(fileName), reason);
        emit problemFound(zone);
    }
}

void ZoneFiles::fileChanged(const QString& fileName, const QByteArray& before)
{
    QObject* zone = m_host->zoneForFile(fileName);
    if (!zone)
        return;
    emit logLine(tr("%1: %2 changed on disk, reloading").arg(LogDock::zoneLabel(zone), fileName));
    QStringList changes;
    QString error;
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly) && ZoneChanges::compare(before, file.readAll(), &changes, &error))
        logChanges(changes);
    // By file: the reload waits in an event loop, where an edited zone's
    // reload may come in meanwhile.
    const QString zoneFile = ModuleHost::zoneFile(zone);
    m_changedFilesReloading.insert(absolute(zoneFile));
    m_host->reloadZone(zoneFile);
    m_changedFilesReloading.remove(absolute(zoneFile));
}

void ZoneFiles::revert(QObject* zone)
{
    if (!zone) {
        emit statusMessage(tr("Select the zone to revert"), MessageTimeout);
        return;
    }
    const QString file = ModuleHost::zoneFile(zone);
    if (!ZoneVersions::hasPreviousVersion(file)) {
        emit statusMessage(tr("No previous version of %1 was kept").arg(file), MessageTimeout);
        return;
    }
    QStringList changes;
    QString error;
    if (!ZoneVersions::revertChanges(file, &changes, &error)) {
        QMessageBox::warning(m_dialogParent, tr("Revert"), tr("The previous version cannot be read: %1").arg(error));
        return;
    }
    QMessageBox question(QMessageBox::Question, tr("Revert"),
                         tr("Revert %1 to the version before its last save?").arg(LogDock::zoneLabel(zone)),
                         QMessageBox::Cancel, m_dialogParent);
    question.setObjectName(QStringLiteral("revertQuestion"));
    question.setInformativeText(changes.isEmpty() ? tr("The two versions differ only in layout.")
                                                  : tr("Reverting changes:\n%1").arg(changes.join(QLatin1Char('\n'))));
    QPushButton* revert = question.addButton(tr("Revert"), QMessageBox::AcceptRole);
    question.setDefaultButton(QMessageBox::Cancel);
    question.exec();
    if (question.clickedButton() != revert)
        return;
    if (!ZoneVersions::revert(file, &error)) {
        QMessageBox::warning(m_dialogParent, tr("Revert"), tr("Nothing was reverted: %1").arg(error));
        return;
    }
    emit logLine(tr("%1 reverted to the version before its last save").arg(LogDock::zoneLabel(zone)));
    logChanges(changes);
    m_host->reloadZone(file);
}

} // namespace Velmora
