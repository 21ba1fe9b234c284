#include "HistoryRecorder.h"

#include "HistoryRecord.h"
#include "HistoryWriter.h"
#include "LogDock.h"
#include "ModuleHost.h"

#include <QDateTime>
#include <QSysInfo>

#include "semtra/Notification.h"
#include "semtra/Request.h"
#include "semtra/Response.h"

namespace Velmora {

namespace {

int intProperty(const QObject* object, const char* name)
{
    const QVariant value = object->property(name);
    return value.isValid() ? value.toInt() : HistoryRecord::NoValue;
}

// The service's answer as a number: its error when the command failed on the
// way, else its result code.
int resultCode(const Response* response)
{
    if (response->error() != 0)
        return int(response->error());
    const qint64 result = response->resultCode();
    return result < 0 ? HistoryRecord::NoReply : int(result);
}

QString userName()
{
    QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

} // namespace

HistoryRecorder::HistoryRecorder(ModuleHost* host, LinkMonitor* links, HistoryWriter* writer, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_links(links)
    , m_writer(writer)
    , m_user(userName())
    , m_hostName(QSysInfo::machineHostName())
{
    connect(host, &ModuleHost::objectStateChanged, this, &HistoryRecorder::stateChanged);
    connect(host, &ModuleHost::zoneNotification, this, &HistoryRecorder::notified);
    connect(host, &ModuleHost::zoneResponseFinished, this, &HistoryRecorder::answered);
    connect(host, &ModuleHost::zoneAboutToBeRemoved, this, &HistoryRecorder::zoneRemoved);
    connect(links, &LinkMonitor::statusChanged, this, &HistoryRecorder::linkStatusChanged);
}

void HistoryRecorder::observeStamp(QObject* zone, const QDateTime& stamp)
{
    if (!stamp.isValid())
        return;
    ZoneClock& clock = m_clocks[zone];
    clock.lastStampMs = std::max(clock.lastStampMs, stamp.toMSecsSinceEpoch());
    for (HistoryRecord& record : clock.unstamped) {
        record.serviceMs = clock.lastStampMs;
        m_writer->add(record);
    }
    clock.unstamped.clear();
}

qint64 HistoryRecorder::serviceMs(QObject* zone) const
{
    // Before the service has stamped anything, this computer's clock stands in.
    const qint64 stamp = m_clocks.value(zone).lastStampMs;
    return stamp > 0 ? stamp : QDateTime::currentMSecsSinceEpoch();
}

HistoryRecord HistoryRecorder::baseRecord(QObject* zone, int kind) const
{
    HistoryRecord record;
    record.kind = HistoryRecord::Kind(kind);
    record.zone = intProperty(zone, "id");
    record.serviceMs = serviceMs(zone);
    record.localMs = QDateTime::currentMSecsSinceEpoch();
    record.user = m_user;
    record.host = m_hostName;
    return record;
}

void HistoryRecorder::stateChanged(const QObject* object)
{
    QObject* zone = ModuleHost::zoneOf(const_cast<QObject*>(object));
    // Only what the service said for this file is history; a mismatched zone's values are not.
    if (!zone || !m_links->isLive(zone))
        return;
    HistoryRecord record = baseRecord(zone, HistoryRecord::State);
    record.controlSource = intProperty(object, "controlSource");
    if (object == zone) {
        record.strategy = intProperty(zone, "currentStrategy");
    } else {
        record.area = intProperty(object, "id");
        record.state = intProperty(object, "currentState");
        record.specialState = intProperty(object, "specialState");
    }
    m_writer->add(record);
    recordFullStateIfDue(zone);
}

void HistoryRecorder::recordFullStateIfDue(QObject* zone)
{
    ZoneClock& clock = m_clocks[zone];
    // Stamped by this computer's clock, which may run ahead of the service's,
    // a full state would hide the changes the service stamps after it.
    if (clock.lastStampMs <= 0)
        return;
    const qint64 now = clock.lastStampMs;
    if (now < clock.nextFullMs)
        return;
    clock.nextFullMs = (now / FullStateEveryMs + 1) * FullStateEveryMs;
    ZoneMoment moment;
    moment.zone = intProperty(zone, "id");
    moment.serviceMs = now;
    moment.controlSource = intProperty(zone, "controlSource");
    moment.strategy = intProperty(zone, "currentStrategy");
    const QList<QObject*> areas = ModuleHost::areasOf(zone);
    moment.areas.reserve(areas.size());
    for (const QObject* area : areas) {
        moment.areas.append(AreaMoment{intProperty(area, "id"), intProperty(area, "controlSource"),
                                       intProperty(area, "currentState"), intProperty(area, "specialState")});
    }
    std::sort(moment.areas.begin(), moment.areas.end(),
              [](const AreaMoment& a, const AreaMoment& b) { return a.id < b.id; });
    HistoryRecord record = moment.fullStateRecord(QDateTime::currentMSecsSinceEpoch());
    record.user = m_user;
    record.host = m_hostName;
    m_writer->add(record);
}

void HistoryRecorder::notified(QObject* zone, const Notification* notification)
{
    if (!zone || !notification)
        return;
    observeStamp(zone, notification->timeStamp());
    if (!m_links->isLive(zone))
        return;
    HistoryRecord record = baseRecord(zone, HistoryRecord::Event);
    record.detail = QStringLiteral("event %1: %2").arg(notification->id()).arg(LogDock::valuesText(notification->data()));
    m_writer->add(record);
}

void HistoryRecorder::answered(QObject* zone, const Response* response)
{
    if (zone)
        observeStamp(zone, LogDock::replyStamp(response));
}

void HistoryRecorder::commandSent(QObject* zone, Response* response, const QString& typed)
{
    if (!zone || !response)
        return;
    const QPointer<QObject> zoneGuard(zone);
    connect(response, &Response::finished, this, [this, zoneGuard, response, typed] {
        if (!zoneGuard)
            return;
        observeStamp(zoneGuard, LogDock::replyStamp(response));
        HistoryRecord record = baseRecord(zoneGuard, HistoryRecord::Command);
        record.detail = typed;
        record.code = resultCode(response);
        m_writer->add(record);
    });
}

void HistoryRecorder::linkStatusChanged(QObject* zone, LinkMonitor::Status status)
{
    if (!zone)
        return;
    HistoryRecord record = baseRecord(zone, HistoryRecord::Link);
    record.code = status;
    if (status == LinkMonitor::HashMismatch) {
        record.detail = QStringLiteral("service hash %1, file hash %2")
                             .arg(QString::fromLatin1(zone->property("remoteHash").toByteArray().toHex()),
                                  QString::fromLatin1(zone->property("localHash").toByteArray().toHex()));
    }
    ZoneClock& clock = m_clocks[zone];
    // This computer's clock may run ahead of the service's: a link change
    // stamped by it would outlast the service's later ones in replay.
    if (clock.lastStampMs > 0)
        m_writer->add(record);
    else
        clock.unstamped.append(record);
    // A service that never answers stamps nothing: its attempts are not kept back without end.
    if (clock.unstamped.size() > MaxUnstamped)
        m_writer->add(clock.unstamped.takeFirst());
    // A zone linked again starts with its whole state, taken with the first
    // values the service sends: at this point they are not in yet.
    if (status == LinkMonitor::Linked)
        clock.nextFullMs = 0;
}

void HistoryRecorder::zoneRemoved(QObject* zone)
{
    // The service never stamped anything: this computer's clock is all there is.
    for (const HistoryRecord& record : m_clocks.value(zone).unstamped)
        m_writer->add(record);
    m_clocks.remove(zone);
}

} // namespace Velmora
