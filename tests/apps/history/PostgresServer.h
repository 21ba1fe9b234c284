#pragma once

#include <QString>
#include <QTemporaryDir>

// A throwaway PostgreSQL server for one test: a new cluster in a temporary
// folder, owned and run by an unprivileged user when the test runs as root,
// listening on a free port of 127.0.0.1, with an empty database "history".
class PostgresServer
{
public:
    ~PostgresServer();

    // False with the reason when the server binaries or the Qt driver are missing or it does not come up.
    bool start(QString* why);
    QString url() const { return QStringLiteral("postgresql://history@127.0.0.1:%1/history").arg(m_port); }

private:
    // One of the server's programs run to its end, as the unprivileged user when this is root.
    bool run(const QString& program, const QStringList& arguments, QString* why);

    QTemporaryDir m_dir;
    QString m_bin;
    quint16 m_port = 0;
};
