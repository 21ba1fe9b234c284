#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;
class QTcpSocket;

namespace Velmora {

// Tries a TCP connection to a service address once and says in words how it
// went: the address is no host:port, the host is not found, nothing listens
// there (refused), or nobody answered in time.
class ServiceProbe : public QObject
{
    Q_OBJECT
public:
    enum Result { Reachable, BadAddress, HostNotFound, Refused, TimedOut, Failed };
    Q_ENUM(Result)
    static constexpr int DefaultTimeout = 3000;

    explicit ServiceProbe(QObject* parent = nullptr);
    ~ServiceProbe() override;

    // Reports through finished(), always once, never from within start().
    void start(const QString& address, int timeout = DefaultTimeout);
    bool isRunning() const;

signals:
    void finished(ServiceProbe::Result result, const QString& reason);

private:
    void finish(Result result, const QString& reason);

    QPointer<QTcpSocket> m_socket;
    QTimer m_timer;
    QString m_host;
    quint16 m_port = 0;
};

// Service → Connect…: the address, checked before the workstation commits to it.
class ConnectDialog : public QDialog
{
    Q_OBJECT
public:
    ConnectDialog(const QString& address, QWidget* parent = nullptr);

    QString address() const;
    // The last reason the address was refused; empty while none was.
    QString problem() const;
    void setProbeTimeout(int milliseconds);

private:
    void check();
    void probed(ServiceProbe::Result result, const QString& reason);

    QLineEdit* m_address;
    QLabel* m_problem;
    QPushButton* m_connect;
    ServiceProbe m_probe;
    int m_timeout = ServiceProbe::DefaultTimeout;
};

} // namespace Velmora
