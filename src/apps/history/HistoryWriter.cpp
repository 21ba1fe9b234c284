#include "HistoryWriter.h"

#include "HistorySchema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <algorithm>

namespace Velmora {

namespace {

constexpr int IdleWaitMs = 250;
constexpr qint64 PurgeIntervalMs = 10 * 60 * 1000;
constexpr int FirstBackoffMs = 500;
constexpr int LongestBackoffMs = 30000;
constexpr qint64 DayMs = 24 * 3600 * 1000LL;

const QString InsertSql = QStringLiteral(
    "INSERT INTO records (kind, zone, area, service_ms, local_ms, control_source, strategy, state,"
    " special_state, code, detail, user_name, host, digest) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
    " ON CONFLICT DO NOTHING");

} // namespace

HistoryWriter::HistoryWriter(const HistoryUrl& url, QObject* parent)
    : QObject(parent)
    , m_url(url)
    , m_connectionName(QStringLiteral("history-writer-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

HistoryWriter::~HistoryWriter()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_wake.wakeAll();
    }
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void HistoryWriter::setRetentionDays(int days)
{
    m_retentionDays = std::max(0, days);
}

void HistoryWriter::setQueueLimit(int records)
{
    m_queueLimit = std::max(BatchSize, records);
}

void HistoryWriter::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { run(); });
    m_thread->setObjectName(QStringLiteral("history writer"));
    m_thread->start();
}

void HistoryWriter::add(const HistoryRecord& record)
{
    if (m_unavailable)
        return;
    QMutexLocker lock(&m_mutex);
    m_open.append(record);
    ++m_queuedRecords;
    if (m_open.size() >= BatchSize) {
        m_batches.push_back(std::move(m_open));
        m_open = Batch();
        m_open.reserve(BatchSize);
        m_wake.wakeAll();
    }
    // Past the bound the oldest waiting batch goes: the newest records tell the present.
    while (m_queuedRecords > m_queueLimit && !m_batches.empty()) {
        const int dropped = m_batches.front().size();
        m_batches.pop_front();
        m_queuedRecords -= dropped;
        m_lostUntold += dropped;
        m_lost += dropped;
    }
}

void HistoryWriter::purgeSoon()
{
    QMutexLocker lock(&m_mutex);
    m_purgeWanted = true;
    m_wake.wakeAll();
}

int HistoryWriter::queued() const
{
    QMutexLocker lock(&m_mutex);
    return m_queuedRecords;
}

bool HistoryWriter::flush(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    if (!m_open.isEmpty()) {
        m_batches.push_back(std::move(m_open));
        m_open = Batch();
        m_wake.wakeAll();
    }
    while ((m_queuedRecords > 0 || m_inFlight > 0) && !m_unavailable) {
        if (!m_drained.wait(&m_mutex, deadline))
            return false;
    }
    return true;
}

std::deque<HistoryWriter::Batch> HistoryWriter::takeBatches(int waitMs)
{
    QMutexLocker lock(&m_mutex);
    if (m_batches.empty() && !m_stopping && !m_purgeWanted)
        m_wake.wait(&m_mutex, waitMs);
    // An idle link still gets its few records written.
    if (!m_open.isEmpty()) {
        m_batches.push_back(std::move(m_open));
        m_open = Batch();
    }
    std::deque<Batch> taken;
    taken.swap(m_batches);
    for (const Batch& batch : taken)
        m_inFlight += batch.size();
    m_queuedRecords = 0;
    return taken;
}

void HistoryWriter::giveBack(std::deque<Batch>& batches)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = batches.rbegin(); it != batches.rend(); ++it) {
        m_inFlight -= it->size();
        m_queuedRecords += it->size();
        m_batches.push_front(std::move(*it));
    }
    batches.clear();
    while (m_queuedRecords > m_queueLimit && m_batches.size() > 1) {
        const int dropped = m_batches.front().size();
        m_batches.pop_front();
        m_queuedRecords -= dropped;
        m_lostUntold += dropped;
        m_lost += dropped;
    }
}

void HistoryWriter::batchesDone(qint64 records)
{
    QMutexLocker lock(&m_mutex);
    m_inFlight -= records;
    m_drained.wakeAll();
}

void HistoryWriter::reportLoss()
{
    qint64 lost = 0;
    {
        QMutexLocker lock(&m_mutex);
        std::swap(lost, m_lostUntold);
    }
    if (lost > 0)
        emit warning(tr("History: %1 records were lost: the database did not keep up with the events").arg(lost));
}

void HistoryWriter::fail(const QString& reason)
{
    // Marked first, so that a slot hearing the reason already finds the
    // writer unavailable; said before flush() returns, so whoever waited
    // hears why.
    m_unavailable = true;
    emit unavailable(reason);
    {
        QMutexLocker lock(&m_mutex);
        m_batches.clear();
        m_open.clear();
        m_queuedRecords = 0;
        m_inFlight = 0;
        m_drained.wakeAll();
    }
}

QString HistoryWriter::describe(const QString& error) const
{
    return tr("%1: %2").arg(m_url.text(), error);
}

bool HistoryWriter::openDatabase(QSqlDatabase& db, QString* error)
{
    db = m_url.addDatabase(m_connectionName);
    return m_url.open(&db, error) && HistorySchema::migrate(db, error);
}

void HistoryWriter::run()
{
    QString error;
    {
        QSqlDatabase db;
        if (!openDatabase(db, &error)) {
            fail(describe(error));
        } else {
            emit opened(m_url.text());
            QElapsedTimer sincePurge;
            sincePurge.start();
            bool purging = false;
            int purgedRecords = 0;
            bool stop = false;
            while (!stop) {
                {
                    QMutexLocker lock(&m_mutex);
                    stop = m_stopping;
                    if (m_purgeWanted || sincePurge.elapsed() > PurgeIntervalMs) {
                        purging = m_retentionDays > 0;
                        m_purgeWanted = false;
                        sincePurge.restart();
                    }
                }
                std::deque<Batch> batches = takeBatches(purging ? 0 : IdleWaitMs);
                reportLoss();
                qint64 records = 0;
                while (!batches.empty()) {
                    if (!writeBatch(db, batches.front(), &error))
                        break;
                    records += batches.front().size();
                    batches.pop_front();
                }
                m_written += records;
                batchesDone(records);
                if (records > 0)
                    emit committed(records);
                if (!batches.empty()) {
                    giveBack(batches);
                    if (!reconnect(db, error))
                        break;
                    continue;
                }
                if (purging) {
                    const int deleted = purgeStep(db);
                    purgedRecords += std::max(0, deleted);
                    if (deleted < PurgeChunk) {
                        purging = false;
                        emit purged(purgedRecords);
                        purgedRecords = 0;
                    }
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool HistoryWriter::reconnect(QSqlDatabase& db, const QString& reason)
{
    // An embedded file that fails to take a write does not heal by waiting,
    // nor does a server that answers but refuses the records.
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    if (m_url.driver != HistoryUrl::Postgres || QSqlQuery(db).exec(QStringLiteral("SELECT 1"))) {
        fail(describe(reason));
        return false;
    }
    emit warning(tr("History: the database went away (%1); the records wait in memory while it reconnects")
                     .arg(describe(reason)));
    int backoff = FirstBackoffMs;
    QString error;
    for (;;) {
        {
            QMutexLocker lock(&m_mutex);
            if (m_stopping)
                return false;
            m_wake.wait(&m_mutex, backoff);
            if (m_stopping)
                return false;
        }
        db.close();
        if (m_url.open(&db, &error) && HistorySchema::migrate(db, &error)) {
            emit warning(tr("History: reconnected to %1").arg(m_url.text()));
            return true;
        }
        reportLoss();
        backoff = std::min(backoff * 2, LongestBackoffMs);
    }
}

bool HistoryWriter::bindAndInsert(QSqlQuery& insert, const HistoryRecord& record, QString* error)
{
    insert.bindValue(0, int(record.kind));
    insert.bindValue(1, record.zone);
    insert.bindValue(2, record.area);
    insert.bindValue(3, record.serviceMs);
    insert.bindValue(4, record.localMs);
    insert.bindValue(5, record.controlSource);
    insert.bindValue(6, record.strategy);
    insert.bindValue(7, record.state);
    insert.bindValue(8, record.specialState);
    insert.bindValue(9, record.code);
    // A null QString binds as NULL; the columns hold empty texts.
    insert.bindValue(10, record.detail.isNull() ? QString(QLatin1String("")) : record.detail);
    insert.bindValue(11, record.user.isNull() ? QString(QLatin1String("")) : record.user);
    insert.bindValue(12, record.host.isNull() ? QString(QLatin1String("")) : record.host);
    insert.bindValue(13, QString::fromLatin1(record.digest()));
    if (insert.exec())
        return true;
    *error = insert.lastError().text();
    return false;
}

bool HistoryWriter::writeBatch(QSqlDatabase& db, const Batch& batch, QString* error)
{
    if (!HistorySchema::beginWrite(db, error))
        return false;
    bool ok = true;
    {
        QSqlQuery insert(db);
        ok = insert.prepare(InsertSql);
        if (!ok)
            *error = insert.lastError().text();
        for (int i = 0; ok && i < batch.size(); ++i)
            ok = bindAndInsert(insert, batch.at(i), error);
    }
    if (!ok) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return HistorySchema::commit(db, error);
}

int HistoryWriter::purgeStep(QSqlDatabase& db)
{
    // Small deletes: the writer's batches go in between, and no lock is held for long.
    const qint64 cutoff = QDateTime::currentMSecsSinceEpoch() - m_retentionDays * DayMs;
    QSqlQuery purge(db);
    purge.prepare(QStringLiteral("DELETE FROM records WHERE id IN"
                                 " (SELECT id FROM records WHERE service_ms < ? LIMIT %1)")
                      .arg(PurgeChunk));
    purge.addBindValue(cutoff);
    if (!purge.exec()) {
        emit warning(tr("History: the purge failed: %1").arg(describe(purge.lastError().text())));
        return -1;
    }
    return purge.numRowsAffected();
}

} // namespace Velmora
