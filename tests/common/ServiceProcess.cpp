#include "ServiceProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>

bool ServiceProcess::isBuilt()
{
    const QFileInfo info(program());
    return info.isFile() && info.isExecutable();
}

bool ServiceProcess::start(const QStringList& files, quint16 port, const QStringList& options,
                           int timeout)
{
    QStringList arguments{QStringLiteral("--port"), QString::number(port), QStringLiteral("--quiet")};
    arguments += options;
    arguments += files;
    return startWith(arguments, timeout);
}

bool ServiceProcess::startWith(const QStringList& arguments, int timeout)
{
    stop();
    m_errors.clear();
    m_port = 0;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program(), arguments);
    if (!m_process.waitForStarted(timeout))
        return false;

    // The first line on stdout names the port.
    static const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray out;
    QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        out += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = listening.match(QString::fromLocal8Bit(out));
        if (match.hasMatch()) {
            m_port = quint16(match.captured(1).toUInt());
            return true;
        }
    }
    m_errors += QString::fromLocal8Bit(m_process.readAllStandardError());
    stop();
    return false;
}

void ServiceProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_errors += QString::fromLocal8Bit(m_process.readAllStandardError());
}

int ServiceProcess::waitExit(int ms)
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(ms))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

bool ServiceProcess::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QString ServiceProcess::errors()
{
    m_errors += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_errors;
}
