#include "ScheduleDock.h"

#include "BackgroundWork.h"
#include "ModuleHost.h"
#include "ScheduleChart.h"

#include "Velmora/format/SchedulePreview.h"
#include "Velmora/format/XmlDocument.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace Velmora {

namespace {

// A file being written announces itself several times: it is read once quiet.
constexpr int FileSettleMs = 200;

QString readErrorText(const Velmora::Xml::ReadError& failure)
{
    return failure.kind == Velmora::Xml::ReadError::CannotOpen
        ? failure.message
        : ScheduleDock::tr("%1 (line %2, column %3)").arg(failure.message).arg(failure.line).arg(failure.column);
}

// Size and time of the last change: a file replaced under its name shows here
// even when the watcher lost sight of it.
QString fileStamp(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.exists() ? QStringLiteral("%1 %2").arg(info.lastModified().toMSecsSinceEpoch()).arg(info.size())
                         : QString();
}

} // namespace

ScheduleDock::ScheduleDock(QWidget* parent)
    : QDockWidget(tr("Schedule"), parent)
    , m_chart(new ScheduleChart)
{
    setObjectName(QStringLiteral("scheduleDock"));
    auto* body = new QWidget(this);
    m_message = new QLabel(body);
    m_message->setObjectName(QStringLiteral("scheduleMessage"));
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_scroll = new QScrollArea(body);
    m_scroll->setWidget(m_chart);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(createDayBar());
    layout->addWidget(m_message, 1);
    layout->addWidget(m_scroll, 1);
    setWidget(body);

    m_rebuildTimer.setSingleShot(true);
    connect(&m_rebuildTimer, &QTimer::timeout, this, &ScheduleDock::rebuild);
    m_clock.setSingleShot(true);
    connect(&m_clock, &QTimer::timeout, this, &ScheduleDock::tick);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { scheduleRebuild(FileSettleMs); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ScheduleDock::directoryChanged);
    m_reader.setMaxThreadCount(1);
    tick();
    rebuild();
}

ScheduleDock::~ScheduleDock()
{
    // A read still running answers into this object: it ends first.
    m_reader.clear();
    m_reader.waitForDone();
}

QWidget* ScheduleDock::createDayBar()
{
    auto* bar = new QWidget;
    auto* back = new QToolButton(bar);
    back->setObjectName(QStringLiteral("scheduleDayBack"));
    back->setArrowType(Qt::LeftArrow);
    back->setToolTip(tr("Previous day"));
    m_date = new QDateEdit(QDate::currentDate(), bar);
    m_date->setObjectName(QStringLiteral("scheduleDate"));
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("ddd yyyy-MM-dd"));
    m_date->setToolTip(tr("The day the schedule shows"));
    // Room for the weekday the format puts in front, and the popup's arrow.
    m_date->setMinimumWidth(m_date->fontMetrics().horizontalAdvance(QStringLiteral("Wed 0000-00-00")) + 40);
    auto* forward = new QToolButton(bar);
    forward->setObjectName(QStringLiteral("scheduleDayForward"));
    forward->setArrowType(Qt::RightArrow);
    forward->setToolTip(tr("Next day"));
    auto* today = new QToolButton(bar);
    today->setObjectName(QStringLiteral("scheduleToday"));
    today->setText(tr("Today"));
    m_zoneLabel = new QLabel(bar);

    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : {static_cast<QWidget*>(back), static_cast<QWidget*>(m_date), static_cast<QWidget*>(forward),
                            static_cast<QWidget*>(today)})
        layout->addWidget(widget);
    layout->addSpacing(12);
    layout->addWidget(m_zoneLabel, 1);

    connect(back, &QToolButton::clicked, this, [this] { setDate(date().addDays(-1)); });
    connect(forward, &QToolButton::clicked, this, [this] { setDate(date().addDays(1)); });
    connect(today, &QToolButton::clicked, this, [this] { setDate(this->today()); });
    connect(m_date, &QDateEdit::dateChanged, this, [this] {
        tick();
        scheduleRebuild(0);
    });
    return bar;
}

QObject* ScheduleDock::zone() const
{
    return m_zone;
}

QDate ScheduleDock::date() const
{
    return m_date->date();
}

ScheduleChart* ScheduleDock::chart() const
{
    return m_chart;
}

QString ScheduleDock::message() const
{
    return m_message->text();
}

void ScheduleDock::setZone(QObject* zone)
{
    if (zone == m_zone)
        return;
    m_zone = zone;
    m_areas.clear();
    for (QObject* area : ModuleHost::areasOf(zone)) {
        const int id = area->property("id").toInt();
        if (!m_areas.contains(id))
            m_areas.insert(id, area);
    }
    m_file = zone ? ModuleHost::zoneFile(zone) : QString();
    const QString name = zone ? zone->property("name").toString() : QString();
    m_zoneLabel->setText(zone ? tr("Zone %1 \"%2\"").arg(zone->property("id").toInt()).arg(name) : QString());
    m_zoneLabel->setToolTip(QDir::toNativeSeparators(m_file));
    m_chart->clearLive();
    scheduleRebuild(0);
}

void ScheduleDock::setDate(const QDate& date)
{
    m_date->setDate(date);
}

void ScheduleDock::scheduleRebuild(int delay)
{
    // Zone, day and file changes coming together make one rebuild.
    m_rebuildTimer.start(delay);
}

void ScheduleDock::rebuild()
{
    m_rebuildTimer.stop();
    if (!m_zone)
        m_file.clear();
    watchFile();
    if (!m_zone) {
        ++m_request;
        m_shownKey.clear();
        m_readingKey.clear();
        m_chart->setPreview(Velmora::SchedulePreview());
        showMessage(tr("No zone is open. The schedule of the zone that commands go to shows here."));
        return;
    }
    if (planKey() == m_shownKey) {
        if (!m_chart->preview().isNull())
            refreshLive();
        return;
    }
    // The read under way answers this one too: a large zone is not parsed twice.
    if (planKey() == m_readingKey)
        return;
    readPlan();
}

QString ScheduleDock::planKey() const
{
    return m_file + QLatin1Char('\n') + m_stamp + QLatin1Char('\n') + date().toString(Qt::ISODate);
}

void ScheduleDock::readPlan()
{
    m_shownKey.clear();
    m_chart->setPreview(Velmora::SchedulePreview());
    showMessage(tr("Reading the schedule from %1…").arg(QDir::toNativeSeparators(m_file)));
    const int request = ++m_request;
    const QString key = planKey();
    const QString file = m_file;
    const QDate day = date();
    m_readingKey = key;
    // Reads asked for before and not begun yet would only be dropped when they answer.
    m_reader.clear();
    m_reader.start([this, request, key, file, day] {
        Velmora::yieldToTheLivePicture();
        Velmora::Xml::ReadError error;
        const Velmora::SchedulePreview preview = Velmora::SchedulePreview::fromFile(file, day, day, &error);
        QMetaObject::invokeMethod(
            this, [this, request, key, preview, error] { planRead(request, key, preview, error); },
            Qt::QueuedConnection);
    });
}

void ScheduleDock::planRead(int request, const QString& key, const Velmora::SchedulePreview& preview,
                            const Velmora::Xml::ReadError& error)
{
    // Asked for again since, or the file changed while it was read: read once more.
    if (request != m_request)
        return;
    m_readingKey.clear();
    if (key != planKey() || fileStamp(m_file) != m_stamp) {
        scheduleRebuild(0);
        return;
    }
    m_shownKey = key;
    if (error.kind != Velmora::Xml::ReadError::None) {
        showMessage(tr("Cannot read the schedule from %1: %2")
                        .arg(QDir::toNativeSeparators(m_file), readErrorText(error)));
        return;
    }
    m_chart->setPreview(preview);
    if (preview.isNull()) {
        showMessage(tr("No schedule from %1: %2").arg(QDir::toNativeSeparators(m_file), preview.error()));
        return;
    }
    showMessage(QString());
    refreshLive();
}

void ScheduleDock::showMessage(const QString& text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
    m_scroll->setVisible(text.isEmpty());
}

void ScheduleDock::watchFile()
{
    // The folder too: a file removed and written again is seen there.
    const QString folder = m_file.isEmpty() ? QString() : QFileInfo(m_file).absolutePath();
    QStringList stale = m_watcher.files() + m_watcher.directories();
    stale.removeAll(folder);
    stale.removeAll(m_file);
    if (!stale.isEmpty())
        m_watcher.removePaths(stale);
    if (!folder.isEmpty() && !m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (QFileInfo::exists(m_file) && !m_watcher.files().contains(m_file))
        m_watcher.addPath(m_file);
    m_stamp = fileStamp(m_file);
}

void ScheduleDock::directoryChanged()
{
    // Other files come and go in the folder; only this one's change counts.
    if (!m_file.isEmpty() && fileStamp(m_file) != m_stamp)
        scheduleRebuild(FileSettleMs);
}

void ScheduleDock::refreshLive()
{
    m_chart->clearLive();
    if (!isLive())
        return;
    m_chart->setLiveStrategy(m_zone->property("currentStrategy").toInt(), m_zone->property("controlSource").toInt());
    for (const QPointer<QObject>& area : qAsConst(m_areas)) {
        if (area)
            setLiveArea(area);
    }
}

// The service's values are this file's only while linked on the same configuration.
bool ScheduleDock::isLive() const
{
    return m_zone && m_zone->property("isConnected").toBool() && !m_zone->property("hashInvalid").toBool();
}

void ScheduleDock::setLiveArea(const QObject* area)
{
    m_chart->setLiveArea(area->property("id").toInt(), area->property("currentState").toInt(),
                         area->property("controlSource").toInt());
}

void ScheduleDock::objectStateChanged(const QObject* object)
{
    if (!m_zone || !object)
        return;
    if (object == m_zone) {
        // Link changes and the zone's strategy: everything may have moved.
        refreshLive();
        return;
    }
    const auto area = m_areas.constFind(object->property("id").toInt());
    if (area != m_areas.constEnd() && area.value() == object && isLive())
        setLiveArea(object);
}

void ScheduleDock::serviceTime(const QDateTime& stamp)
{
    // Before the values that came with it are applied: they are compared with the plan at its time.
    m_serviceClock.observe(stamp);
    tick();
}

void ScheduleDock::serviceLost()
{
    m_serviceClock.reset();
    tick();
}

QDateTime ScheduleDock::now() const
{
    // The service stamps in UTC; the plan's times are the zone's, which is where this computer stands.
    return m_serviceClock.isKnown() ? m_serviceClock.now().toLocalTime() : QDateTime::currentDateTime();
}

QDate ScheduleDock::today() const
{
    return now().date();
}

void ScheduleDock::tick()
{
    const QDateTime at = now();
    // Left on today, the dock moves on to the next day at midnight.
    const bool wasToday = m_today.isValid() && date() == m_today;
    m_today = at.date();
    if (wasToday && date() != m_today)
        setDate(m_today);
    m_chart->setNowMinute(date() == m_today ? at.time().hour() * 60 + at.time().minute() : -1);
    // The next minute of the clock that counts, however fast it runs.
    const double rate = m_serviceClock.isKnown() ? qMax(m_serviceClock.rate(), 1e-3) : 1.0;
    const qint64 untilNextMinute = 60000 - at.time().second() * 1000 - at.time().msec();
    m_clock.start(int(qBound<qint64>(20, qint64(untilNextMinute / rate) + 20, 60000)));
}

} // namespace Velmora
