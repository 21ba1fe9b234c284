#include "HistoryReader.h"

#include "HistorySchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <limits>

namespace Velmora {

namespace {

const QString RecordColumns = QStringLiteral(
    "kind, zone, area, service_ms, local_ms, control_source, strategy, state, special_state, code, detail, user_name,"
    " host");

HistoryRecord recordOf(const QSqlQuery& query)
{
    HistoryRecord record;
    record.kind = HistoryRecord::Kind(query.value(0).toInt());
    record.zone = query.value(1).toInt();
    record.area = query.value(2).toInt();
    record.serviceMs = query.value(3).toLongLong();
    record.localMs = query.value(4).toLongLong();
    record.controlSource = query.value(5).toInt();
    record.strategy = query.value(6).toInt();
    record.state = query.value(7).toInt();
    record.specialState = query.value(8).toInt();
    record.code = query.value(9).toInt();
    record.detail = query.value(10).toString();
    record.user = query.value(11).toString();
    record.host = query.value(12).toString();
    return record;
}

} // namespace

HistoryReader::HistoryReader()
    : m_connectionName(QStringLiteral("history-reader-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

HistoryReader::~HistoryReader()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool HistoryReader::open(const HistoryUrl& url, QString* error)
{
    m_db = url.addDatabase(m_connectionName);
    if (!url.open(&m_db, error))
        return false;
    const int version = HistorySchema::version(m_db, error);
    if (version <= 0) {
        if (version == 0)
            *error = QStringLiteral("%1 holds no history").arg(url.text());
        m_db.close();
        return false;
    }
    if (version > HistorySchema::latestVersion()) {
        *error = QStringLiteral("%1 has schema version %2, newer than this program's %3")
                     .arg(url.text())
                     .arg(version)
                     .arg(HistorySchema::latestVersion());
        m_db.close();
        return false;
    }
    return true;
}

bool HistoryReader::isOpen() const
{
    return m_db.isOpen();
}

QVector<int> HistoryReader::zones()
{
    QVector<int> result;
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT DISTINCT zone FROM records ORDER BY zone")))
        m_error = query.lastError().text();
    while (query.next())
        result.append(query.value(0).toInt());
    return result;
}

bool HistoryReader::span(int zone, qint64* firstMs, qint64* lastMs)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT MIN(service_ms), MAX(service_ms) FROM records WHERE zone = ?"));
    query.addBindValue(zone);
    if (!query.exec() || !query.next() || query.value(0).isNull()) {
        m_error = query.lastError().text();
        return false;
    }
    *firstMs = query.value(0).toLongLong();
    *lastMs = query.value(1).toLongLong();
    return true;
}

ZoneMoment HistoryReader::momentAt(int zone, qint64 serviceMs)
{
    ZoneMoment moment;
    moment.zone = zone;
    moment.serviceMs = serviceMs;
    qint64 fromMs = std::numeric_limits<qint64>::min();
    QSqlQuery full(m_db);
    full.setForwardOnly(true);
    full.prepare(QStringLiteral("SELECT service_ms, control_source, strategy, detail FROM records"
                                " WHERE zone = ? AND kind = ? AND service_ms <= ? ORDER BY service_ms DESC LIMIT 1"));
    full.addBindValue(zone);
    full.addBindValue(int(HistoryRecord::FullState));
    full.addBindValue(serviceMs);
    if (full.exec() && full.next() && ZoneMoment::parseAreas(full.value(3).toString(), &moment.areas)) {
        fromMs = full.value(0).toLongLong();
        moment.controlSource = full.value(1).toInt();
        moment.strategy = full.value(2).toInt();
        moment.known = true;
    }
    full.finish();
    // Changes stamped with the full state's own time may have been recorded
    // after it (one event moving several areas): they are applied again.
    if (fromMs != std::numeric_limits<qint64>::min())
        --fromMs;
    for (const HistoryRecord& record : records(zone, HistoryRecord::State, fromMs, serviceMs))
        moment.apply(record);
    HistoryRecord link;
    if (latest(zone, HistoryRecord::Link, serviceMs, &link)) {
        moment.link = link.code;
        moment.linkSinceMs = link.serviceMs;
    }
    return moment;
}

bool HistoryReader::latest(int zone, HistoryRecord::Kind kind, qint64 serviceMs, HistoryRecord* record)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM records WHERE zone = ? AND kind = ? AND service_ms <= ?"
                                 " ORDER BY service_ms DESC, id DESC LIMIT 1")
                      .arg(RecordColumns));
    query.addBindValue(zone);
    query.addBindValue(int(kind));
    query.addBindValue(serviceMs);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return false;
    }
    if (!query.next())
        return false;
    *record = recordOf(query);
    return true;
}

qint64 HistoryReader::oneValue(const QString& sql, int zone, qint64 serviceMs)
{
    QSqlQuery query(m_db);
    query.prepare(sql);
    query.addBindValue(zone);
    query.addBindValue(int(HistoryRecord::State));
    query.addBindValue(serviceMs);
    if (!query.exec() || !query.next() || query.value(0).isNull())
        return -1;
    return query.value(0).toLongLong();
}

qint64 HistoryReader::nextChange(int zone, qint64 serviceMs)
{
    return oneValue(QStringLiteral("SELECT MIN(service_ms) FROM records WHERE zone = ? AND kind = ? AND service_ms > ?"),
                    zone, serviceMs);
}

qint64 HistoryReader::previousChange(int zone, qint64 serviceMs)
{
    return oneValue(QStringLiteral("SELECT MAX(service_ms) FROM records WHERE zone = ? AND kind = ? AND service_ms < ?"),
                    zone, serviceMs);
}

QVector<HistoryRecord> HistoryReader::records(int zone, HistoryRecord::Kind kind, qint64 firstMs, qint64 lastMs)
{
    return select(QString::number(kind), zone, firstMs, lastMs);
}

QVector<HistoryRecord> HistoryReader::changes(int zone, qint64 firstMs, qint64 lastMs)
{
    return select(QStringLiteral("%1, %2").arg(int(HistoryRecord::State)).arg(int(HistoryRecord::FullState)), zone,
                  firstMs, lastMs);
}

QVector<HistoryRecord> HistoryReader::select(const QString& kinds, int zone, qint64 firstMs, qint64 lastMs)
{
    QVector<HistoryRecord> result;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM records WHERE zone = ? AND kind IN (%2) AND service_ms > ?"
                                 " AND service_ms <= ? ORDER BY service_ms, id")
                      .arg(RecordColumns, kinds));
    query.addBindValue(zone);
    query.addBindValue(firstMs);
    query.addBindValue(lastMs);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return result;
    }
    while (query.next())
        result.append(recordOf(query));
    return result;
}

} // namespace Velmora
