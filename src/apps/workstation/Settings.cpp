#include "Settings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Velmora {

namespace {

const char RecentFilesKey[] = "recentFiles";
const char GeometryKey[] = "window/geometry";
const char StateKey[] = "window/state";
const char ServiceKey[] = "service/address";
const char StorageKey[] = "storage/directory";
const char SessionFilesKey[] = "session/files";
const char SessionConnectedKey[] = "session/connected";
const char ReopenKey[] = "session/reopen";

} // namespace

Settings::Settings()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                 QCoreApplication::applicationName())
{
}

QStringList Settings::recentFiles() const
{
    return m_settings.value(QLatin1String(RecentFilesKey)).toStringList();
}

void Settings::addRecentFile(const QString& fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > MaxRecentFiles)
        files.removeLast();
    m_settings.setValue(QLatin1String(RecentFilesKey), files);
}

void Settings::removeRecentFile(const QString& fileName)
{
    QStringList files = recentFiles();
    files.removeAll(QFileInfo(fileName).absoluteFilePath());
    m_settings.setValue(QLatin1String(RecentFilesKey), files);
}

QByteArray Settings::windowGeometry() const
{
    return m_settings.value(QLatin1String(GeometryKey)).toByteArray();
}

QByteArray Settings::windowState() const
{
    return m_settings.value(QLatin1String(StateKey)).toByteArray();
}

void Settings::setWindow(const QByteArray& geometry, const QByteArray& state)
{
    m_settings.setValue(QLatin1String(GeometryKey), geometry);
    m_settings.setValue(QLatin1String(StateKey), state);
}

QString Settings::serviceAddress() const
{
    return m_settings.value(QLatin1String(ServiceKey), QStringLiteral("127.0.0.1:%1").arg(DefaultPort)).toString();
}

void Settings::setServiceAddress(const QString& address)
{
    m_settings.setValue(QLatin1String(ServiceKey), address);
}

QString Settings::storageDirectory() const
{
    return m_settings.value(QLatin1String(StorageKey)).toString();
}

void Settings::setStorageDirectory(const QString& directory)
{
    m_settings.setValue(QLatin1String(StorageKey), directory);
}

QStringList Settings::sessionFiles() const
{
    return m_settings.value(QLatin1String(SessionFilesKey)).toStringList();
}

bool Settings::sessionConnected() const
{
    return m_settings.value(QLatin1String(SessionConnectedKey), false).toBool();
}

void Settings::setSession(const QStringList& files, bool connected)
{
    QStringList paths;
    for (const QString& file : files)
        paths << QFileInfo(file).absoluteFilePath();
    m_settings.setValue(QLatin1String(SessionFilesKey), paths);
    m_settings.setValue(QLatin1String(SessionConnectedKey), connected);
}

bool Settings::reopenSession() const
{
    return m_settings.value(QLatin1String(ReopenKey), true).toBool();
}

void Settings::setReopenSession(bool reopen)
{
    m_settings.setValue(QLatin1String(ReopenKey), reopen);
}

bool Settings::parseAddress(const QString& text, QString* host, quint16* port)
{
    const QString trimmed = text.trimmed();
    const int colon = trimmed.lastIndexOf(QLatin1Char(':'));
    const QString hostPart = colon < 0 ? trimmed : trimmed.left(colon);
    if (hostPart.isEmpty() || hostPart.contains(QLatin1Char(' ')))
        return false;
    quint16 portValue = DefaultPort;
    if (colon >= 0) {
        bool ok = false;
        const uint value = trimmed.mid(colon + 1).toUInt(&ok);
        if (!ok || value == 0 || value > 65535)
            return false;
        portValue = quint16(value);
    }
    *host = hostPart;
    *port = portValue;
    return true;
}

} // namespace Velmora
