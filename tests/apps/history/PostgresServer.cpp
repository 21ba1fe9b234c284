#include "PostgresServer.h"

#include "FreePort.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace {

const char* const ServerUser = "nobody";

QString serverBinaries()
{
    // Debian keeps each version's programs apart; the newest will do.
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    // By number: as text, 9.6 would come after 15.
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toDouble() < b.toDouble(); });
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = root.filePath(*it + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/postgres")))
            return bin;
    }
    return QString();
}

} // namespace

PostgresServer::~PostgresServer()
{
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QString ignored;
    if (QFile::exists(data + QStringLiteral("/postmaster.pid")))
        run(QStringLiteral("pg_ctl"), {"stop", "-D", data, "-m", "immediate"}, &ignored);
}

bool PostgresServer::run(const QString& program, const QStringList& arguments, QString* why)
{
    QStringList command = QStringList{m_bin + '/' + program} + arguments;
    if (geteuid() == 0)
        command = QStringList{"runuser", "-u", ServerUser, "--"} + command;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    *why = QStringLiteral("%1 failed: %2").arg(command.join(' '), QString::fromLocal8Bit(process.readAll()));
    return false;
}

bool PostgresServer::start(QString* why)
{
    const auto fail = [why](const QString& reason) {
        *why = reason;
        return false;
    };
    m_bin = serverBinaries();
    if (m_bin.isEmpty())
        return fail(QStringLiteral("no initdb under /usr/lib/postgresql (Debian package postgresql)"));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(QStringLiteral("the Qt PostgreSQL driver is missing (Debian package libqt5sql5-psql)"));
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder"));
    const passwd* user = geteuid() == 0 ? getpwnam(ServerUser) : nullptr;
    if (geteuid() == 0 && (!user || chown(QFile::encodeName(m_dir.path()), user->pw_uid, user->pw_gid) != 0))
        return fail(QStringLiteral("cannot hand the folder to the user %1").arg(QLatin1String(ServerUser)));
    m_port = freePort();
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString port = QString::number(m_port);
    // pg_ctl -w comes back once the server takes connections; the log keeps the server off our pipes.
    return run(QStringLiteral("initdb"), {"-D", data, "-U", "history", "--auth=trust", "--no-sync"}, why)
        && run(QStringLiteral("pg_ctl"), {"start", "-w", "-D", data, "-l", m_dir.filePath(QStringLiteral("log")), "-o",
                                          "-F -h 127.0.0.1 -p " + port + " -k " + m_dir.path()}, why)
        && run(QStringLiteral("createdb"), {"-h", "127.0.0.1", "-p", port, "-U", "history", "history"}, why);
}
