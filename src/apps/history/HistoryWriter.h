#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>
#include <QWaitCondition>

#include <atomic>
#include <deque>

#include "HistoryRecord.h"
#include "HistoryUrl.h"

class QSqlDatabase;
class QSqlQuery;
class QThread;

namespace Velmora {

// Writes records to the history on a thread of its own, in batched
// transactions. add() never waits for the database: records queue up to a
// bound, and past it the oldest waiting batch is dropped and the loss is told
// once, with its count. A database that cannot be used ends the recording
// (unavailable); a PostgreSQL server that goes away is reconnected with
// backoff while the records wait in the queue.
class HistoryWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr int BatchSize = 1000;
    // A few seconds of the busiest link the workstation takes.
    static constexpr int DefaultQueueLimit = 100000;
    static constexpr int DefaultRetentionDays = 90;
    static constexpr int PurgeChunk = 500;

    explicit HistoryWriter(const HistoryUrl& url, QObject* parent = nullptr);
    // Writes what is queued, then stops the thread.
    ~HistoryWriter() override;

    // Before start(). 0 days keeps everything.
    void setRetentionDays(int days);
    void setQueueLimit(int records);
    void start();
    // Thread-safe; ignored once the history is unavailable.
    void add(const HistoryRecord& record);
    // Deletes what is older than the retention in the background (it also runs every few minutes).
    void purgeSoon();
    // Waits until everything added so far is committed or lost; for tests, benchmarks and exit.
    bool flush(int timeoutMs);

    HistoryUrl url() const { return m_url; }
    bool isAvailable() const { return !m_unavailable; }
    qint64 written() const { return m_written; }
    qint64 lost() const { return m_lost; }
    int queued() const;

signals:
    void opened(const QString& where);
    // The history is off for this session: why, in words.
    void unavailable(const QString& reason);
    void warning(const QString& text);
    void purged(int records);
    // Records committed, from the writer's thread: what reads the history can read them now.
    void committed(qint64 records);

private:
    using Batch = QVector<HistoryRecord>;

    void run();
    bool openDatabase(QSqlDatabase& db, QString* error);
    // False when the database failed; the batch is then still owed.
    bool writeBatch(QSqlDatabase& db, const Batch& batch, QString* error);
    bool bindAndInsert(QSqlQuery& insert, const HistoryRecord& record, QString* error);
    // The records deleted by one small delete; -1 when it failed.
    int purgeStep(QSqlDatabase& db);
    // Waits for a batch, the stop or the timeout; takes the waiting batches.
    std::deque<Batch> takeBatches(int waitMs);
    void giveBack(std::deque<Batch>& batches);
    void batchesDone(qint64 records);
    void reportLoss();
    void fail(const QString& reason);
    bool reconnect(QSqlDatabase& db, const QString& reason);
    QString describe(const QString& error) const;

    const HistoryUrl m_url;
    const QString m_connectionName;
    int m_retentionDays = DefaultRetentionDays;
    int m_queueLimit = DefaultQueueLimit;
    QThread* m_thread = nullptr;

    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    QWaitCondition m_drained;
    std::deque<Batch> m_batches; // closed batches, oldest first
    Batch m_open;                // the batch add() fills
    int m_queuedRecords = 0;
    qint64 m_inFlight = 0;       // taken by the thread, not yet committed
    qint64 m_lostUntold = 0;
    bool m_stopping = false;
    bool m_purgeWanted = true;

    std::atomic<bool> m_unavailable{false};
    std::atomic<qint64> m_written{0};
    std::atomic<qint64> m_lost{0};
};

} // namespace Velmora
