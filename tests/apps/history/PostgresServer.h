#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throwaway PostgreSQL server for one test: a new cluster in a temporary
// folder, owned and run by an unprivileged user when the test runs as root,
// listening on a free port of 127.0.0.1, with an empty database "history".
class PostgresServer
{
public:
    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // False with the reason when the server binaries or the Qt driver are missing or it does not come up.
    bool start(QString* why);
    // postgresql://history@127.0.0.1:PORT/history
    QString url() const;

private:
    bool run(const QString& program, const QStringList& arguments, QString* why);
    // The command line, as the unprivileged user when this is root.
    QStringList asServerUser(const QString& program, const QStringList& arguments) const;
    bool waitReady(QString* why);

    QTemporaryDir m_dir;
    QString m_bin;
    QProcess m_server;
    quint16 m_port = 0;
};
