#include "LinkMonitor.h"

#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <limits>

namespace Velmora {

namespace {

// Below this the connection's link is down (Semtra::Connection::Connected).
constexpr int ConnectedState = 4;

int zoneId(const QObject* zone)
{
    return zone ? zone->property("id").toInt() : 0;
}

} // namespace

LinkMonitor::LinkMonitor(QObject* parent)
    : QObject(parent)
{
    m_check.setSingleShot(true);
    connect(&m_check, &QTimer::timeout, this, [this] {
        reevaluate();
        scheduleCheck();
    });
}

QString LinkMonitor::text(Status status)
{
    switch (status) {
    case NotConnected:
        return tr("not connected");
    case Connecting:
        return tr("connecting");
    case NotAnswering:
        return tr("connected, not answering");
    case Linked:
        return tr("linked");
    case HashMismatch:
        return tr("hash mismatch");
    }
    return QString();
}

int LinkMonitor::answerTimeout() const
{
    return m_answerTimeout;
}

void LinkMonitor::setAnswerTimeout(int milliseconds)
{
    m_answerTimeout = qMax(1, milliseconds);
    reevaluate();
    scheduleCheck();
}

qint64 LinkMonitor::waitingFor(QObject* zone) const
{
    const auto since = m_announcedSince.constFind(zone);
    if (since != m_announcedSince.constEnd())
        return since->elapsed();
    return m_tcpSince.isValid() ? m_tcpSince.elapsed() : 0;
}

LinkMonitor::Status LinkMonitor::status(QObject* zone) const
{
    if (!m_tcpUp)
        return m_service.isEmpty() || !m_wanted ? NotConnected : Connecting;
    const ZoneLink link = m_zones.value(zone);
    if (link.announced && link.answered)
        return zone && zone->property("hashInvalid").toBool() ? HashMismatch : Linked;
    return waitingFor(zone) >= m_answerTimeout ? NotAnswering : Connecting;
}

QDateTime LinkMonitor::since(QObject* zone) const
{
    return m_zones.value(zone).shownSince;
}

bool LinkMonitor::isLive(QObject* zone) const
{
    return m_zones.contains(zone) && status(zone) == Linked;
}

QString LinkMonitor::shortHash(const QByteArray& hash)
{
    return hash.isEmpty() ? tr("none") : QString::fromLatin1(hash.left(2).toHex()) + QChar(0x2026);
}

QString LinkMonitor::mismatchText(QObject* zone)
{
    return tr("The service runs another version of zone %1's configuration (service hash %2, file hash %3). "
              "Live states are not shown until they agree.")
        .arg(zoneId(zone))
        .arg(shortHash(zone->property("remoteHash").toByteArray()),
             shortHash(zone->property("localHash").toByteArray()));
}

QString LinkMonitor::reason(QObject* zone) const
{
    const ZoneLink link = m_zones.value(zone);
    const int id = zoneId(zone);
    const double seconds = m_answerTimeout / 1000.0;
    switch (status(zone)) {
    case NotConnected:
        return m_service.isEmpty() ? tr("No service chosen (Service → Connect…)")
                                   : tr("Disconnected from the service at %1").arg(m_service);
    case Connecting:
        if (!m_tcpUp && !m_failure.isEmpty())
            return tr("Connecting to the service at %1 (last attempt: %2)").arg(m_service, m_failure);
        if (!m_tcpUp)
            return tr("Connecting to the service at %1").arg(m_service);
        if (!link.announced)
            return tr("Connected to %1, waiting for the service to announce zone %2").arg(m_service).arg(id);
        return tr("Zone %1 announced, waiting for the service's answers").arg(id);
    case NotAnswering:
        if (!link.announced)
            return tr("The service at %1 accepted the connection but has not announced zone %2 within %3 s")
                .arg(m_service)
                .arg(id)
                .arg(seconds);
        return tr("The service announced zone %1 but has not answered its link-up requests within %2 s")
            .arg(id)
            .arg(seconds);
    case Linked:
        return tr("Linked to the service at %1").arg(m_service);
    case HashMismatch:
        return mismatchText(zone);
    }
    return QString();
}

QString LinkMonitor::summary() const
{
    const QString line = m_service.isEmpty() ? tr("No service") : tr("Service %1").arg(m_service);
    QStringList zones;
    QList<QObject*> sorted = m_zones.keys();
    std::sort(sorted.begin(), sorted.end(), [](QObject* a, QObject* b) { return zoneId(a) < zoneId(b); });
    for (QObject* zone : qAsConst(sorted))
        zones << tr("zone %1 %2").arg(zoneId(zone)).arg(text(status(zone)));
    if (zones.isEmpty())
        return line + QStringLiteral(": ") + (m_tcpUp ? tr("connected, no zone open") : text(status(nullptr)));
    return line + QStringLiteral(": ") + zones.join(QLatin1String(", "));
}

void LinkMonitor::setService(const QString& address, bool wanted)
{
    if (address != m_service)
        m_failure.clear();
    m_service = address;
    m_wanted = wanted;
    reevaluate();
    scheduleCheck();
}

void LinkMonitor::connectionStateChanged(int state)
{
    const bool up = state >= ConnectedState;
    if (up && !m_tcpUp)
        m_tcpSince.start();
    if (!up) {
        for (ZoneLink& link : m_zones)
            link = ZoneLink{false, false, link.shown, link.shownSince};
        m_announcedSince.clear();
    }
    m_tcpUp = up;
    if (up)
        m_failure.clear();
    reevaluate();
    scheduleCheck();
}

void LinkMonitor::connectionFailed(const QString& reason)
{
    m_failure = reason;
}

void LinkMonitor::addZone(QObject* zone)
{
    if (!zone || m_zones.contains(zone))
        return;
    ZoneLink link;
    link.announced = zone->property("isConnected").toBool();
    if (link.announced)
        m_announcedSince[zone].start();
    link.shown = NotConnected;
    link.shownSince = QDateTime::currentDateTime();
    m_zones.insert(zone, link);
    // A zone deleted behind the window's back must not stay behind as a key.
    connect(zone, &QObject::destroyed, this, [this, zone] { removeZone(zone); });
    reevaluate();
    scheduleCheck();
    // A new zone always makes itself heard, even when its status is the first one.
    emit statusChanged(zone, status(zone));
}

void LinkMonitor::removeZone(QObject* zone)
{
    if (m_zones.remove(zone))
        disconnect(zone, &QObject::destroyed, this, nullptr);
    m_announcedSince.remove(zone);
    scheduleCheck();
}

void LinkMonitor::zoneLinkChanged(QObject* zone, bool up)
{
    auto it = m_zones.find(zone);
    if (it == m_zones.end())
        return;
    it->announced = up;
    it->answered = false;
    if (up)
        m_announcedSince[zone].start();
    else
        m_announcedSince.remove(zone);
    reevaluate();
    scheduleCheck();
}

void LinkMonitor::zoneAnswered(QObject* zone)
{
    auto it = m_zones.find(zone);
    if (it == m_zones.end() || it->answered || !it->announced)
        return;
    it->answered = true;
    reevaluate();
    scheduleCheck();
}

void LinkMonitor::zoneChanged(QObject* zone)
{
    if (m_zones.contains(zone))
        reevaluate();
}

void LinkMonitor::reevaluate()
{
    for (auto it = m_zones.begin(); it != m_zones.end(); ++it) {
        const Status now = status(it.key());
        if (now == it->shown)
            continue;
        it->shown = now;
        it->shownSince = QDateTime::currentDateTime();
        emit statusChanged(it.key(), now);
    }
}

void LinkMonitor::scheduleCheck()
{
    // The next moment a waiting zone runs out of time.
    qint64 next = std::numeric_limits<qint64>::max();
    if (m_tcpUp) {
        for (auto it = m_zones.cbegin(); it != m_zones.cend(); ++it) {
            if (it->announced && it->answered)
                continue;
            const qint64 left = m_answerTimeout - waitingFor(it.key());
            if (left >= 0)
                next = qMin(next, left);
        }
    }
    if (next == std::numeric_limits<qint64>::max())
        m_check.stop();
    else
        m_check.start(int(next) + 1);
}

} // namespace Velmora
