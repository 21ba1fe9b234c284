// The workstation's history, against the real plug-in and the simulator: what a linked zone reports, the operator's
// commands and the link's changes end up in the database; a zone on another configuration records its mismatch and no
// states; a database it cannot use leaves the workstation running and says why.
#include "HistoryDock.h"
#include "HistoryReader.h"
#include "HistoryWriter.h"
#include "LinkMonitor.h"
#include "LogDock.h"
#include "MapView.h"
#include "ObjectTreeModel.h"
#include "PropertiesDock.h"
#include "QtOwnLeaks.h"
#include "ReplayLayer.h"
#include "ScheduleChart.h"
#include "ScheduleDock.h"
#include "ServiceProcess.h"
#include "WorkstationFixture.h"

#include "Velmora/format/Protocol.h"
#include "Velmora/format/TokenDigest.h"

#include <QComboBox>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QLineEdit>
#include <QStatusBar>
#include <QtTest>

#include <limits>

#include "DomText.h"
#include "FreePort.h"

using namespace Velmora;

namespace {

const QString northFile = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
constexpr int North = 7;

QVector<HistoryRecord> allOf(HistoryReader& reader, HistoryRecord::Kind kind)
{
    return reader.records(North, kind, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
}

// What the map's scene shows at a point, background included.
QColor pixelAt(QGraphicsScene* scene, const QPointF& point)
{
    QImage image(1, 1, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene->render(&painter, QRectF(0, 0, 1, 1), QRectF(point - QPointF(0.05, 0.05), QSizeF(0.1, 0.1)));
    painter.end();
    return image.pixelColor(0, 0);
}

QPointF centreOf(QObject* area)
{
    return ModuleHost::graphicsItem(area)->sceneBoundingRect().center();
}

// Inside area 3 of North away from its name, and inside North but outside its area.
const QPointF inArea3(480, 30);
const QPointF outsideAreas(700, 600);

// What the map shows at a scene point, with what it draws over the items.
QColor shownAt(MapView* map, const QPointF& point)
{
    return map->grab().toImage().pixelColor(map->mapFromScene(point));
}

QStringList names(const QList<QPair<QString, QRect>>& labels)
{
    QStringList texts;
    for (const auto& label : labels)
        texts << label.first;
    return texts;
}

// The strategy band of a chart laid out wide, at a minute: the planned id on its upper part, the recorded
// interval's start and id on its lower part (-2: none), and 1 where the upper part shows a recorded one too.
QList<int> strategyBandAt(ScheduleChart* chart, int minute)
{
    chart->resize(1400, chart->sizeHint().height());
    const QRect band = chart->rowRect(ScheduleChart::StrategyRow);
    const int x = chart->xForMinute(minute) + 1;
    const PlanInterval* planned = chart->intervalAt(QPoint(x, band.top() + 4));
    const PlanInterval* recorded = chart->actualIntervalAt(QPoint(x, band.bottom() - 8));
    return {planned ? planned->id : -2, recorded ? recorded->start : -2, recorded ? recorded->id : -2,
            chart->actualIntervalAt(QPoint(x, band.top() + 4)) ? 1 : 0};
}

qint64 at(const char* isoTime)
{
    return QDateTime::fromString(QLatin1String(isoTime), Qt::ISODate).toMSecsSinceEpoch();
}

// North's own record; a State record of the zone itself unless told otherwise.
HistoryRecord northRecord(qint64 serviceMs, int strategy, HistoryRecord::Kind kind = HistoryRecord::State,
                          int code = HistoryRecord::NoValue)
{
    HistoryRecord record;
    record.kind = kind;
    record.zone = North;
    record.serviceMs = serviceMs;
    record.controlSource = kind == HistoryRecord::State ? 1 : HistoryRecord::NoValue;
    record.strategy = strategy;
    record.code = code;
    return record;
}

// Strategy 1 with area 3 in state 1, both under the calendar.
HistoryRecord dayFullState(qint64 serviceMs)
{
    ZoneMoment full;
    full.zone = North;
    full.serviceMs = serviceMs;
    full.strategy = 1;
    full.controlSource = 1;
    full.areas = {AreaMoment{3, 1, 1, 0}};
    return full.fullStateRecord(0);
}

// North's morning: linked from 07:49, strategy 1 and area 3 in state 1 from 07:50, the operator's
// SET_STRAT at 08:10 and strategy 2 from then, area 3 in state 5 from 08:12.
QVector<HistoryRecord> morning()
{
    using R = HistoryRecord;
    R command = northRecord(at("2026-12-07T08:10:00"), R::NoValue, R::Command, Protocol::Ok);
    command.detail = QStringLiteral("SET_STRAT 2 60");
    command.user = QStringLiteral("anna");
    command.host = QStringLiteral("ws-1");
    R areaChange = northRecord(at("2026-12-07T08:12:00"), 2);
    areaChange.area = 3;
    areaChange.state = 5;
    return {northRecord(at("2026-12-07T07:49:00"), R::NoValue, R::Link, LinkMonitor::Linked), command,
            dayFullState(at("2026-12-07T07:50:00")), northRecord(at("2026-12-07T08:10:00"), 2), areaChange};
}

// A workstation recording into the history at `urlText` once that holds `records`, with North open.
struct Recording
{
    HistoryUrl url;
    std::unique_ptr<HistoryWriter> writer;
    WorkstationFixture workstation;
    HistoryDock* dock = nullptr;
    QString error; // why open() failed, unless the workstation says why

    bool open(const QString& urlText, const QVector<HistoryRecord>& records)
    {
        if (!HistoryUrl::parse(urlText, &url, &error))
            return false;
        writer = std::make_unique<HistoryWriter>(url);
        for (const HistoryRecord& record : records)
            writer->add(record);
        if (!workstation.start())
            return false;
        workstation.window()->setHistory(writer.get());
        dock = workstation.window()->findChild<HistoryDock*>(QStringLiteral("historyDock"));
        if (!writer->flush(10000)) {
            error = QStringLiteral("the history was not written in time");
            return false;
        }
        return workstation.open(northFile);
    }

    QString why() const { return error.isEmpty() ? workstation.error() : error; }
};

} // namespace

class TestHistoryRecording : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(ServiceProcess::isBuilt(), qPrintable(ServiceProcess::program()));
        m_other = m_dir.filePath(QStringLiteral("other.xtsc"));
        QVERIFY(writeFile(m_other, readFile(northFile).replace("name=\"Centre\"", "name=\"Centre renamed\"")));
    }

    void recording_data()
    {
        QTest::addColumn<QString>("served");
        QTest::addColumn<int>("status"); // LinkMonitor::Status the zone comes to
        QTest::newRow("linked") << northFile << int(LinkMonitor::Linked);
        QTest::newRow("another configuration") << m_other << int(LinkMonitor::HashMismatch);
        QTest::newRow("nothing listening") << QString() << int(LinkMonitor::Connecting);
    }

    void recording()
    {
        QFETCH(QString, served);
        QFETCH(int, status);
        // The service's clock a day behind this computer's: history keeps the service's time.
        ServiceProcess service;
        const QString yesterday = QDateTime::currentDateTime().addDays(-1).toString(QStringLiteral("yyyy-MM-ddTHH:mm"));
        if (!served.isEmpty())
            QVERIFY2(service.start({served}, 0, {"--start", yesterday}), qPrintable(service.errors()));
        const quint16 port = served.isEmpty() ? freePort() : service.port();
        QVERIFY(port != 0);
        Recording recording;
        QVERIFY2(recording.open(inDir(QTest::currentDataTag()), {}), qPrintable(recording.why()));
        MainWindow& window = *recording.workstation.window();
        window.show();
        recording.workstation.connectTo(port);
        QObject* zone = recording.workstation.zone();
        const int areaCount = ModuleHost::areasOf(zone).size();
        QTRY_COMPARE_WITH_TIMEOUT(int(window.linkMonitor()->status(zone)), status, 20000);
        if (status == LinkMonitor::Linked) {
            QTRY_VERIFY_WITH_TIMEOUT(zone->property("currentStrategy").toInt() > 0, 10000);
            // The first state the service sends is history at once, not hidden behind an empty one.
            QVERIFY(recording.writer->flush(10000));
            replayOfThePresentLooksLive(recording);
            if (QTest::currentTestFailed())
                return;
            auto* line = window.findChild<QLineEdit*>(QStringLiteral("commandLine"));
            line->setText(QStringLiteral("SET_STRAT 2 60"));
            QMetaObject::invokeMethod(line, "returnPressed");
            QVERIFY(line->text().isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(zone->property("currentStrategy").toInt(), 2, 10000);
            QVERIFY(recording.writer->flush(10000));
            replayOfThePresentLooksLive(recording);
        }
        recording.workstation.closeWindow();
        QVERIFY(recording.writer->flush(10000));
        HistoryReader reader;
        QString error;
        QVERIFY2(reader.open(recording.url, &error), qPrintable(error));
        const QVector<HistoryRecord> links = allOf(reader, HistoryRecord::Link);
        const QVector<HistoryRecord> states = allOf(reader, HistoryRecord::State);
        const QVector<HistoryRecord> fulls = allOf(reader, HistoryRecord::FullState);
        QVERIFY(!links.isEmpty());
        if (served.isEmpty()) {
            // Nothing stamped them: they are kept all the same, on this computer's clock.
            QCOMPARE(links.last().code, int(LinkMonitor::Connecting));
            QVERIFY(states.isEmpty() && fulls.isEmpty());
            return;
        }
        const qint64 halfADayAgo = QDateTime::currentDateTime().addSecs(-12 * 3600).toMSecsSinceEpoch();
        for (const HistoryRecord& r : links + states + fulls)
            QVERIFY2(r.serviceMs < halfADayAgo,
                     qPrintable(QStringLiteral("kind %1 code %2 at %3").arg(r.kind).arg(r.code).arg(r.serviceMs)));
        if (status == LinkMonitor::HashMismatch) {
            const QString hashes = QStringLiteral("service hash %1, file hash %2")
                                       .arg(QString::fromLatin1(tokenDigest(readFile(m_other)).toHex()),
                                            QString::fromLatin1(tokenDigest(readFile(northFile)).toHex()));
            QVERIFY(std::any_of(links.cbegin(), links.cend(),
                                [&hashes](const HistoryRecord& r) { return r.detail.contains(hashes); }));
            // What the service says of another configuration is not this zone's history.
            QVERIFY(states.isEmpty() && fulls.isEmpty());
            return;
        }
        // Status numbers, not words: another language records the same.
        QVERIFY(std::any_of(links.cbegin(), links.cend(),
                            [](const HistoryRecord& r) { return r.code == LinkMonitor::Linked && r.detail.isEmpty(); }));
        QVERIFY(!fulls.isEmpty());
        QVector<AreaMoment> areas;
        QVERIFY(ZoneMoment::parseAreas(fulls.first().detail, &areas));
        QCOMPARE(areas.size(), areaCount);
        const auto strategyTwo = std::find_if(states.cbegin(), states.cend(), [](const HistoryRecord& r) {
            return r.area == HistoryRecord::ZoneItself && r.strategy == 2;
        });
        QVERIFY(strategyTwo != states.cend());
        QVERIFY(strategyTwo->serviceMs > 0 && strategyTwo->localMs > 0);
        const QVector<HistoryRecord> commands = allOf(reader, HistoryRecord::Command);
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands.first().detail, QStringLiteral("SET_STRAT 2 60"));
        QVERIFY2(Protocol::isSuccess(commands.first().code), qPrintable(QString::number(commands.first().code)));
        QVERIFY(!commands.first().host.isEmpty());
    }

    // The last recorded moment is the live state: the map drawn from the history must look like the module's own.
    void replayOfThePresentLooksLive(Recording& recording)
    {
        HistoryReader reader;
        QString error;
        QVERIFY2(reader.open(recording.url, &error), qPrintable(error));
        qint64 first = 0, last = 0;
        QVERIFY(reader.span(North, &first, &last));
        QObject* area3 = ModuleHost::areaById(recording.workstation.zone(), 3);
        QGraphicsScene* scene = ModuleHost::graphicsItem(area3)->scene();
        const QColor live = pixelAt(scene, centreOf(area3));
        HistoryDock* dock = recording.dock;
        auto* map = recording.workstation.window()->findChild<MapView*>();
        const QPoint onMap = map->mapFromScene(centreOf(area3));
        QVERIFY(!map->toolTipAt(onMap).startsWith(QStringLiteral("At ")));
        QVERIFY(dock->seek(QDateTime::fromMSecsSinceEpoch(last)));
        QCOMPARE(pixelAt(scene, centreOf(area3)), live);
        // The map's tip tells the recorded state too.
        const QString tip = map->toolTipAt(onMap);
        QVERIFY2(tip.startsWith(QStringLiteral("At %1: state ").arg(dock->moment().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))),
                 qPrintable(tip));
        dock->backToLive();
    }

    void replay_data()
    {
        QTest::addColumn<QString>("step"); // where the time line goes
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("area3State");
        QTest::addColumn<QStringList>("values"); // the dock's rows: zone, link, last command (if any), area 3
        const QString link = QStringLiteral("Link: linked since 2026-12-07 07:49:00");
        const QString command = QStringLiteral("Last command: SET_STRAT 2 60 → done (OK 0), by anna on ws-1 at 2026-12-07 08:10:00");
        const QString night = QStringLiteral("Zone 7 \"North\" | Calendar (1) | Night (2)");
        const QString stateFive = QStringLiteral("Area 3 \"Centre\" | Calendar (1) | state 5 | not reported (-1)");
        const QString peak = QStringLiteral("Area 3 \"Centre\" | Calendar (1) | Peak (1) | None (0)");
        QTest::newRow("before the morning's change")
            << "seek 2026-12-07T08:00:00" << "2026-12-07 08:00:00" << 1
            << QStringList{QStringLiteral("Zone 7 \"North\" | Calendar (1) | Day (1)"), link, peak};
        QTest::newRow("next change from 08:00") << "next 2026-12-07T08:00:00" << "2026-12-07 08:10:00" << 1
                                                << QStringList{night, link, command, peak};
        QTest::newRow("previous change from 09:00") << "previous 2026-12-07T09:00:00" << "2026-12-07 08:12:00" << 5
                                                    << QStringList{night, link, command, stateFive};
        QTest::newRow("previous change, no moment shown yet") << "previous" << "2026-12-07 08:12:00" << 5
                                                              << QStringList{night, link, command, stateFive};
    }

    // The time line shows the past from the database, pauses the commands, and gives them back on "Back to live".
    void replay()
    {
        QFETCH(QString, step);
        QFETCH(QString, when);
        QFETCH(int, area3State);
        QFETCH(QStringList, values);
        Recording recording;
        QVERIFY2(recording.open(inDir(QStringLiteral("replay.sqlite")), morning()), qPrintable(recording.why()));
        MainWindow& window = *recording.workstation.window();
        HistoryDock* dock = recording.dock;
        auto* line = window.findChild<QLineEdit*>(QStringLiteral("commandLine"));
        auto* properties = window.findChild<PropertiesDock*>();
        QVERIFY(dock && line && properties && line->isEnabled());
        window.show();
        window.fitAll();
        QObject* area3 = ModuleHost::areaById(recording.workstation.zone(), 3);
        QVERIFY(area3);
        properties->setObject(area3);
        QGraphicsScene* scene = ModuleHost::graphicsItem(area3)->scene();
        auto* map = window.findChild<MapView*>();
        ReplayLayer* layer = nullptr;
        for (QGraphicsItem* item : scene->items())
            layer = layer ? layer : dynamic_cast<ReplayLayer*>(item);
        QVERIFY(map && layer);
        auto* tree = window.findChild<ObjectTreeModel*>();
        // All that the replay changes, as it shows during the replay and once live again.
        const auto shown = [&] {
            map->grab();
            const auto* band = window.findChild<QLabel*>(QStringLiteral("mapReplayBand"));
            return QStringList{dock->isReplaying() ? "replaying" : "live", line->isEnabled() ? "commands" : "no commands",
                               band && band->isVisible() ? "band" : "no band", pixelAt(scene, centreOf(area3)).name(),
                               names(layer->labels()).join(','), names(map->labels()).join(','),
                               dock->chart()->showsActual() ? "recorded bars" : "no recorded bars",
                               properties->shownValue(QStringLiteral("currentState")),
                               properties->shownValue(QStringLiteral("recorded")),
                               tree->data(tree->indexOf(area3), Qt::ToolTipRole).toString()};
        };
        const QStringList live = shown();
        // Not linked: the module draws the zone grey and the area not at all, so names it not.
        QCOMPARE(live.mid(5, 3), (QStringList{"", "no recorded bars", "not reported"}));
        const QDateTime from = QDateTime::fromString(step.section(QLatin1Char(' '), 1), Qt::ISODate);
        QVERIFY(!from.isValid() || dock->seek(from)); // none: from the start of the day the controls show
        if (step.startsWith(QLatin1String("next")))
            dock->stepToNextChange();
        else if (step.startsWith(QLatin1String("previous")))
            dock->stepToPreviousChange();
        QCOMPARE(dock->moment().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), when);
        QCOMPARE(dock->bandText(), QStringLiteral("Replay %1 — live is paused").arg(when));
        QCOMPARE(window.statusBar()->currentMessage(), dock->bandText());
        // The dock's rows are the moment read: zone, link, last command and areas.
        QCOMPARE(dock->shownValues(), values);
        // The map, the tree and the properties show the recorded state, not the module's live one; the replay
        // names the area it draws, and the live map's names give way. The zone chosen again gives no commands back.
        window.setCommandZone(recording.workstation.zone());
        const QStringList replayed = shown();
        QCOMPARE(replayed.mid(0, 3) + replayed.mid(4, 2),
                 (QStringList{"replaying", "no commands", "band", "Centre", ""}));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("mapReplayBand"))->text(), dock->bandText());
        const QColor colour(replayed.at(3));
        QVERIFY2(colour.green() > colour.red() + 40 && colour.green() > colour.blue() + 40, qPrintable(replayed.at(3)));
        QVERIFY2(replayed.at(7).contains(QString::number(area3State)) && replayed.at(8).contains(when)
                     && replayed.at(9).startsWith(QStringLiteral("At %1: state %2, ").arg(when).arg(area3State)),
                 qPrintable(replayed.mid(7).join('\n')));
        QTRY_VERIFY2(dock->chart()->showsActual(), qPrintable(dock->chartNote()));
        // North plans Day (1) from 06:00; the history has strategy 1 from 07:50, 2 from 08:10.
        QCOMPARE(strategyBandAt(dock->chart(), 8 * 60 + 11), (QList<int>{1, 8 * 60 + 10, 2, 0}));
        QCOMPARE(strategyBandAt(dock->chart(), 8 * 60), (QList<int>{1, 7 * 60 + 50, 1, 0}));
        QCOMPARE(strategyBandAt(dock->chart(), 7 * 60), (QList<int>{1, 0, -1, 0}));
        dock->backToLive();
        QCOMPARE(shown(), live);
        window.closeZone(recording.workstation.zone());
    }

    // Today's recorded bar follows the recording: what is written after the day was read shows without seeking again.
    void todaysRecordsShowAsWritten_data()
    {
        QTest::addColumn<int>("serviceDaysAhead"); // of this computer's day; 0: no service heard
        QTest::newRow("no service heard") << 0;
        // Records carry the service's time: its day is the one being written.
        QTest::newRow("the service a day ahead") << 1;
    }

    void todaysRecordsShowAsWritten()
    {
        QFETCH(int, serviceDaysAhead);
        const QDate today = QDate::currentDate().addDays(serviceDaysAhead);
        const qint64 midnight = QDateTime(today, QTime(0, 0)).toMSecsSinceEpoch();
        Recording recording;
        QVERIFY2(recording.open(inDir(QStringLiteral("today-%1.sqlite").arg(serviceDaysAhead)), {dayFullState(midnight)}),
                 qPrintable(recording.why()));
        if (serviceDaysAhead != 0)
            recording.workstation.window()->findChild<ScheduleDock*>()->serviceTime(QDateTime(today, QTime(12, 0)));
        HistoryDock* dock = recording.dock;
        QVERIFY(dock->seek(QDateTime::fromMSecsSinceEpoch(midnight + 60 * 1000)));
        ScheduleChart* chart = dock->chart();
        QTRY_VERIFY2(chart->showsActual(), qPrintable(dock->chartNote()));
        QCOMPARE(strategyBandAt(chart, 120).at(2), 1);
        recording.writer->add(northRecord(midnight + 30 * 60 * 1000, 2));
        QTRY_COMPARE_WITH_TIMEOUT(strategyBandAt(chart, 120).at(2), 2, 10000);
        QCOMPARE(strategyBandAt(chart, 3).at(2), 1);
        dock->backToLive();
        recording.workstation.window()->closeZone(recording.workstation.zone());
    }

    void playStopsAtNow_data()
    {
        QTest::addColumn<int>("serviceDaysAhead"); // of this computer's day; 0: no service heard
        QTest::addColumn<int>("fromSecondsAgo");   // -1: Play pressed while live, no moment chosen yet
        QTest::newRow("no service heard") << 0 << 3;
        QTest::newRow("the service a day ahead") << 1 << 3;
        // From the moment the controls show, the start of today.
        QTest::newRow("no moment chosen") << 0 << -1;
    }

    // Play catches up with the service's present and stops there.
    void playStopsAtNow()
    {
        QFETCH(int, serviceDaysAhead);
        QFETCH(int, fromSecondsAgo);
        const QDate today = QDate::currentDate().addDays(serviceDaysAhead);
        Recording recording;
        QVERIFY2(recording.open(inDir(QStringLiteral("play-%1.sqlite").arg(QTest::currentDataTag())),
                                {dayFullState(QDateTime(today, QTime(0, 0)).toMSecsSinceEpoch())}),
                 qPrintable(recording.why()));
        QElapsedTimer sinceStamp;
        sinceStamp.start();
        QDateTime stamp = QDateTime::currentDateTime();
        if (serviceDaysAhead != 0) {
            stamp = QDateTime(today, QTime(12, 0));
            recording.workstation.window()->findChild<ScheduleDock*>()->serviceTime(stamp);
        }
        HistoryDock* dock = recording.dock;
        auto* play = dock->findChild<QPushButton*>(QStringLiteral("historyPlay"));
        auto* speed = dock->findChild<QComboBox*>(QStringLiteral("historySpeed"));
        QVERIFY(play && speed);
        speed->setCurrentIndex(speed->findData(10));
        if (fromSecondsAgo < 0) {
            play->click();
            QTRY_VERIFY(dock->isReplaying());
            play->click();
            QCOMPARE(dock->moment().date(), stamp.date());
            QVERIFY(dock->moment().time() < QTime(0, 1));
        } else {
            const QDateTime from = stamp.addSecs(-fromSecondsAgo);
            QVERIFY(dock->seek(from));
            play->click();
            QTRY_VERIFY(!play->isChecked());
            const QDateTime now = stamp.addMSecs(sinceStamp.elapsed());
            QVERIFY2(dock->moment() > from.addSecs(fromSecondsAgo - 1) && dock->moment() <= now,
                     qPrintable(dock->moment().toString(Qt::ISODateWithMs) + " " + now.toString(Qt::ISODateWithMs)));
        }
        dock->backToLive();
        recording.workstation.window()->closeZone(recording.workstation.zone());
    }

    // A history that does not open stops Play at once, the reason on the band, rather than being opened again each tick.
    void playStopsOnAnUnreadableHistory()
    {
        HistoryUrl url;
        QString error;
        QVERIFY2(HistoryUrl::parse("sqlite:" + inDir("no-such-folder/history.sqlite"), &url, &error), qPrintable(error));
        HistoryDock dock;
        dock.setHistory(url);
        auto* play = dock.findChild<QPushButton*>(QStringLiteral("historyPlay"));
        QVERIFY(play);
        play->click();
        QTRY_VERIFY(!play->isChecked());
        const QList<QLabel*> labels = dock.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(),
                            [](const QLabel* label) { return label->text().startsWith("No history to replay: "); }));
    }

    void replayOverALiveMismatch_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<bool>("drawn"); // area 3 in its recorded colour, rather than not at all
        QTest::addColumn<QString>("state"); // the properties' current state
        QTest::addColumn<QString>("link"); // the dock's link row
        QTest::addColumn<QString>("tip"); // how the map's and tree's tool tip begins
        QTest::newRow("recorded while linked") << "2026-12-07T08:14:03" << true << "state 5"
                                               << "Link: linked since 2026-12-07 07:49:00"
                                               << "At 2026-12-07 08:14:03: state 5";
        QTest::newRow("recorded during a mismatch") << "2026-12-07T08:40:00" << false << "not reported"
                                                    << "Link: hash mismatch since 2026-12-07 08:30:00"
                                                    << "Not reported at 2026-12-07 08:40:00";
    }

    // The service runs another configuration now, which covers the live areas;
    // a replay shows the moment as it was recorded, a mismatch then included.
    void replayOverALiveMismatch()
    {
        QFETCH(QString, when);
        QFETCH(bool, drawn);
        QFETCH(QString, state);
        QFETCH(QString, link);
        QFETCH(QString, tip);
        ServiceProcess service;
        QVERIFY2(service.start({m_other}), qPrintable(service.errors()));
        Recording recording;
        const HistoryRecord mismatch =
            northRecord(at("2026-12-07T08:30:00"), HistoryRecord::NoValue, HistoryRecord::Link, LinkMonitor::HashMismatch);
        const QString name = QStringLiteral("mismatch-%1.sqlite").arg(QTest::currentDataTag());
        QVERIFY2(recording.open(inDir(name), morning() << mismatch), qPrintable(recording.why()));
        MainWindow& window = *recording.workstation.window();
        window.show();
        recording.workstation.connectTo(service.port());
        QObject* zone = recording.workstation.zone();
        QTRY_COMPARE_WITH_TIMEOUT(int(window.linkMonitor()->status(zone)), int(LinkMonitor::HashMismatch), 20000);
        // The module draws what the other configuration's service says of area 3; the map covers it.
        QObject* area3 = ModuleHost::areaById(zone, 3);
        QVERIFY(recording.workstation.host().sendCommand(zone, "SET_ASTATE", "3 1 0"));
        QTRY_VERIFY_WITH_TIMEOUT(area3->property("controlSource").toInt() > 0, 10000);
        HistoryDock* dock = recording.dock;
        auto* properties = window.findChild<PropertiesDock*>();
        properties->setObject(area3);
        auto* map = window.findChild<MapView*>();
        window.fitAll();
        QVERIFY(dock->seek(QDateTime::fromString(when, Qt::ISODate)));
        QVERIFY(dock->bandText().endsWith(QStringLiteral("live is paused")));
        const QColor area = shownAt(map, inArea3);
        const QColor zoneOnly = shownAt(map, outsideAreas);
        // Drawn: in the calendar's green, as recorded; else as the zone around it, not linked.
        const bool green = area.green() > area.red() + 40 && area.green() > area.blue() + 40;
        QVERIFY2(drawn ? green : area == zoneOnly, qPrintable(area.name() + " " + zoneOnly.name()));
        QCOMPARE(properties->shownValue(QStringLiteral("currentState")), state);
        QVERIFY2(dock->shownValues().contains(link), qPrintable(dock->shownValues().join('\n')));
        QVERIFY2(window.objectToolTip(area3).startsWith(tip), qPrintable(window.objectToolTip(area3)));
        // A zone closed in the middle of a replay leaves nothing of itself on the map.
        const QColor background = map->scene()->backgroundBrush().color();
        QVERIFY(pixelAt(map->scene(), inArea3) != background);
        window.closeZone(zone);
        QTRY_COMPARE(pixelAt(map->scene(), inArea3), background);
        dock->backToLive();
    }

    // A file that is no database: the window says why it records none. The writer's
    // other refusals reach the window the same way and are the history test's.
    void unusableDatabase()
    {
        const QString path = m_dir.filePath(QStringLiteral("garbage.sqlite"));
        QVERIFY(writeFile(path, QByteArray(8192, 'x')));
        Recording recording;
        QVERIFY2(recording.open(QStringLiteral("sqlite:") + path, {}), qPrintable(recording.why()));
        MainWindow& window = *recording.workstation.window();
        auto* log = window.findChild<LogDock*>();
        QTRY_VERIFY(window.statusBar()->currentMessage().startsWith(QStringLiteral("No history: ")));
        QVERIFY2(window.statusBar()->currentMessage().contains(QStringLiteral("not a database")),
                 qPrintable(window.statusBar()->currentMessage()));
        QVERIFY(log->text().contains(window.statusBar()->currentMessage()));
        QVERIFY(!recording.writer->isAvailable()); // set before the signal that put up the message
        window.closeZone(recording.workstation.zone());
    }

private:
    // A history in the test's folder.
    QString inDir(const QString& name) const { return QStringLiteral("sqlite:") + m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_other;
};

QTEST_MAIN(TestHistoryRecording)
#include "tst_history_recording.moc"
