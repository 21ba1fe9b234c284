// The history under load. First it records area events at the rate the
// workstation takes in a storm (--rate; by default 50,000 a second, the storm
// target of the workstation's map, and 10,000 with --short) from the event
// loop, as the workstation does, and checks that none is lost, that the loop never stalls
// more than 50 ms, and that the queue stays bounded; it prints the events
// written per second and the database's size per million events. Then it
// records a synthetic day of a 1,000-area zone and seeks to random moments.
//
//     bench_history [--short] [--rate N] [--postgres postgresql://user@host:port/db]
//
// --short runs a few seconds (the sanitizer build in CI); targets are for
// Release. The exit status is 1 only when an event was lost or the database
// failed, never on time.
#include "ActualDay.h"
#include "HistoryReader.h"
#include "HistoryWriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

using namespace Velmora;

namespace {

constexpr int DefaultEventsPerSecond = 50000;
constexpr int ShortEventsPerSecond = 10000;
constexpr int TickMs = 10;
constexpr int Areas = 1000;
constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 DayMs = 24 * 60 * MinuteMs;

HistoryRecord areaEvent(qint64 serviceMs, int area, int state)
{
    HistoryRecord record;
    record.kind = HistoryRecord::State;
    record.zone = 12;
    record.area = area;
    record.serviceMs = serviceMs;
    record.localMs = serviceMs;
    record.controlSource = 1;
    record.state = state;
    record.specialState = 0;
    return record;
}

qint64 fileBytes(const HistoryUrl& url)
{
    if (url.driver != HistoryUrl::Sqlite)
        return -1;
    return QFileInfo(url.filePath()).size() + QFileInfo(url.filePath() + QStringLiteral("-wal")).size();
}

// Records `seconds` of a storm from the event loop; false when something was lost.
bool recordStorm(const HistoryUrl& url, int seconds, qint64 eventsPerSecond)
{
    auto owned = std::make_unique<HistoryWriter>(url);
    HistoryWriter& writer = *owned;
    bool failed = false;
    QObject::connect(&writer, &HistoryWriter::unavailable, [&failed](const QString& why) {
        std::fprintf(stderr, "history unavailable: %s\n", qUtf8Printable(why));
        failed = true;
    });
    writer.start();
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    qint64 added = 0;
    qint64 longestStallMs = 0;
    int largestQueue = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    QTimer tick;
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStallMs = std::max(longestStallMs, now - lastTick - TickMs);
        lastTick = now;
        // Catch up to the rate by the clock, as events arriving in bursts would.
        const qint64 due = now * eventsPerSecond / 1000;
        for (; added < due; ++added)
            writer.add(areaEvent(start + added / 10, int(added % Areas), int(added % 7)));
        largestQueue = std::max(largestQueue, writer.queued());
        if (now >= seconds * 1000)
            loop.quit();
    });
    tick.start(TickMs);
    loop.exec();
    tick.stop();
    const bool flushed = writer.flush(120000);
    const double elapsed = clock.elapsed() / 1000.0;
    QCoreApplication::processEvents();
    const qint64 written = writer.written();
    const qint64 lost = writer.lost();
    // Closed, so the write-ahead log is folded into the file.
    owned.reset();
    const qint64 bytes = fileBytes(url);
    std::printf("record %s: %lld events in %.1f s, %.0f events/s written, %lld lost, queue at most %d records, "
                "event loop stalled at most %lld ms (target 50 ms)",
                qUtf8Printable(url.text()), added, elapsed, written / elapsed, lost, largestQueue, longestStallMs);
    if (bytes >= 0)
        std::printf(", %.1f MB per million events", bytes / 1e6 * 1e6 / std::max<qint64>(1, added));
    std::printf("\n");
    return flushed && !failed && lost == 0 && written == added;
}

// A day of a 1,000-area zone: full states every ten minutes, an area changing every `stepMs`.
bool recordDay(const HistoryUrl& url, qint64 dayStart, qint64 spanMs, qint64 stepMs)
{
    HistoryWriter writer(url);
    writer.setQueueLimit(std::numeric_limits<int>::max() / 2);
    writer.start();
    ZoneMoment moment;
    moment.zone = 12;
    moment.strategy = 1;
    moment.controlSource = 1;
    for (int id = 1; id <= Areas; ++id)
        moment.areas.append(AreaMoment{id, 1, 1, 0});
    QRandomGenerator random(7);
    qint64 nextFull = dayStart;
    for (qint64 at = dayStart; at < dayStart + spanMs; at += stepMs) {
        if (at >= nextFull) {
            moment.serviceMs = at;
            writer.add(moment.fullStateRecord(at));
            nextFull += 10 * MinuteMs;
        }
        const HistoryRecord change = areaEvent(at, random.bounded(1, Areas + 1), random.bounded(1, 8));
        moment.apply(change);
        writer.add(change);
    }
    return writer.flush(600000) && writer.lost() == 0 && writer.isAvailable();
}

bool seekDay(const HistoryUrl& url, qint64 dayStart, qint64 spanMs, int seeks)
{
    HistoryReader reader;
    QString error;
    if (!reader.open(url, &error)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return false;
    }
    QRandomGenerator random(11);
    QVector<double> times; // ms
    for (int i = 0; i < seeks; ++i) {
        const qint64 at = dayStart + qint64(random.generateDouble() * spanMs);
        QElapsedTimer clock;
        clock.start();
        const ZoneMoment moment = reader.momentAt(12, at);
        times.append(clock.nsecsElapsed() / 1e6);
        if (moment.areas.size() != Areas) {
            std::fprintf(stderr, "seek to %lld found %d areas\n", at, int(moment.areas.size()));
            return false;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("seek %s: %d seeks over %.1f h of %d areas: median %.1f ms, slowest %.1f ms (target 200 ms in "
                "Release)\n",
                qUtf8Printable(url.text()), seeks, spanMs / 3600000.0, Areas, times.at(times.size() / 2),
                times.constLast());
    return true;
}

// What the History dock's chart reads for a day: the changes and the minute walk over them.
bool walkDay(const HistoryUrl& url, qint64 dayStart, qint64 spanMs)
{
    HistoryReader reader;
    QString error;
    if (!reader.open(url, &error)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    const ZoneMoment start = reader.momentAt(12, dayStart - 1);
    const QVector<HistoryRecord> changes = reader.changes(12, dayStart - 1, dayStart + spanMs);
    const double readMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    const ActualDay day = ActualDay::compute(start, changes, dayStart, int(spanMs / MinuteMs));
    const double walkMs = clock.nsecsElapsed() / 1e6;
    std::printf("day chart %s: %d changes read in %.0f ms, %d minutes of %d areas walked in %.0f ms\n",
                qUtf8Printable(url.text()), int(changes.size()), readMs, int(spanMs / MinuteMs), Areas, walkMs);
    return !day.strategies().isEmpty();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption shortOption(QStringLiteral("short"), QStringLiteral("A few seconds only."));
    const QCommandLineOption postgresOption(QStringLiteral("postgres"),
                                            QStringLiteral("Also record into this PostgreSQL database."),
                                            QStringLiteral("url"));
    const QCommandLineOption rateOption(QStringLiteral("rate"), QStringLiteral("Area events a second in the storm."),
                                        QStringLiteral("n"));
    parser.addHelpOption();
    parser.addOptions({shortOption, rateOption, postgresOption});
    parser.process(app);
    const bool brief = parser.isSet(shortOption);
    // The sanitizer build's short run checks that nothing is lost, at a rate it keeps up with on a busy machine.
    const qint64 rate = parser.isSet(rateOption) ? std::max<qint64>(1, parser.value(rateOption).toLongLong())
                        : brief                  ? ShortEventsPerSecond
                                                 : DefaultEventsPerSecond;

    QTemporaryDir dir;
    HistoryUrl storm;
    HistoryUrl day;
    QString error;
    HistoryUrl::parse(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("storm.sqlite")), &storm, &error);
    HistoryUrl::parse(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("day.sqlite")), &day, &error);
    bool ok = recordStorm(storm, brief ? 2 : 60, rate);
    if (parser.isSet(postgresOption)) {
        HistoryUrl postgres;
        if (!HistoryUrl::parse(parser.value(postgresOption), &postgres, &error)) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(error));
            return 2;
        }
        ok = recordStorm(postgres, brief ? 2 : 60, rate) && ok;
    }
    // Recent enough that the purge keeps it.
    const qint64 dayStart = QDateTime::currentMSecsSinceEpoch() / DayMs * DayMs - DayMs;
    const qint64 span = brief ? 3600 * 1000 : DayMs;
    if (!recordDay(day, dayStart, span, 1000)) {
        std::fprintf(stderr, "the synthetic day was not recorded\n");
        return 1;
    }
    ok = seekDay(day, dayStart, span, brief ? 10 : 100) && ok;
    ok = walkDay(day, dayStart, span) && ok;
    return ok ? 0 : 1;
}
