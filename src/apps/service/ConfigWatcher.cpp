#include "ConfigWatcher.h"

#include "Server.h"
#include "ServiceLog.h"
#include "SimClock.h"
#include "ZoneConfig.h"
#include "ZoneModel.h"

#include <QFileInfo>

namespace Service {

ConfigWatcher::ConfigWatcher(const QList<ZoneModel*>& zones, const SimClock& clock,
                             Server& server, ServiceLog& log, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_server(server)
    , m_log(log)
{
    for (ZoneModel* zone : zones) {
        const QString path = QFileInfo(zone->config().path()).absoluteFilePath();
        m_files.insert(path, zone);
        m_lastRead.insert(path, zone->config().base64());
    }
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &ConfigWatcher::settled);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &ConfigWatcher::fileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ConfigWatcher::folderChanged);
    watchFiles();
}

ConfigWatcher::~ConfigWatcher() = default;

// Editors replace a file by renaming another onto it, which ends the watch on
// the file; the folder's watch sees the new one arrive.
void ConfigWatcher::watchFiles()
{
    QStringList paths;
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
        paths << it.key() << QFileInfo(it.key()).absolutePath();
    paths.removeDuplicates();
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString& path : qAsConst(paths)) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_watcher.addPath(path);
    }
}

void ConfigWatcher::fileChanged(const QString& path)
{
    m_changed.insert(path);
    m_settle.start();
}

void ConfigWatcher::folderChanged(const QString& folder)
{
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (QFileInfo(it.key()).absolutePath() == folder)
            m_changed.insert(it.key());
    }
    m_settle.start();
}

void ConfigWatcher::settled()
{
    watchFiles();
    bool reloaded = false;
    for (const QString& path : qAsConst(m_changed)) {
        if (ZoneModel* zone = m_files.value(path))
            reloaded = reload(zone, path) || reloaded;
    }
    m_changed.clear();
    if (reloaded)
        m_server.closeClients();
}

bool ConfigWatcher::reload(ZoneModel* zone, const QString& path)
{
    if (!QFileInfo::exists(path))
        return false; // between the steps of a replacement; the folder's watch brings it back
    auto config = std::make_unique<ZoneConfig>();
    QString error;
    const bool loaded = config->load(zone->config().path(), &error);
    // A folder's change (a backup written beside the file) leaves the file as it was.
    if (config->base64() == m_lastRead.value(path))
        return false;
    m_lastRead.insert(path, config->base64());
    if (!loaded) {
        m_log.note(QStringLiteral("zone %1: %2 not reloaded, the running configuration stays: %3")
                       .arg(zone->id())
                       .arg(zone->config().path(), error));
        return false;
    }
    if (config->id() != zone->id()) {
        m_log.note(QStringLiteral("zone %1: %2 now holds zone %3, the running configuration stays")
                       .arg(zone->id())
                       .arg(zone->config().path())
                       .arg(config->id()));
        return false;
    }
    zone->reconfigure(config.get(), m_clock.now());
    m_log.note(QStringLiteral("zone %1: configuration reloaded from %2 (hash %3)")
                   .arg(zone->id())
                   .arg(config->path(), ServiceLog::formatValues({config->digest()})));
    m_configs[zone->id()] = std::move(config);
    return true;
}

} // namespace Service
