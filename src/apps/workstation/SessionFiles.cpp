#include "SessionFiles.h"

#include "MapView.h"
#include "ModuleHost.h"
#include "Settings.h"
#include "StatusLabels.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace Velmora {

namespace {

constexpr int MessageTimeout = StatusLabels::MessageTimeout;

} // namespace

SessionFiles::SessionFiles(ModuleHost* host, Settings* settings, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_settings(settings)
{
}

void SessionFiles::setPersist(bool persist)
{
    m_persist = persist;
}

bool SessionFiles::persists() const
{
    return m_persist;
}

bool SessionFiles::openZone(const QString& fileName)
{
    QString error;
    const bool known = m_host->zoneForFile(fileName) != nullptr;
    QObject* zone = m_host->loadZone(fileName, &error);
    if (!zone) {
        emit logLine(tr("cannot load %1: %2").arg(fileName, error));
        emit statusMessage(tr("Cannot load %1").arg(fileName), MessageTimeout);
        // Only a file gone from its folder leaves the list: one that does not read may be about to be
        // corrected, and a folder out of reach (a share down) may come back.
        const QFileInfo file(fileName);
        if (m_persist && file.dir().exists() && !file.exists())
            m_settings->removeRecentFile(fileName);
        return false;
    }
    if (known)
        emit statusMessage(tr("%1 is already open").arg(fileName), MessageTimeout);
    else
        tellIfFarAway(zone);
    if (m_persist)
        m_settings->addRecentFile(fileName);
    return true;
}

void SessionFiles::tellIfFarAway(QObject* zone)
{
    qreal distance = 0;
    if (!MapView::isFarFromOthers(zone, m_host->zones(), &distance))
        return;
    const QRectF rect = MapView::zoneRect(zone);
    const QString apart = MapView::isGeographic(rect) ? tr("about %1 km").arg(qRound(distance * 111.32))
                                                      : tr("%1 units").arg(qRound(distance));
    emit statusMessage(tr("Zone %1 lies far from the other zones (%2 away): View → Fit zone shows it")
                           .arg(zone->property("id").toInt())
                           .arg(apart),
                       3 * MessageTimeout);
}

bool SessionFiles::restore()
{
    if (!m_settings->reopenSession())
        return false;
    bool any = false;
    for (const QString& file : m_settings->sessionFiles())
        any = openZone(file) || any;
    QString host;
    quint16 port = 0;
    if (m_settings->sessionConnected() && Settings::parseAddress(m_settings->serviceAddress(), &host, &port)) {
        emit serviceWanted(host, port);
        any = true;
    }
    if (any)
        emit logLine(tr("last session reopened (File → Reopen the last session at start)"));
    return any;
}

void SessionFiles::save(bool serviceWanted)
{
    QStringList files;
    for (QObject* zone : m_host->zones())
        files << ModuleHost::zoneFile(zone);
    m_settings->setSession(files, serviceWanted);
}

void SessionFiles::followRecentMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillRecentMenu(menu); });
}

void SessionFiles::fillRecentMenu(QMenu* menu)
{
    menu->clear();
    const QStringList files = m_settings->recentFiles();
    for (const QString& file : files)
        menu->addAction(file, this, [this, file] {
            if (openZone(file))
                emit recentOpened();
        });
    if (files.isEmpty())
        menu->addAction(tr("(none)"))->setEnabled(false);
}

QString SessionFiles::lastFolder() const
{
    const QStringList recent = m_settings->recentFiles();
    return recent.isEmpty() ? QString() : QFileInfo(recent.first()).absolutePath();
}

} // namespace Velmora
