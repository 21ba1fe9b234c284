#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include "HistoryRecord.h"
#include "LinkMonitor.h"

class Notification;
class Response;

namespace Velmora {

class ModuleHost;

class HistoryWriter;

// Turns what the module reports of its linked zones into history records:
// each zone's and area's values after an event or a state reply, the events,
// the commands the operator sends with their results, the link's changes,
// and every ten minutes of service time the whole zone. It only reads the
// module's properties and hands records to the writer, which queues them:
// nothing here waits for the database.
class HistoryRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 FullStateEveryMs = 10 * 60 * 1000;

    HistoryRecorder(ModuleHost* host, LinkMonitor* links, HistoryWriter* writer, QObject* parent = nullptr);

    // The operator's command: recorded with its result once the reply is in.
    void commandSent(QObject* zone, Response* response, const QString& typed);

private slots:
    void stateChanged(const QObject* object);
    void notified(QObject* zone, const Notification* notification);
    void answered(QObject* zone, const Response* response);
    void linkStatusChanged(QObject* zone, LinkMonitor::Status status);
    void zoneRemoved(QObject* zone);

private:
    static constexpr int MaxUnstamped = 16;

    struct ZoneClock
    {
        qint64 lastStampMs = 0; // the service's latest time stamp for the zone
        qint64 nextFullMs = 0;  // when the next full state is due
        // Link changes from before the service's first time stamp, written with it.
        QVector<HistoryRecord> unstamped;
    };

    void observeStamp(QObject* zone, const QDateTime& stamp);
    qint64 serviceMs(QObject* zone) const;
    HistoryRecord baseRecord(QObject* zone, int kind) const;
    void recordFullStateIfDue(QObject* zone);

    ModuleHost* m_host;
    LinkMonitor* m_links;
    HistoryWriter* m_writer;
    QHash<QObject*, ZoneClock> m_clocks;
    QString m_user;
    QString m_hostName;
};

} // namespace Velmora
