#include "PostgresServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace {

const char* const ServerUser = "nobody";

QString serverBinaries()
{
    // Debian keeps each version's programs apart; the newest will do.
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = root.filePath(*it + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/postgres")))
            return bin;
    }
    return QString();
}

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

PostgresServer::~PostgresServer()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    QString ignored;
    run(m_bin + QStringLiteral("/pg_ctl"),
        {QStringLiteral("stop"), QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
         QStringLiteral("immediate")},
        &ignored);
    if (!m_server.waitForFinished(10000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

QStringList PostgresServer::asServerUser(const QString& program, const QStringList& arguments) const
{
    if (geteuid() != 0)
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QString::fromLatin1(ServerUser),
                       QStringLiteral("--"), program}
        + arguments;
}

bool PostgresServer::run(const QString& program, const QStringList& arguments, QString* why)
{
    const QStringList command = asServerUser(program, arguments);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *why = QStringLiteral("%1 failed: %2").arg(command.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

bool PostgresServer::start(QString* why)
{
    m_bin = serverBinaries();
    if (m_bin.isEmpty()) {
        *why = QStringLiteral("no initdb under /usr/lib/postgresql (Debian package postgresql)");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *why = QStringLiteral("the Qt PostgreSQL driver is missing (Debian package libqt5sql5-psql)");
        return false;
    }
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    if (geteuid() == 0) {
        const passwd* user = getpwnam(ServerUser);
        if (!user || chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
            *why = QStringLiteral("cannot hand the folder to the user %1").arg(QString::fromLatin1(ServerUser));
            return false;
        }
    }
    m_port = freePort();
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!run(m_bin + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("history"), QStringLiteral("--auth=trust"),
              QStringLiteral("--no-sync")},
             why))
        return false;
    const QStringList command = asServerUser(m_bin + QStringLiteral("/postgres"),
                                             {QStringLiteral("-D"), data, QStringLiteral("-k"), m_dir.path(),
                                              QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                              QString::number(m_port), QStringLiteral("-F")});
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.start(command.first(), command.mid(1));
    return waitReady(why);
}

bool PostgresServer::waitReady(QString* why)
{
    const QString name = QStringLiteral("postgres-server-setup");
    bool ready = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setUserName(QStringLiteral("history"));
        db.setDatabaseName(QStringLiteral("postgres"));
        QElapsedTimer clock;
        clock.start();
        while (!ready && !clock.hasExpired(30000) && m_server.state() != QProcess::NotRunning) {
            ready = db.open();
            if (!ready)
                QThread::msleep(100);
        }
        if (ready)
            ready = QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE history"));
        if (!ready)
            *why = QStringLiteral("the server did not come up: %1").arg(db.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ready;
}

QString PostgresServer::url() const
{
    return QStringLiteral("postgresql://history@127.0.0.1:%1/history").arg(m_port);
}
