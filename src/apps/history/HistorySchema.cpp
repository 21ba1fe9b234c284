#include "HistorySchema.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace Velmora {
namespace HistorySchema {

namespace {

const QString VersionTable = QStringLiteral("history_schema");
constexpr int MigrationLock = 0x76656c; // any number the other programs on the server do not lock

// Each entry takes the database from its index to the next version.
// %ID% is the driver's auto-numbered key.
const QStringList& migrations()
{
    static const QStringList steps{
        QStringLiteral("CREATE TABLE records ("
                       " id %ID%,"
                       " kind INTEGER NOT NULL,"
                       " zone INTEGER NOT NULL,"
                       " area INTEGER NOT NULL,"
                       " service_ms BIGINT NOT NULL,"
                       " local_ms BIGINT NOT NULL,"
                       " control_source INTEGER NOT NULL,"
                       " strategy INTEGER NOT NULL,"
                       " state INTEGER NOT NULL,"
                       " special_state INTEGER NOT NULL,"
                       " detail TEXT NOT NULL,"
                       " user_name TEXT NOT NULL,"
                       " host TEXT NOT NULL,"
                       " digest VARCHAR(24) NOT NULL);"
                       "CREATE UNIQUE INDEX records_once ON records (zone, service_ms, kind, area, digest)"),
        // Seeks read one zone's full states and changes by time; purges read by time alone.
        QStringLiteral("CREATE INDEX records_seek ON records (zone, kind, service_ms);"
                       "CREATE INDEX records_age ON records (service_ms)"),
        // Codes instead of words, so that workstations in different languages
        // write one record. Links recorded in English get their status number
        // (the workstation's order: not connected, connecting, not answering,
        // linked, hash mismatch); other words stay as they were written.
        QStringLiteral("ALTER TABLE records ADD COLUMN code INTEGER NOT NULL DEFAULT -1;"
                       "UPDATE records SET code = 0, detail = '' WHERE kind = 4 AND detail = 'not connected';"
                       "UPDATE records SET code = 1, detail = '' WHERE kind = 4 AND detail = 'connecting';"
                       "UPDATE records SET code = 2, detail = '' WHERE kind = 4 AND detail = 'connected, not answering';"
                       "UPDATE records SET code = 3, detail = '' WHERE kind = 4 AND detail = 'linked';"
                       "UPDATE records SET code = 4, detail = substr(detail, 16)"
                       " WHERE kind = 4 AND detail LIKE 'hash mismatch: %'"),
    };
    return steps;
}

QString withDriverTypes(QString sql, const QSqlDatabase& db)
{
    const bool postgres = db.driverName() == QLatin1String("QPSQL");
    return sql.replace(QLatin1String("%ID%"),
                       postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY"));
}

bool exec(QSqlDatabase& db, const QString& sql, QString* error)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *error = query.lastError().text();
    return false;
}

bool runStep(QSqlDatabase& db, int step, QString* error)
{
    const QStringList statements = withDriverTypes(migrations().at(step), db).split(QLatin1Char(';'));
    for (const QString& statement : statements) {
        if (!exec(db, statement, error))
            return false;
    }
    return true;
}

bool setVersion(QSqlDatabase& db, int from, int to, QString* error)
{
    if (from == 0) {
        return exec(db, QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)").arg(VersionTable), error)
            && exec(db, QStringLiteral("INSERT INTO %1 (version) VALUES (%2)").arg(VersionTable).arg(to), error);
    }
    return exec(db, QStringLiteral("UPDATE %1 SET version = %2").arg(VersionTable).arg(to), error);
}

bool rollback(QSqlDatabase& db)
{
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    return false;
}

} // namespace

int latestVersion()
{
    return migrations().size();
}

int version(const QSqlDatabase& db, QString* error)
{
    if (!db.tables().contains(VersionTable))
        return 0;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM %1").arg(VersionTable))) {
        *error = query.lastError().text();
        return -1;
    }
    if (!query.next()) {
        *error = QCoreApplication::translate("HistorySchema", "the version table is empty");
        return -1;
    }
    return query.value(0).toInt();
}

bool migrate(QSqlDatabase& db, QString* error, int target)
{
    if (!beginWrite(db, error))
        return false;
    // Workstations starting together on one server migrate one after the other.
    if (db.driverName() == QLatin1String("QPSQL") && !exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(MigrationLock), error))
        return rollback(db);
    const int current = version(db, error);
    if (current < 0)
        return rollback(db);
    if (current > latestVersion()) {
        *error = QCoreApplication::translate("HistorySchema",
                                             "the database has schema version %1, newer than this program's %2")
                     .arg(current)
                     .arg(latestVersion());
        return rollback(db);
    }
    for (int step = current; step < target; ++step) {
        if (!runStep(db, step, error))
            return rollback(db);
    }
    // The version is written even when it stays: a database that takes no
    // writes (opened read-only, a standby server) is refused as it is opened,
    // not at the first record.
    const int written = std::max(target, current);
    if (written > 0 && !setVersion(db, current, written, error))
        return rollback(db);
    return commit(db, error);
}

bool beginWrite(QSqlDatabase& db, QString* error)
{
    // SQLite takes the write lock at once: a locked database fails here, not halfway.
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    return exec(db, sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), error);
}

bool commit(QSqlDatabase& db, QString* error)
{
    if (exec(db, QStringLiteral("COMMIT"), error))
        return true;
    return rollback(db);
}

} // namespace HistorySchema
} // namespace Velmora
