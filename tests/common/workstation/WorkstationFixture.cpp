#include "WorkstationFixture.h"

#include "connection/TcpConnection.h"

#include <QSettings>
#include <QtTest>

namespace Velmora {

const QString WorkstationFixture::PluginPath = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");

WorkstationFixture::WorkstationFixture() = default;

WorkstationFixture::~WorkstationFixture()
{
    closeWindow();
}

bool WorkstationFixture::start(QString* error)
{
    if (!m_settings.isValid()) {
        *error = QStringLiteral("no folder for the settings: ") + m_settings.errorString();
        return false;
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    if (!m_host.loadPlugin(PluginPath, error))
        return false;
    closeWindow();
    m_window = std::make_unique<MainWindow>(&m_host);
    m_window->setPersistSettings(false);
    return true;
}

bool WorkstationFixture::open(const QString& file, QString* error)
{
    if (!m_window) {
        *error = QStringLiteral("no window to open %1 in").arg(file);
        return false;
    }
    if (!m_window->openZone(file)) {
        *error = QStringLiteral("the workstation did not open ") + file;
        return false;
    }
    return true;
}

bool WorkstationFixture::show()
{
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get());
}

void WorkstationFixture::connectTo(quint16 port)
{
    m_window->findChild<Semtra::TcpConnection*>()->setFirstRetryDelay(10);
    m_window->connectToService(QStringLiteral("127.0.0.1"), port);
}

void WorkstationFixture::closeWindow()
{
    m_window.reset();
}

QObject* WorkstationFixture::zone() const
{
    return m_host.zones().value(0);
}

} // namespace Velmora
