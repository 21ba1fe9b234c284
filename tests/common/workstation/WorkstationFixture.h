#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

#include "MainWindow.h"
#include "ModuleHost.h"

namespace Velmora {

// The workstation as a test drives it: the real plug-in loaded as the program loads it, and a main window that writes
// no settings back and reads the user's settings from a folder of its own, so that no test sees another's. The window
// goes before the plug-in's host; declare what the window is handed (a history writer) before the fixture, so that it
// outlives the window.
class WorkstationFixture
{
public:
    static const QString PluginPath;

    WorkstationFixture() = default;
    WorkstationFixture(const WorkstationFixture&) = delete;
    WorkstationFixture& operator=(const WorkstationFixture&) = delete;

    // Loads the plug-in, opens an empty window and then `file` in it if one is named; false with the reason in error().
    bool start(const QString& file = QString());
    // Opens a zone file in the window; false with the reason in error().
    bool open(const QString& file);
    const QString& error() const { return m_error; }
    // Shows the window and waits until it is on screen.
    bool show();
    // Links to a service on the loopback, retrying every 10 to 20 ms: a status flapping on each attempt would show.
    void connectTo(quint16 port);
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
    QString m_error;
};

} // namespace Velmora
