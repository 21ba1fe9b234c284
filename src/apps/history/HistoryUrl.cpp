#include "HistoryUrl.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

namespace Velmora {

namespace {

const QString SqlitePrefix = QStringLiteral("sqlite:");

// How long a write waits for another program's lock before it counts as locked.
constexpr int SqliteBusyMs = 2000;

bool parsePostgres(const QString& text, HistoryUrl* url, QString* error)
{
    const QUrl parsed(text, QUrl::StrictMode);
    const QString database = parsed.path().mid(1);
    if (!parsed.isValid() || parsed.host().isEmpty() || database.isEmpty() || database.contains(QLatin1Char('/'))) {
        *error = QCoreApplication::translate("HistoryUrl", "expected postgresql://user@host:port/database, got \"%1\"")
                     .arg(text);
        return false;
    }
    url->driver = HistoryUrl::Postgres;
    url->user = parsed.userName();
    url->password = parsed.password();
    url->host = parsed.host();
    url->port = parsed.port(5432);
    url->database = database;
    return true;
}

// Switching a new file to WAL takes it whole. Of two programs opening it at
// once, the one that must wait is refused at once instead (SQLite will not
// let a reader wait for a writer that may wait for it): it tries again, for as
// long as a locked write would wait.
bool execWhenFree(QSqlQuery& query, const QString& sql)
{
    QElapsedTimer waited;
    waited.start();
    while (!query.exec(sql)) {
        const bool busy = query.lastError().nativeErrorCode() == QLatin1String("5"); // SQLITE_BUSY
        if (!busy || waited.elapsed() > SqliteBusyMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

QString HistoryUrl::text() const
{
    switch (driver) {
    case Sqlite:
        return SqlitePrefix + path;
    case Postgres:
        return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
    case None:
        break;
    }
    return QString();
}

QString HistoryUrl::filePath() const
{
    if (!path.startsWith(QLatin1String("file:")))
        return path;
    const QUrl uri(path);
    return uri.isLocalFile() ? uri.toLocalFile() : uri.path();
}

bool HistoryUrl::parse(const QString& text, HistoryUrl* url, QString* error)
{
    *url = HistoryUrl();
    if (text.startsWith(SqlitePrefix)) {
        url->path = text.mid(SqlitePrefix.size());
        if (url->path.isEmpty()) {
            *error = QCoreApplication::translate("HistoryUrl", "sqlite: needs a file name");
            return false;
        }
        url->driver = Sqlite;
        return true;
    }
    if (text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://")))
        return parsePostgres(text, url, error);
    *error = QCoreApplication::translate("HistoryUrl", "unknown history \"%1\": expected sqlite:PATH or "
                                                       "postgresql://user@host:port/database")
                 .arg(text);
    return false;
}

HistoryUrl HistoryUrl::defaultUrl()
{
    HistoryUrl url;
    url.driver = Sqlite;
    url.path = QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                   .filePath(QStringLiteral("history.sqlite"));
    return url;
}

QSqlDatabase HistoryUrl::addDatabase(const QString& connectionName) const
{
    if (driver == Postgres) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        db.setHostName(host);
        db.setPort(port);
        db.setUserName(user);
        db.setPassword(password);
        db.setDatabaseName(database);
        db.setConnectOptions(QStringLiteral("connect_timeout=5"));
        return db;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_URI").arg(SqliteBusyMs));
    return db;
}

bool HistoryUrl::open(QSqlDatabase* db, QString* error) const
{
    if (!db->isValid()) {
        *error = QCoreApplication::translate("HistoryUrl", "the Qt SQL driver for %1 is not installed")
                     .arg(driver == Postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"));
        return false;
    }
    if (driver == Sqlite && !QDir().mkpath(QFileInfo(filePath()).absolutePath())) {
        *error = QCoreApplication::translate("HistoryUrl", "cannot create the folder of %1").arg(path);
        return false;
    }
    if (!db->open()) {
        *error = db->lastError().text();
        return false;
    }
    if (driver != Sqlite)
        return true;
    // WAL: readers (the replay, velmora-inspect) never wait for the writer.
    QSqlQuery pragma(*db);
    if (!execWhenFree(pragma, QStringLiteral("PRAGMA journal_mode=WAL"))
        || !pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) {
        *error = pragma.lastError().text();
        db->close();
        return false;
    }
    return true;
}

} // namespace Velmora
