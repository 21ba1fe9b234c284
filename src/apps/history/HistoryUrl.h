#pragma once

#include <QString>

class QSqlDatabase;

namespace Velmora {

// Where the history lives: "sqlite:PATH" or "postgresql://user@host:port/db".
// PATH may be an SQLite URI ("sqlite:file:/srv/history.sqlite?mode=ro" for a
// history this workstation only reads).
struct HistoryUrl
{
    enum Driver { None, Sqlite, Postgres };

    Driver driver = None;
    QString path; // SQLite
    QString user;
    QString password;
    QString host;
    int port = 5432;
    QString database;

    bool isValid() const { return driver != None; }
    // The URL again, without the password: what the log and the status bar show.
    QString text() const;
    // The SQLite file itself, a URI's query left off.
    QString filePath() const;

    static bool parse(const QString& text, HistoryUrl* url, QString* error);
    // history.sqlite in the user's data folder.
    static HistoryUrl defaultUrl();

    // Adds (not opens) a connection of this name for the URL.
    QSqlDatabase addDatabase(const QString& connectionName) const;
    // Opens it: WAL and a short lock wait for SQLite. False with the reason.
    bool open(QSqlDatabase* db, QString* error) const;
};

} // namespace Velmora
