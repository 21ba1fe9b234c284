#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The control-service simulator (bin/velmora-service) run for one test on the
// loopback. Stopped when the object dies.
class ServiceProcess
{
public:
    ServiceProcess() = default;
    ~ServiceProcess() { stop(); }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    static QString program() { return QStringLiteral(VELMORA_BIN_DIR "/velmora-service"); }
    static bool isBuilt();

    // Serves the files on `port` (0: a free one) and waits for the service to
    // report its port. Extra options go before the files.
    bool start(const QStringList& files, quint16 port = 0,
               const QStringList& options = QStringList(), int timeout = 20000);
    // Runs the program with exactly these arguments and waits for its port.
    bool startWith(const QStringList& arguments, int timeout = 20000);
    // Waits for the process to end by itself; its exit code, or -1.
    int waitExit(int ms = 10000);
    void stop();
    bool isRunning() const;
    quint16 port() const { return m_port; }
    // What the service wrote to stderr, for failure messages.
    QString errors();

private:
    QProcess m_process;
    QString m_errors;
    quint16 m_port = 0;
};
