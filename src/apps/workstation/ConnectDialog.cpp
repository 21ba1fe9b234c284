#include "ConnectDialog.h"

#include "Settings.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>

namespace Velmora {

ServiceProbe::ServiceProbe(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        finish(TimedOut, tr("no answer from %1:%2 within %3 s").arg(m_host).arg(m_port).arg(m_timer.interval() / 1000.0));
    });
}

ServiceProbe::~ServiceProbe()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

bool ServiceProbe::isRunning() const
{
    return m_socket != nullptr;
}

void ServiceProbe::start(const QString& address, int timeout)
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    if (!Settings::parseAddress(address, &m_host, &m_port)) {
        const QString reason = tr("\"%1\" is not a host:port address").arg(address.trimmed());
        QTimer::singleShot(0, this, [this, reason] { emit finished(BadAddress, reason); });
        return;
    }
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this] { finish(Reachable, QString()); });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::HostNotFoundError:
            finish(HostNotFound, tr("host not found: %1").arg(m_host));
            break;
        case QAbstractSocket::ConnectionRefusedError:
            finish(Refused, tr("connection refused: nothing listens on %1:%2").arg(m_host).arg(m_port));
            break;
        case QAbstractSocket::SocketTimeoutError:
            finish(TimedOut, tr("no answer from %1:%2").arg(m_host).arg(m_port));
            break;
        default:
            finish(Failed, tr("cannot connect to %1:%2: %3").arg(m_host).arg(m_port).arg(m_socket->errorString()));
        }
    });
    m_timer.start(timeout);
    m_socket->connectToHost(m_host, m_port);
}

void ServiceProbe::finish(Result result, const QString& reason)
{
    m_timer.stop();
    if (QTcpSocket* socket = m_socket) {
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    emit finished(result, reason);
}

ConnectDialog::ConnectDialog(const QString& address, QWidget* parent)
    : QDialog(parent)
    , m_address(new QLineEdit(address, this))
    , m_problem(new QLabel(this))
{
    setObjectName(QStringLiteral("ConnectDialog"));
    setWindowTitle(tr("Connect to the control service"));
    m_address->setObjectName(QStringLiteral("address"));
    m_address->setPlaceholderText(tr("host:port, e.g. 127.0.0.1:7411"));
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setStyleSheet(QStringLiteral("QLabel { color: #c62828; }"));
    m_problem->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_connect = buttons->addButton(tr("Connect"), QDialogButtonBox::AcceptRole);
    m_connect->setObjectName(QStringLiteral("connect"));
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Address:"), m_address);
    layout->addRow(m_problem);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_connect, &QPushButton::clicked, this, &ConnectDialog::check);
    connect(&m_probe, &ServiceProbe::finished, this, &ConnectDialog::probed);
}

QString ConnectDialog::address() const
{
    return m_address->text().trimmed();
}

QString ConnectDialog::problem() const
{
    return m_problem->text();
}

void ConnectDialog::setProbeTimeout(int milliseconds)
{
    m_timeout = milliseconds;
}

void ConnectDialog::check()
{
    m_problem->setText(tr("Checking %1…").arg(address()));
    m_problem->setStyleSheet(QStringLiteral("QLabel { color: palette(text); }"));
    m_connect->setEnabled(false);
    m_probe.start(address(), m_timeout);
}

void ConnectDialog::probed(ServiceProbe::Result result, const QString& reason)
{
    m_connect->setEnabled(true);
    if (result == ServiceProbe::Reachable) {
        m_problem->clear();
        accept();
        return;
    }
    m_problem->setStyleSheet(QStringLiteral("QLabel { color: #c62828; }"));
    m_problem->setText(tr("Cannot connect: %1").arg(reason));
}

} // namespace Velmora
