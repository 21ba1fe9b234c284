#include "WorkstationFixture.h"

#include "connection/TcpConnection.h"

#include <QSettings>
#include <QtTest>

namespace Velmora {

const QString WorkstationFixture::PluginPath = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");

bool WorkstationFixture::start(const QString& file)
{
    if (!m_settings.isValid()) {
        m_error = QStringLiteral("no folder for the settings: ") + m_settings.errorString();
        return false;
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    if (!m_host.loadPlugin(PluginPath, &m_error))
        return false;
    closeWindow();
    m_window = std::make_unique<MainWindow>(&m_host);
    m_window->setPersistSettings(false);
    return file.isEmpty() || open(file);
}

bool WorkstationFixture::open(const QString& file)
{
    if (m_window->openZone(file))
        return true;
    m_error = QStringLiteral("the workstation did not open ") + file;
    return false;
}

bool WorkstationFixture::show()
{
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get());
}

void WorkstationFixture::connectTo(quint16 port)
{
    auto* connection = m_window->findChild<Semtra::TcpConnection*>();
    connection->setFirstRetryDelay(10);
    connection->setMaxRetryDelay(20);
    m_window->connectToService(QStringLiteral("127.0.0.1"), port);
}

} // namespace Velmora
