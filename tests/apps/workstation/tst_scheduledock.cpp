// The Schedule dock against the real plug-in: the chart shows what the calendars of a zone plan for the chosen day,
// follows the command zone and its file, says why a file cannot be shown, and marks where the service's live state
// departs from the plan.
#include "QtOwnLeaks.h"
#include "ScheduleChart.h"
#include "ScheduleDock.h"

#include "DomText.h"
#include "ServiceProcess.h"
#include "Until.h"
#include "WorkstationFixture.h"

#include <QHelpEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>
#include <QtTest>

#include <memory>

#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

using namespace Velmora;

namespace {

// Zone 21: a week card, two special days, areas 3, 1 and 7 in that order.
const QString weekFile = QStringLiteral(VELMORA_TEST_DATA "/workstation/schedule-week.xtsc");
// Zone 31: strategy 1 and state 1 planned all day, every day.
const QString steadyFile = QStringLiteral(VELMORA_TEST_DATA "/workstation/schedule-steady.xtsc");
constexpr int Timeout = 10000;

// How often a file is opened, as the kernel tells it. Closes are watched too: the kernel merges an event with
// the one before when they are alike and not yet read.
class FileOpens
{
public:
    explicit FileOpens(const QString& path)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
        , m_valid(m_fd >= 0 && inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN | IN_CLOSE) >= 0)
    {
    }
    ~FileOpens()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool isValid() const { return m_valid; }
    int count()
    {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t size; (size = read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                m_count += (event->mask & IN_OPEN) != 0;
                at += ssize_t(sizeof(inotify_event)) + event->len;
            }
        }
        return m_count;
    }

private:
    int m_fd;
    bool m_valid;
    int m_count = 0;
};

int minuteOf(const QString& clock)
{
    return clock.left(2).toInt() * 60 + clock.mid(3).toInt();
}

} // namespace

class TestScheduleDock : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Three hours east of UTC, in which the service stamps: the plan's times are local. The simulator inherits it.
        qputenv("TZ", "MSK-3");
        tzset();
    }

    void init()
    {
        m_workstation = std::make_unique<WorkstationFixture>();
        QVERIFY2(m_workstation->start(), qPrintable(m_workstation->error()));
        m_host = &m_workstation->host();
        m_window = m_workstation->window();
        m_window->show();
        m_dock = m_window->findChild<ScheduleDock*>(QStringLiteral("scheduleDock"));
        m_chart = m_dock ? m_dock->findChild<ScheduleChart*>(QStringLiteral("scheduleChart")) : nullptr;
        QVERIFY(m_dock && m_chart);
        // Wide enough that a few minutes are a few pixels (see shows()).
        m_dock->setFloating(true);
        m_dock->resize(1200, 400);
        m_dock->show();
        QVERIFY(until([this] { return m_dock->windowHandle() && m_dock->windowHandle()->isExposed(); }));
    }

    void cleanup() { m_workstation.reset(); }

    void plan_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("row"); // 0 the strategies, then the areas
        QTest::addColumn<QString>("at");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("missing");
        QTest::addColumn<QString>("span"); // of the interval at that time
        QTest::addColumn<QString>("says");
        // What the calendars plan on a day is the schedule test's; here, the chart shows it on the right rows, in
        // the right words, up to the day's end.
        const QDate tue(2027, 5, 4);
        const QDate lacking = tue.addDays(2); // from 09:00 a strategy the file lacks
        QTest::newRow("night carried over, to just before a change")
            << tue << 0 << "06:25" << 4 << -1 << "00:00–06:30" << "strategy 4 \"Night\"";
        QTest::newRow("last minutes") << tue << 0 << "23:55" << 4 << -1 << "22:00–24:00" << "";
        QTest::newRow("missing strategy") << lacking << 0 << "09:05" << -1 << 9 << "09:00–24:00" << "strategy 9 missing";
        QTest::newRow("first area in the file") << tue << 1 << "05:55" << 2 << -1 << "00:00–06:00" << "Area 3 \"Bridge\"";
        QTest::newRow("area changes state") << tue << 1 << "06:05" << 1 << -1 << "06:00–21:00" << "state 1 \"Day\"";
        QTest::newRow("missing state") << tue << 2 << "12:30" << -1 << 9 << "12:00–13:00" << "No plan: state 9 missing";
        QTest::newRow("area without calendar") << tue << 3 << "12:00" << -1 << -1 << "00:00–24:00" << "No plan";
    }

    // What lies under a point of the chart is what the calendars plan there.
    void plan()
    {
        QFETCH(QDate, date);
        QFETCH(int, row);
        QFETCH(QString, at);
        QFETCH(int, id);
        QFETCH(int, missing);
        QFETCH(QString, span);
        QFETCH(QString, says);
        QVERIFY(m_window->openZone(weekFile));
        // Reached as a user steps through the days.
        m_dock->setDate(date.addDays(-1));
        QTest::mouseClick(m_dock->findChild<QToolButton*>(QStringLiteral("scheduleDayForward")), Qt::LeftButton);
        QCOMPARE(m_dock->date(), date);
        QVERIFY(shows(21, date));
        QCOMPARE(m_chart->rowCount(), 4);

        const Velmora::PlanInterval* interval = m_chart->intervalAt(pointAt(row, at));
        QVERIFY(interval);
        QCOMPARE((QList<int>{interval->id, interval->missing, interval->start, interval->end}),
                 (QList<int>{id, missing, minuteOf(span.left(5)), minuteOf(span.right(5))}));
        const QString tip = m_chart->toolTipAt(pointAt(row, at));
        QVERIFY2(tip.contains(span) && tip.contains(says), qPrintable(tip));
    }

    // Scrolled to the last area, the hours and the strategy band stay where they were.
    void pinnedHeader()
    {
        QVERIFY(m_window->openZone(weekFile));
        m_dock->setDate(QDate(2027, 5, 4));
        QVERIFY(shows(21, QDate(2027, 5, 4)));
        const QRect band = m_chart->rowRect(ScheduleChart::StrategyRow);
        const QImage header = m_chart->grab(QRect(0, 0, m_chart->width(), band.bottom() + 1)).toImage();
        QScrollBar* bar = m_dock->findChild<QScrollArea*>()->verticalScrollBar();
        m_dock->resize(m_dock->width(), band.bottom() + 2 * band.height());
        QVERIFY(until([&] { return bar->maximum() > band.height() / 2; }));
        bar->setValue(bar->maximum());

        const QRect pinned = m_chart->rowRect(ScheduleChart::StrategyRow);
        QCOMPARE(pinned.top() - bar->value(), band.top());
        QCOMPARE(m_chart->rowAt(pinned.center()), int(ScheduleChart::StrategyRow));
        QCOMPARE(m_chart->rowAt(QPoint(pinned.center().x(), pinned.bottom() + 2)), -1); // an area under the band
        QWidget* view = m_dock->findChild<QScrollArea*>()->viewport();
        QCOMPARE(view->grab(QRect(QPoint(0, 0), header.size())).toImage().convertToFormat(header.format()), header);
    }

    // Days chosen faster than the plan is read: the dock ends on the last one's plan. Changes that come together make
    // one read, so which days came before the last makes no difference.
    void daysOvertaken()
    {
        const QList<int> days{1, 2, 1}; // after 2027-05-03
        const QDate mon(2027, 5, 3);
        m_dock->setDate(mon);
        QVERIFY(m_window->openZone(weekFile));
        for (int day : days)
            m_dock->setDate(mon.addDays(day));
        QVERIFY(shows(21, mon.addDays(days.last())));
        QVERIFY(m_dock->message().isEmpty());
        QCOMPARE(m_chart->rowCount(), 4);
        // Settled, a day asked for again is read again.
        m_dock->setDate(mon.addDays(6));
        QVERIFY(shows(21, mon.addDays(6)));
        m_dock->setDate(mon.addDays(days.last()));
        QVERIFY(shows(21, mon.addDays(days.last())));
    }

    // The day being read, asked for again before its plan arrives, is not read a second time: a large zone's file
    // is parsed once.
    void dayBeingReadAskedForAgain()
    {
        const QString file = m_dir.filePath(QStringLiteral("long-to-read.xtsc"));
        QByteArray text = readFile(weekFile);
        // Long enough to read that the dates below all change while it is read.
        text.replace("<Calendar>", "<!-- " + QByteArray(8 << 20, 'x') + " --><Calendar>");
        QVERIFY(writeFile(file, text));
        const QDate mon(2027, 5, 3);
        m_dock->setDate(mon);
        QVERIFY(m_window->openZone(file));
        QVERIFY(shows(21, mon));
        FileOpens opens(file);
        QVERIFY(opens.isValid());
        m_dock->setDate(mon.addDays(1));
        QVERIFY(until([this] { return m_dock->message().startsWith(QLatin1String("Reading")); }));
        m_dock->setDate(mon.addDays(2));
        m_dock->setDate(mon.addDays(1));
        QVERIFY(shows(21, mon.addDays(1)));
        QCOMPARE(opens.count(), 1);
    }

    void unreadableFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: the file removed
        QTest::addColumn<QString>("says");
        QTest::newRow("not XML") << QByteArray("<Zone id=\"21\"><Calendar>") << "line 1";
        QTest::newRow("removed") << QByteArray() << "No such file";
    }

    // A file that goes bad under an open zone: the reason, no chart, and the chart again once the file is good.
    void unreadableFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, says);
        const QString file = m_dir.filePath(QStringLiteral("bad.xtsc"));
        QVERIFY(writeFile(file, readFile(weekFile)));
        QVERIFY(m_window->openZone(file));
        QVERIFY(shows(21, QDate::currentDate()));
        QVERIFY(m_dock->message().isEmpty());

        QVERIFY(content.isNull() ? QFile::remove(file) : writeFile(file, content));
        QVERIFY(until([&] { return m_dock->message().contains(says); }, Timeout));
        QVERIFY2(m_dock->message().contains(QFileInfo(file).fileName()), qPrintable(m_dock->message()));
        QVERIFY(m_chart->preview().isNull());
        QVERIFY(!m_chart->isVisible());

        QVERIFY(writeFile(file, readFile(weekFile)));
        QVERIFY(until([&] { return m_dock->message().isEmpty(); }, Timeout));
        QCOMPARE(m_chart->preview().zoneId(), 21);
    }

    // The dock shows the zone commands go to: chosen, reloaded after an edit, closed.
    void followsCommandZone()
    {
        QVERIFY(m_dock->message().contains(QLatin1String("No zone")));
        const QString week = m_dir.filePath(QStringLiteral("week.xtsc"));
        QVERIFY(writeFile(week, readFile(weekFile)));
        QVERIFY(m_window->openZone(week));
        QVERIFY(m_window->openZone(steadyFile));
        m_dock->setDate(QDate(2027, 5, 4));
        QCOMPARE(m_dock->zone(), m_window->commandZone());
        QVERIFY(until([&] { return m_chart->preview().zoneId() == 21; }));

        m_window->setCommandZone(m_host->zoneForFile(steadyFile));
        QCOMPARE(m_dock->zone(), m_host->zoneForFile(steadyFile));
        QVERIFY(until([&] { return m_chart->preview().zoneId() == 31; }));

        // Saved by the zone editor while another zone was shown.
        QVERIFY(writeFile(week, readFile(week).replace("Morning peak", "School run")));
        QPointer<QObject> replaced = m_host->zoneForFile(week);
        QVERIFY(QMetaObject::invokeMethod(m_host->root(), "zoneEdited", Q_ARG(QString, week)));
        QVERIFY(until([&] { return !replaced; }));
        QCOMPARE(m_dock->zone(), m_host->zoneForFile(week));
        QVERIFY(shows(21, m_dock->date()));
        QVERIFY(m_chart->toolTipAt(pointAt(0, "07:00")).contains(QLatin1String("strategy 2 \"School run\"")));

        m_window->closeZone(m_window->commandZone());
        QCOMPARE(m_dock->zone(), m_host->zoneForFile(steadyFile));
        QVERIFY(until([&] { return m_chart->preview().zoneId() == 31; }));
        m_window->closeZone(m_window->commandZone());
        QCOMPARE(m_dock->zone(), nullptr);
        QVERIFY(until([&] { return m_chart->preview().isNull(); }));
        QVERIFY(m_dock->message().contains(QLatin1String("No zone")));
    }

    void liveState_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<int>("days"); // from today, the day shown
        QTest::addColumn<QVector<int>>("rows");
        QTest::addColumn<QString>("says");
        QTest::newRow("area in another state") << "SET_ASTATE" << "2 2 0" << 0 << QVector<int>{2}
                                               << "Live: state 2 \"Night\"; plan: state 1 \"Day\"";
        QTest::newRow("operator's strategy") << "SET_STRAT" << "2 0" << 0 << QVector<int>{0}
                                             << "Live: strategy 2 \"Night\"; plan: strategy 1 \"Day\"";
        QTest::newRow("operator holds the planned state") << "SET_ASTATE" << "1 1 0" << 0 << QVector<int>{} << "";
        QTest::newRow("another day shown") << "SET_ASTATE" << "2 2 0" << 1 << QVector<int>{} << "";
    }

    // The service's live values against the plan, at the current minute of today.
    void liveState()
    {
        QFETCH(QString, command);
        QFETCH(QString, parameters);
        QFETCH(int, days);
        QFETCH(QVector<int>, rows);
        QFETCH(QString, says);
        ServiceProcess service;
        QVERIFY2(service.start({steadyFile}), qPrintable(service.errors()));
        QVERIFY(m_window->openZone(steadyFile));
        QObject* zone = m_host->zoneForFile(steadyFile);
        const auto area = [zone](const QString& id) { return ModuleHost::areaById(zone, id.toInt()); };
        m_window->connectToService(QStringLiteral("127.0.0.1"), service.port());
        QVERIFY(until([&] {
            return zone->property("currentStrategy").toInt() == 1 && area("1")->property("currentState").toInt() == 1
                && area("2")->property("currentState").toInt() == 1;
        }, Timeout));
        QVERIFY(shows(31, QDate::currentDate()));
        QVERIFY(m_chart->nowMinute() >= 0);

        QVERIFY(m_host->sendCommand(zone, command, parameters));
        // Until the service reports the operator's hold on what it changed: an area's
        // control source and its state come in two events.
        const QString first = parameters.section(QLatin1Char(' '), 0, 0);
        const int state = parameters.section(QLatin1Char(' '), 1, 1).toInt();
        if (command == QLatin1String("SET_STRAT"))
            QVERIFY(until([&] { return zone->property("currentStrategy").toString() == first; }, Timeout));
        else
            QVERIFY(until([&] {
                return area(first)->property("controlSource").toInt() == 4
                    && area(first)->property("currentState").toInt() == state;
            }, Timeout));
        m_dock->setDate(QDate::currentDate().addDays(days));
        QVERIFY(shows(31, m_dock->date()));
        QCOMPARE(m_chart->mismatches(), rows);
        if (rows.isEmpty())
            return;
        // The marker sits on the now line; hovering it tells both values.
        const QPoint marker(m_chart->xForMinute(m_chart->nowMinute()), m_chart->rowRect(rows.first()).center().y());
        QHelpEvent hover(QEvent::ToolTip, marker, m_chart->mapToGlobal(marker));
        QApplication::sendEvent(m_chart, &hover);
        QVERIFY2(QToolTip::text().contains(says), qPrintable(QToolTip::text()));

        // Without the link nothing live is known, so nothing differs.
        service.stop();
        QVERIFY(until([&] { return m_chart->mismatches().isEmpty(); }, Timeout));
    }

    // A simulator's clock, fast and days away from this computer's, running through a change of plan: the now line
    // follows the service's time stamps, and no row is marked while the service follows the plan.
    void serviceClock()
    {
        // Strategy 2 and state 2 of both areas from noon, state 1 again from 12:03: the
        // second change comes once the dock knows how fast the service's clock runs.
        const QString file = m_dir.filePath(QStringLiteral("noon.xtsc"));
        QVERIFY(writeFile(file, readFile(steadyFile)
                                    .replace("<Time strategy_id=\"1\">00:00</Time>",
                                             "<Time strategy_id=\"1\">00:00</Time><Time strategy_id=\"2\">12:00</Time>")
                                    .replace("<Time state_id=\"1\">00:00</Time>",
                                             "<Time state_id=\"1\">00:00</Time><Time state_id=\"2\">12:00</Time>"
                                             "<Time state_id=\"1\">12:03</Time>")));
        const int start = minuteOf(QStringLiteral("11:58"));
        const QDate serviceDay = QDate::currentDate().addDays(2);
        ServiceProcess service;
        QVERIFY2(service.start({file}, 0,
                               {"--calendar", "--speed", "60", "--start",
                                serviceDay.toString(Qt::ISODate) + QStringLiteral("T11:58")}),
                 qPrintable(service.errors()));
        QVERIFY(m_window->openZone(file));
        QObject* zone = m_host->zoneForFile(file);
        m_window->connectToService(QStringLiteral("127.0.0.1"), service.port());
        QVERIFY(until([&] { return zone->property("currentStrategy").toInt() == 1; }, Timeout));
        QVERIFY(shows(31, serviceDay));

        // Until the service has moved on to the afternoon's plan, a few real seconds.
        QStringList wrong;
        QVERIFY(until([&] {
            const int now = m_chart->nowMinute();
            if (now < start || now > start + 10 || !m_chart->mismatches().isEmpty())
                wrong << QStringLiteral("%1: rows %2").arg(now).arg(m_chart->mismatches().size());
            return zone->property("currentStrategy").toInt() == 2 && now >= start + 7;
        }, 20000));
        QCOMPARE(wrong, QStringList());
        // "Today" is the service's day too.
        m_dock->findChild<QToolButton*>(QStringLiteral("scheduleDayBack"))->click();
        m_dock->findChild<QToolButton*>(QStringLiteral("scheduleToday"))->click();
        QCOMPARE(m_dock->date(), serviceDay);

        // Without the service, this computer's clock.
        service.stop();
        QVERIFY(until([&] { return qAbs(m_chart->nowMinute() - QTime::currentTime().msecsSinceStartOfDay() / 60000) <= 1; },
                      Timeout));
    }

private:
    // The chart shows that zone's day, laid out on the dock's width.
    bool shows(int zoneId, const QDate& date) const
    {
        return until(
            [&] {
                const Velmora::SchedulePreview& preview = m_chart->preview();
                return preview.zoneId() == zoneId && preview.firstDate() == date && m_chart->isVisible()
                    && m_chart->width() > 1000;
            },
            Timeout);
    }

    QPoint pointAt(int row, const QString& clock) const
    {
        return QPoint(m_chart->xForMinute(minuteOf(clock)), m_chart->rowRect(row).center().y());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<WorkstationFixture> m_workstation;
    ModuleHost* m_host = nullptr;
    MainWindow* m_window = nullptr;
    ScheduleDock* m_dock = nullptr;
    ScheduleChart* m_chart = nullptr;
};

QTEST_MAIN(TestScheduleDock)
#include "tst_scheduledock.moc"
