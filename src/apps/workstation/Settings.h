#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>

namespace Velmora {

// The workstation's user settings, in the user's INI file of the application.
class Settings
{
public:
    static constexpr int MaxRecentFiles = 8;
    static constexpr quint16 DefaultPort = 7411;

    Settings();

    QStringList recentFiles() const;
    // Moves the file to the front, without duplicates, keeping MaxRecentFiles.
    void addRecentFile(const QString& fileName);
    void removeRecentFile(const QString& fileName);

    QByteArray windowGeometry() const;
    QByteArray windowState() const;
    void setWindow(const QByteArray& geometry, const QByteArray& state);

    // "host:port"
    QString serviceAddress() const;
    void setServiceAddress(const QString& address);
    QString storageDirectory() const;
    void setStorageDirectory(const QString& directory);

    // The last session: the zones open and whether the service was connected
    // when the workstation closed, and whether a start without files brings
    // them back (on unless the user turned it off).
    QStringList sessionFiles() const;
    bool sessionConnected() const;
    void setSession(const QStringList& files, bool connected);
    bool reopenSession() const;
    void setReopenSession(bool reopen);

    // "host:port" or "host" (default port). False for an empty host or a port
    // outside 1..65535.
    static bool parseAddress(const QString& text, QString* host, quint16* port);

private:
    QSettings m_settings;
};

} // namespace Velmora
