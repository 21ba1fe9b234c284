#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

#include "MainWindow.h"
#include "ModuleHost.h"

namespace Velmora {

// The workstation as a test drives it: the real plug-in loaded as the program
// loads it, and a main window that writes no settings back and reads the
// user's settings from a folder of its own, so that no test sees another's.
// The window goes before the plug-in's host; declare what the window is handed
// (a history writer) before the fixture, so that it outlives the window.
class WorkstationFixture
{
public:
    static const QString PluginPath;

    WorkstationFixture();
    ~WorkstationFixture();
    WorkstationFixture(const WorkstationFixture&) = delete;
    WorkstationFixture& operator=(const WorkstationFixture&) = delete;

    // Loads the plug-in and opens a window with nothing in it; false with the reason.
    bool start(QString* error);
    // Opens a zone file in the window; false with the reason.
    bool open(const QString& file, QString* error);
    // Shows the window and waits until it is on screen.
    bool show();
    // Links to a service on the loopback, trying again quickly when it is not there yet.
    void connectTo(quint16 port);
    // Closes the window, and with it its zones.
    void closeWindow();

    ModuleHost& host() { return m_host; }
    MainWindow* window() const { return m_window.get(); }
    // The first open zone; null when none is.
    QObject* zone() const;

private:
    QTemporaryDir m_settings;
    ModuleHost m_host;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace Velmora
