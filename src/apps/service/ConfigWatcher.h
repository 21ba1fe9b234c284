#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <map>
#include <memory>

namespace Service {

class Server;
class ServiceLog;
class SimClock;
class ZoneConfig;
class ZoneModel;

// Follows the files the service serves. A file that changes on disk and still
// reads as the same zone becomes that zone's configuration, and every client
// is disconnected once so that it links up again on the new one. A file that
// does not read, or now holds another zone, leaves the running one in place.
class ConfigWatcher : public QObject
{
    Q_OBJECT

public:
    // Editors write a file in several steps; the last change counts.
    static constexpr int SettleMs = 200;

    ConfigWatcher(const QList<ZoneModel*>& zones, const SimClock& clock, Server& server,
                  ServiceLog& log, QObject* parent = nullptr);
    ~ConfigWatcher() override;

private slots:
    void fileChanged(const QString& path);
    void folderChanged(const QString& folder);
    void settled();

private:
    void watchFiles();
    bool reload(ZoneModel* zone, const QString& path);

    const SimClock& m_clock;
    Server& m_server;
    ServiceLog& m_log;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QHash<QString, ZoneModel*> m_files; // absolute path → the zone it serves
    QHash<QString, QByteArray> m_lastRead; // what each file held when last looked at
    QSet<QString> m_changed;
    std::map<int, std::unique_ptr<ZoneConfig>> m_configs; // the configurations taken since start
};

} // namespace Service
