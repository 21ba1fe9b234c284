#include "HistoryDock.h"

#include "ActualDay.h"
#include "HistoryReader.h"
#include "LinkMonitor.h"
#include "LogDock.h"
#include "ModuleHost.h"
#include "PropertiesDock.h"
#include "ScheduleChart.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <limits>

namespace Velmora {

namespace {

constexpr int PlayTickMs = 100;
constexpr int SecondsPerDay = 24 * 3600;

QString timeText(qint64 serviceMs)
{
    return QDateTime::fromMSecsSinceEpoch(serviceMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString linkText(const ZoneMoment& moment)
{
    if (moment.link == HistoryRecord::NoValue)
        return HistoryDock::tr("Link: nothing recorded");
    QString status = LinkMonitor::text(LinkMonitor::Status(moment.link));
    if (status.isEmpty())
        status = HistoryDock::tr("status %1").arg(moment.link);
    return HistoryDock::tr("Link: %1 since %2").arg(status, timeText(moment.linkSinceMs));
}

QString commandText(const HistoryRecord& command)
{
    const QString result = command.code == HistoryRecord::NoReply ? HistoryDock::tr("no reply")
                                                                  : LogDock::resultCodeText(command.code);
    return HistoryDock::tr("Last command: %1 → %2, by %3 on %4 at %5")
        .arg(command.detail, result, command.user, command.host, timeText(command.serviceMs));
}

QString areaLabel(QObject* area, int id)
{
    const QString name = area ? area->property("name").toString() : QString();
    return name.isEmpty() ? HistoryDock::tr("Area %1").arg(id) : HistoryDock::tr("Area %1 \"%2\"").arg(id).arg(name);
}

PlanTimeline planTimeline(const DayTimeline& recorded)
{
    PlanTimeline timeline;
    timeline.reserve(recorded.size());
    for (const DayInterval& interval : recorded) {
        const int id = interval.id == HistoryRecord::NoValue ? Config::NoId : interval.id;
        timeline.append(PlanInterval{interval.start, interval.end, id, Config::NoId});
    }
    return timeline;
}

} // namespace

HistoryDock::HistoryDock(QWidget* parent)
    : QDockWidget(tr("History"), parent)
{
    setObjectName(QStringLiteral("historyDock"));
    setWidget(createControls());
    // Play before any moment was chosen starts at the one the controls show, not at the epoch.
    m_momentMs = dayStartMs();
    m_dayReader.setMaxThreadCount(1);
    m_play.setInterval(PlayTickMs);
    connect(&m_play, &QTimer::timeout, this, &HistoryDock::playTick);
    m_dayRefresh.setSingleShot(true);
    m_dayRefresh.setInterval(DayRefreshMs);
    connect(&m_dayRefresh, &QTimer::timeout, this, &HistoryDock::refreshDay);
}

HistoryDock::~HistoryDock()
{
    m_dayReader.clear();
    m_dayReader.waitForDone();
}

QWidget* HistoryDock::createControls()
{
    auto* box = new QWidget(this);
    m_day = new QDateEdit(QDate::currentDate(), box);
    m_day->setCalendarPopup(true);
    m_day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_slider = new QSlider(Qt::Horizontal, box);
    m_slider->setRange(0, SecondsPerDay - 1);
    m_previous = new QPushButton(tr("◀ Previous change"), box);
    m_next = new QPushButton(tr("Next change ▶"), box);
    m_speed = new QComboBox(box);
    m_speed->setObjectName(QStringLiteral("historySpeed"));
    for (int factor : {1, 10, 60})
        m_speed->addItem(tr("×%1").arg(factor), factor);
    m_playButton = new QPushButton(tr("Play"), box);
    m_playButton->setCheckable(true);
    m_playButton->setObjectName(QStringLiteral("historyPlay"));
    m_live = new QPushButton(tr("Back to live"), box);
    m_live->setEnabled(false);
    m_band = new QLabel(box);
    m_band->setObjectName(QStringLiteral("replayBand"));
    m_band->setStyleSheet(QStringLiteral("background: #ffb300; color: black; font-weight: bold; padding: 4px;"));
    m_band->hide();
    m_values = new QTreeWidget(box);
    m_values->setHeaderLabels({tr("Zone / area"), tr("Control source"), tr("Strategy / state"), tr("Special state")});
    m_values->setRootIsDecorated(true);

    auto* row = new QHBoxLayout;
    row->addWidget(m_day);
    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_speed);
    row->addWidget(m_playButton);
    row->addWidget(m_live);
    auto* tabs = new QTabWidget(box);
    tabs->addTab(m_values, tr("Zones at the moment"));
    tabs->addTab(createChart(tabs), tr("Planned and recorded day"));
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(m_band);
    layout->addLayout(row);
    layout->addWidget(m_slider);
    layout->addWidget(tabs);

    connect(m_slider, &QSlider::valueChanged, this, &HistoryDock::sliderMoved);
    connect(m_day, &QDateEdit::dateChanged, this, [this] { sliderMoved(m_slider->value()); });
    connect(m_previous, &QPushButton::clicked, this, &HistoryDock::stepToPreviousChange);
    connect(m_next, &QPushButton::clicked, this, &HistoryDock::stepToNextChange);
    connect(m_live, &QPushButton::clicked, this, &HistoryDock::backToLive);
    connect(m_playButton, &QPushButton::toggled, this, [this](bool on) {
        if (on)
            m_play.start();
        else
            m_play.stop();
    });
    return box;
}

QWidget* HistoryDock::createChart(QWidget* parent)
{
    auto* page = new QWidget(parent);
    m_chartZone = new QComboBox(page);
    m_chartZone->setObjectName(QStringLiteral("historyChartZone"));
    m_chartNote = new QLabel(page);
    m_chart = new ScheduleChart(page);
    m_chart->setObjectName(QStringLiteral("historyChart"));
    auto* scroll = new QScrollArea(page);
    scroll->setWidget(m_chart);
    scroll->setWidgetResizable(true);
    auto* top = new QHBoxLayout;
    top->addWidget(m_chartZone);
    top->addWidget(m_chartNote, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(scroll);
    connect(m_chartZone, QOverload<int>::of(&QComboBox::activated), this, [this] { showDay(); });
    return page;
}

void HistoryDock::setHistory(const HistoryUrl& url)
{
    m_url = url;
    m_reader.reset();
}

void HistoryDock::setZoneSource(const std::function<QVector<Zone>()>& zones)
{
    m_zoneSource = zones;
}

bool HistoryDock::ensureReader()
{
    if (m_reader && m_reader->isOpen())
        return true;
    m_reader = std::make_unique<HistoryReader>();
    QString error;
    if (m_url.isValid() && m_reader->open(m_url, &error))
        return true;
    m_band->setText(tr("No history to replay: %1").arg(error));
    m_band->show();
    m_reader.reset();
    return false;
}

void HistoryDock::followOpenZones()
{
    if (m_zoneSource)
        m_zones = m_zoneSource();
}

void HistoryDock::setNow(const std::function<QDateTime()>& now)
{
    m_now = now;
}

qint64 HistoryDock::dayStartMs() const
{
    return QDateTime(m_day->date(), QTime(0, 0)).toMSecsSinceEpoch();
}

QDateTime HistoryDock::moment() const
{
    return QDateTime::fromMSecsSinceEpoch(m_momentMs);
}

QString HistoryDock::bandText() const
{
    return tr("Replay %1 — live is paused").arg(moment().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

bool HistoryDock::seek(const QDateTime& when)
{
    if (!ensureReader())
        return false;
    m_momentMs = when.toMSecsSinceEpoch();
    followOpenZones();
    m_moments.clear();
    m_lastCommands.clear();
    for (const Zone& zone : qAsConst(m_zones)) {
        m_moments.insert(zone.id, m_reader->momentAt(zone.id, m_momentMs));
        HistoryRecord command;
        if (m_reader->latest(zone.id, HistoryRecord::Command, m_momentMs, &command))
            m_lastCommands.insert(zone.id, command);
    }
    {
        // The controls follow the moment without seeking again.
        const QSignalBlocker dayBlocker(m_day);
        const QSignalBlocker sliderBlocker(m_slider);
        m_day->setDate(when.date());
        m_slider->setValue(when.time().msecsSinceStartOfDay() / 1000);
    }
    const bool started = !m_replaying;
    m_replaying = true;
    m_live->setEnabled(true);
    m_band->setText(bandText());
    m_band->show();
    showMoments();
    showDay();
    if (started)
        emit replayStarted();
    emit momentShown(when);
    return true;
}

void HistoryDock::showMoments()
{
    m_values->clear();
    for (const Zone& zone : qAsConst(m_zones))
        addZoneRows(zone, m_moments.value(zone.id));
}

void HistoryDock::addZoneRows(const Zone& zone, const ZoneMoment& moment)
{
    // In the properties' words: sources and special states by name, strategies and states by the file's names.
    QObject* object = zone.object;
    auto* zoneItem = new QTreeWidgetItem(m_values, {tr("Zone %1 \"%2\"").arg(zone.id).arg(zone.name)});
    if (moment.known) {
        zoneItem->setText(1, PropertiesDock::valueText("controlSource", moment.controlSource, object));
        zoneItem->setText(2, PropertiesDock::valueText("currentStrategy", moment.strategy, object));
    } else {
        zoneItem->setText(1, tr("nothing recorded yet"));
    }
    auto* link = new QTreeWidgetItem(zoneItem, {linkText(moment)});
    link->setFirstColumnSpanned(true);
    const auto command = m_lastCommands.constFind(zone.id);
    if (command != m_lastCommands.constEnd()) {
        auto* commandItem = new QTreeWidgetItem(zoneItem, {commandText(*command)});
        commandItem->setFirstColumnSpanned(true);
    }
    QHash<int, QObject*> areas;
    for (QObject* area : ModuleHost::areasOf(object))
        areas.insert(area->property("id").toInt(), area);
    for (const AreaMoment& area : moment.areas) {
        QObject* areaObject = areas.value(area.id);
        new QTreeWidgetItem(zoneItem, {areaLabel(areaObject, area.id),
                                       PropertiesDock::valueText("controlSource", area.controlSource, areaObject),
                                       PropertiesDock::valueText("currentState", area.state, areaObject),
                                       PropertiesDock::valueText("specialState", area.specialState, areaObject)});
    }
    zoneItem->setExpanded(true);
}

bool HistoryDock::isReported(const ZoneMoment& moment)
{
    return moment.link == HistoryRecord::NoValue || moment.link == LinkMonitor::Linked;
}

QStringList HistoryDock::shownValues() const
{
    QStringList lines;
    for (QTreeWidgetItemIterator it(m_values); *it; ++it) {
        QStringList cells;
        for (int column = 0; column < m_values->columnCount(); ++column) {
            if (!(*it)->text(column).isEmpty())
                cells << (*it)->text(column);
        }
        lines << cells.join(QLatin1String(" | "));
    }
    return lines;
}

QString HistoryDock::chartNote() const
{
    return m_chartNote->text();
}

QString HistoryDock::chartKey() const
{
    const int zone = m_chartZone->currentData().toInt();
    for (const Zone& z : m_zones) {
        if (z.id == zone) {
            return QStringLiteral("%1|%2|%3|%4").arg(zone).arg(z.file, moment().date().toString(Qt::ISODate),
                                                         QFileInfo(z.file).lastModified().toString(Qt::ISODateWithMs));
        }
    }
    return QString();
}

void HistoryDock::showDay()
{
    // The chooser follows the open zones; the chosen one stays while it is open.
    const int chosen = m_chartZone->currentData().toInt();
    {
        const QSignalBlocker blocker(m_chartZone);
        m_chartZone->clear();
        for (const Zone& zone : qAsConst(m_zones))
            m_chartZone->addItem(tr("Zone %1 \"%2\"").arg(zone.id).arg(zone.name), zone.id);
        m_chartZone->setCurrentIndex(qMax(0, m_chartZone->findData(chosen)));
    }
    const QString key = chartKey();
    if (key == m_chartKey) {
        m_chart->setNowMinute(m_chart->preview().minuteOf(moment()));
        return;
    }
    m_chartKey = key;
    m_chart->clearActual();
    m_chart->setPreview(SchedulePreview());
    ++m_dayRequest;
    if (key.isEmpty()) {
        m_chartNote->setText(tr("No zone open"));
        return;
    }
    const Zone zone = m_zones.value(m_chartZone->currentIndex());
    m_chartNote->setText(tr("Reading the day of zone %1…").arg(zone.id));
    const HistoryUrl url = m_url;
    const QDate day = moment().date();
    readInBackground([url, zone, day] { return readDay(url, zone, day); });
}

void HistoryDock::readInBackground(const std::function<RecordedDay()>& read)
{
    // A large zone's plan and a day of its records take a while: read off the GUI thread.
    const int request = ++m_dayRequest;
    m_dayReader.start([this, request, read] {
        const RecordedDay day = read();
        QMetaObject::invokeMethod(this, [this, request, day] { dayRead(request, day); }, Qt::QueuedConnection);
    });
}

void HistoryDock::recordsWritten()
{
    if (m_replaying && moment().date() == m_now().date() && !m_dayRefresh.isActive())
        m_dayRefresh.start();
}

void HistoryDock::refreshDay()
{
    // Only once the day's first read is shown: its plan stays, the records are read again.
    if (!m_replaying || m_chart->preview().isNull() || m_chartKey != chartKey())
        return;
    RecordedDay day;
    day.plan = m_chart->preview();
    const HistoryUrl url = m_url;
    const int zone = m_chartZone->currentData().toInt();
    readInBackground([url, zone, day]() mutable {
        readRecorded(url, zone, &day);
        return day;
    });
}

HistoryDock::RecordedDay HistoryDock::readDay(const HistoryUrl& url, const Zone& zone, const QDate& day)
{
    RecordedDay read;
    Xml::ReadError readError;
    read.plan = SchedulePreview::fromFile(zone.file, day, day, &readError);
    if (read.plan.isNull()) {
        read.error = tr("%1: %2").arg(zone.file, readError.message.isEmpty() ? read.plan.error() : readError.message);
        return read;
    }
    readRecorded(url, zone.id, &read);
    return read;
}

void HistoryDock::readRecorded(const HistoryUrl& url, int zone, RecordedDay* read)
{
    HistoryReader reader;
    if (!reader.open(url, &read->error))
        return;
    const qint64 dayStart = read->plan.momentAt(0).toMSecsSinceEpoch();
    const qint64 dayEnd = read->plan.momentAt(read->plan.minutes()).toMSecsSinceEpoch();
    const ActualDay actual = ActualDay::compute(reader.momentAt(zone, dayStart - 1),
                                                reader.changes(zone, dayStart - 1, dayEnd), dayStart,
                                                read->plan.minutes());
    read->strategies = planTimeline(actual.strategies());
    read->areas.clear();
    for (const SchedulePreview::Area& area : read->plan.areas())
        read->areas.insert(area.id, planTimeline(actual.states(area.id)));
}

void HistoryDock::dayRead(int request, const RecordedDay& read)
{
    // Another zone or day was asked for since, or the replay ended.
    if (request != m_dayRequest)
        return;
    m_chartNote->setText(read.error);
    if (!read.error.isEmpty())
        return;
    m_chart->setPreview(read.plan);
    m_chart->setActual(read.strategies, read.areas);
    m_chart->setNowMinute(read.plan.minuteOf(moment()));
}

void HistoryDock::sliderMoved(int second)
{
    seek(QDateTime::fromMSecsSinceEpoch(dayStartMs() + second * 1000LL));
}

void HistoryDock::stepToNextChange()
{
    if (!ensureReader())
        return;
    followOpenZones();
    qint64 next = std::numeric_limits<qint64>::max();
    for (const Zone& zone : qAsConst(m_zones)) {
        const qint64 at = m_reader->nextChange(zone.id, m_momentMs);
        if (at >= 0)
            next = std::min(next, at);
    }
    if (next != std::numeric_limits<qint64>::max())
        seek(QDateTime::fromMSecsSinceEpoch(next));
}

void HistoryDock::stepToPreviousChange()
{
    if (!ensureReader())
        return;
    followOpenZones();
    qint64 previous = -1;
    for (const Zone& zone : qAsConst(m_zones))
        previous = std::max(previous, m_reader->previousChange(zone.id, m_momentMs));
    if (previous >= 0)
        seek(QDateTime::fromMSecsSinceEpoch(previous));
}

void HistoryDock::playTick()
{
    // Nothing is recorded past the present: play catches up with it and stops.
    const qint64 now = m_now().toMSecsSinceEpoch();
    const qint64 next = std::min(m_momentMs + qint64(PlayTickMs) * m_speed->currentData().toInt(), now);
    // A history that does not open is not tried again each tick: opening may wait on the network.
    const bool moved = next <= m_momentMs || seek(QDateTime::fromMSecsSinceEpoch(next));
    if (!moved || next >= now)
        m_playButton->setChecked(false);
}

void HistoryDock::backToLive()
{
    m_play.stop();
    m_dayRefresh.stop();
    m_playButton->setChecked(false);
    m_replaying = false;
    m_moments.clear();
    m_lastCommands.clear();
    m_values->clear();
    m_chartKey.clear();
    ++m_dayRequest;
    m_chartNote->clear();
    m_chart->clearActual();
    m_chart->setPreview(SchedulePreview());
    m_band->hide();
    m_live->setEnabled(false);
    emit liveResumed();
}

} // namespace Velmora
