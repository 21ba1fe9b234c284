#pragma once

#include <QObject>

class QMenu;

namespace Velmora {

class ModuleHost;
class Settings;

// The zone files a user opens and reopens: loading one (and what the status
// bar says of it), the recent files, and the zones of the last session.
class SessionFiles : public QObject
{
    Q_OBJECT
public:
    SessionFiles(ModuleHost* host, Settings* settings, QObject* parent);

    // Automated sessions leave the user's recent files and session alone.
    void setPersist(bool persist);
    bool persists() const;

    bool openZone(const QString& fileName);
    // Opens the zones of the last session and asks for its service when it
    // was connected, if the user keeps that on. True when it did anything.
    bool restore();
    // The zones open now and whether the service is wanted, for the next start.
    void save(bool serviceWanted);
    // The menu lists the recent files each time it opens.
    void followRecentMenu(QMenu* menu);
    // Where an open dialog starts: the folder of the latest file.
    QString lastFolder() const;

signals:
    void logLine(const QString& text);
    void statusMessage(const QString& text, int timeout);
    // A file chosen among the recent ones is open.
    void recentOpened();
    void serviceWanted(const QString& host, quint16 port);

private:
    void fillRecentMenu(QMenu* menu);
    // Says so when the new zone lies far from the others, out of sight of a fit of them all.
    void tellIfFarAway(QObject* zone);

    ModuleHost* m_host;
    Settings* m_settings;
    bool m_persist = true;
};

} // namespace Velmora
