#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "MainWindow.h"
#include "ModuleHost.h"
#include "connection/TcpConnection.h"

namespace Velmora {

// The workstation as a test drives it: the real plug-in loaded as the program
// loads it, and a main window that writes no settings back and reads the
// user's settings from a folder of its own, so that no test sees another's.
// The window goes before the plug-in's host; declare what the window is handed
// (a history writer) before the fixture, so that it outlives the window.
// Whole in this header, so that a test linked to the workstation alone can use it.
class WorkstationFixture
{
public:
    static inline const QString PluginPath = QStringLiteral(VELMORA_PLUGIN_DIR "/libVelmora.so");

    WorkstationFixture() = default;
    ~WorkstationFixture() { closeWindow(); }
    WorkstationFixture(const WorkstationFixture&) = delete;
    WorkstationFixture& operator=(const WorkstationFixture&) = delete;

    // Loads the plug-in and opens a window with nothing in it; false with the reason.
    bool start(QString* error)
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

    // Opens a zone file in the window; false with the reason.
    bool open(const QString& file, QString* error)
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

    // Shows the window and waits until it is on screen.
    bool show()
    {
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window.get());
    }

    // Links to a service on the loopback, trying again quickly when it is not there yet.
    void connectTo(quint16 port)
    {
        m_window->findChild<Semtra::TcpConnection*>()->setFirstRetryDelay(10);
        m_window->connectToService(QStringLiteral("127.0.0.1"), port);
    }

    // Closes the window, and with it its zones.
    void closeWindow() { m_window.reset(); }

    ModuleHost& host() { return m_host; }
    MainWindow* window() const { return m_window.get(); }
    // The first open zone; null when none is.
    QObject* zone() const { return m_host.zones().value(0); }

private:
    QTemporaryDir m_settings;
    ModuleHost m_host;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace Velmora
