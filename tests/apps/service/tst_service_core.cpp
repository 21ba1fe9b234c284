#include "CommandDispatcher.h"
#include "Commands.h"
#include "DomText.h"
#include "ZoneModel.h"

#include "Velmora/format/Protocol.h"
#include "Velmora/format/SchedulePreview.h"

#include <QDomDocument>
#include <QtTest>

#include <algorithm>
#include <list>

using namespace Service;
using Velmora::PlanInterval;
using Velmora::SchedulePreview;

namespace {

// Monday 09:00: strategy 1 by the zone calendar, area 3 in state 1 by its own.
const QDateTime Start(QDate(2026, 12, 7), QTime(9, 0));
// "control-source strategy | areas-state string"
const QString Initial = QStringLiteral("1 1 | 3 1 1 0 4 2 1 0");

QString joined(const QVariantList& values)
{
    return QVariant(values).toStringList().join(QLatin1Char(','));
}

// Request data from "name|code value... [#hex]": the code, each value in 4
// bytes, then raw bytes; "#hex" alone is all of it.
QByteArray request(const QStringList& words)
{
    static const QHash<QString, quint32> codes{{"strat", SetStrat},    {"local", SetLocal},      {"default", SetDefault},
                                               {"astate", SetAState},  {"apstate", SetAPState}, {"adefault", SetADefault},
                                               {"dprog", SetDProg}};
    QByteArray data;
    for (const QString& word : words) {
        const quint32 value = qToLittleEndian(codes.value(word, word.toUInt()));
        data += word.startsWith('#') ? QByteArray::fromHex(word.mid(1).toLatin1())
                                     : QByteArray(reinterpret_cast<const char*>(&value), 4);
    }
    return data;
}

// "hh:mm id:v1,v2"
QString eventText(int minute, int id, const QVariantList& values)
{
    const QString time = QTime(0, 0).addSecs(60 * minute).toString(QStringLiteral("hh:mm"));
    return QStringLiteral("%1 %2:%3").arg(time).arg(id).arg(joined(values));
}

// A day as "strategy | areas-state string" at its start, then its events.
// The simulator's: started at midnight, ticked every minute.
QStringList simulate(const ZoneConfig& config, const QDate& date)
{
    ZoneModel model(&config, true);
    // UTC: a calendar day of 1440 minutes, whatever the machine's time zone.
    const QDateTime midnight(date, QTime(0, 0), Qt::UTC);
    model.start(midnight);
    QStringList day{QStringLiteral("%1 | %2").arg(model.strategy()).arg(model.areasState())};
    for (int minute = 1; minute < SchedulePreview::MinutesPerDay; ++minute) {
        ZoneEvents events;
        model.tick(midnight.addSecs(60 * minute), &events);
        for (const ZoneEvent& event : events)
            day << eventText(minute, int(event.id), event.values);
    }
    return day;
}

// The preview's under the service's rules (docs/service.md): a planned strategy
// applies when its interval begins, a gap keeps the running one (at the start:
// the default); calendar-driven areas take planned states, others keep theirs.
QStringList predict(const SchedulePreview& preview)
{
    const QVector<SchedulePreview::Area>& areas = preview.areas();
    QVector<QPair<int, int>> live; // source, state; areas start not controlled, in their first state
    for (const SchedulePreview::Area& area : areas)
        live.append({0, area.states.isEmpty() ? 0 : area.states.first().id});
    int running = -1;
    QStringList day;
    auto step = [&](int minute) {
        const PlanInterval* planned = SchedulePreview::intervalAt(preview.strategies(), minute);
        const int strategy = planned->hasPlan() ? planned->id : running < 0 ? preview.defaultStrategy() : running;
        const bool applied = strategy != running;
        if (applied)
            day << eventText(minute, 1, {strategy});
        running = strategy;
        for (int a = 0; a < areas.size(); ++a) {
            const int source = applied ? std::max(0, preview.controlSource(strategy, areas[a].id)) : live[a].first;
            const PlanInterval* state = SchedulePreview::intervalAt(areas[a].plan, minute);
            const int id = source == Velmora::Protocol::Calendar && state->hasPlan() ? state->id : live[a].second;
            if (source != live[a].first)
                day << eventText(minute, 2, {areas[a].id, source});
            if (id != live[a].second)
                day << eventText(minute, 3, {areas[a].id, id, 0});
            live[a] = {source, id};
        }
    };
    step(0);
    QStringList groups;
    for (int a = 0; a < areas.size(); ++a)
        groups << QStringLiteral("%1 %2 %3 0").arg(areas[a].id).arg(live[a].first).arg(live[a].second);
    day = QStringList{QStringLiteral("%1 | %2").arg(running).arg(groups.join(QLatin1Char(' ')))}; // no events for the start
    for (int minute = 1; minute < SchedulePreview::MinutesPerDay; ++minute)
        step(minute);
    return day;
}

// The test zone ("same"), or without strategy 2 or area 4 ("-strategy2", "-area4").
bool variant(const QString& name, ZoneConfig* config)
{
    static const QHash<QString, QString> removed{{"-strategy2", "<Strategy id=\"2\".*?</Strategy>"},
                                                 {"-area4", "<Area id=\"4\" name=.*?</Area>"}};
    QString text = QString::fromUtf8(readFile(QStringLiteral(VELMORA_TEST_DATA "/service/zone.xtsc")));
    if (removed.contains(name))
        text.remove(QRegularExpression(removed.value(name), QRegularExpression::DotMatchesEverythingOption));
    QTemporaryFile file;
    QString error;
    return file.open() && writeFile(file.fileName(), text.toUtf8()) && config->load(file.fileName(), &error);
}

} // namespace

// The simulator's zone rules without the program: requests decoded and run on a zone.
class TestServiceCore : public QObject
{
    Q_OBJECT

private slots:
    void commands_data()
    {
        QTest::addColumn<QString>("steps");   // "[@seconds] request" or "[@seconds] tick", separated by '|'
        QTest::addColumn<QString>("results"); // result symbols of the requests
        QTest::addColumn<QString>("events");  // "id:values" of every step, in order
        QTest::addColumn<QString>("after");   // the zone afterwards, as Initial

        auto row = [](const char* name, const char* steps, const char* results, const char* events,
                      const QString& after = Initial) { QTest::newRow(name) << steps << results << events << after; };
        row("operator strategy", "strat 2 0", ">OK", "0:4 1:2 2:4,0", "4 2 | 3 1 1 0 4 0 1 0");
        row("unknown strategy", "strat 9 0", ">INV_STRAT", "");
        row("back to default", "strat 3 0|default", ">OK >OK", "0:4 1:3 2:3,3 2:4,3 0:1 1:1 2:3,1 2:4,2");
        row("area state", "astate 3 3 0", ">OK", "2:3,4 3:3,3,0", "1 1 | 3 4 3 0 4 2 1 0");
        // State 3 is area 3's, not area 4's.
        row("another area's state", "astate 4 3 0", ">INV_STATE", "");
        row("unknown area", "astate 8 1 0|apstate 5 1 0|adefault 8", ">INV_AREA >INV_AREA >INV_AREA", "");
        row("special state out of range", "apstate 4 4 0|apstate 4 0 0", ">INV_PSTATE >INV_PSTATE", "");
        row("a strategy ends an area command", "apstate 4 3 0|strat 2 0", ">OK >OK",
            "2:4,4 3:4,1,3 0:4 1:2 2:4,0 3:4,1,0", "4 2 | 3 1 1 0 4 0 1 0");
        row("strategy times out", "strat 2 60|@59 tick|@60 tick", ">OK", "0:4 1:2 2:4,0 0:1 1:1 2:4,2");
        row("area hold times out", "astate 3 3 30|@29 tick|@30 tick", ">OK", "2:3,4 3:3,3,0 2:3,1 3:3,1,0");
        row("calendar moves the zone", "@46800 tick", "", "1:2 3:3,2,0 2:4,0", "1 2 | 3 1 2 0 4 0 1 0");
        row("local control stops the calendars", "local 0|@46800 tick", ">OK", "0:3", "3 1 | 3 1 1 0 4 2 1 0");

        // A new configuration: timed commands on what it still has run on, the rest ends.
        row("timed strategy runs on", "strat 2 60|@10 reload same|@61 tick", ">OK", "0:4 1:2 2:4,0 0:1 1:1 2:4,2");
        row("untimed strategy ends", "strat 2 0|@10 reload same", ">OK", "0:4 1:2 2:4,0");
        row("timed strategy the file dropped ends", "strat 2 60|@10 reload -strategy2", ">OK", "0:4 1:2 2:4,0");
        row("timed local control runs on", "local 60|@10 reload same", ">OK", "0:3", "3 1 | 3 1 1 0 4 2 1 0");
        row("timed area hold runs on", "apstate 3 2 60|@10 reload same", ">OK", "2:3,4 3:3,1,2",
            "1 1 | 3 4 1 2 4 2 1 0");
        row("untimed area hold ends", "astate 3 3 0|@10 reload same", ">OK", "2:3,4 3:3,3,0");
        row("hold of an area the file dropped ends", "apstate 4 2 60|@10 reload -area4", ">OK", "2:4,4 3:4,1,2",
            "1 1 | 3 1 1 0");

        // Requests that do not decode change nothing.
        row("no room for a code", "#0110", ">UNIDENT", "");
        row("one value short", "strat 3", ">INV_ARG_COUNT", "");
        row("bytes left over", "strat 3 0 #7879", ">INV_ARG_COUNT", "");
        row("program of an unknown controller", "dprog 999 0 1 #70", ">INV_CONT", "");
    }

    void commands()
    {
        QFETCH(QString, steps);
        QFETCH(QString, results);
        QFETCH(QString, events);
        QFETCH(QString, after);
        ZoneConfig config;
        QString error;
        QVERIFY2(config.load(QStringLiteral(VELMORA_TEST_DATA "/service/zone.xtsc"), &error), qPrintable(error));
        ZoneModel model(&config, true);
        model.start(Start);
        std::list<ZoneConfig> reloaded; // the model keeps pointing at them
        quint32 mask = 0xFF;
        ZoneEvents caused;
        QStringList symbols, texts;
        for (const QString& step : steps.split('|')) {
            QStringList words = step.split(' ');
            const QDateTime now = words.first().startsWith('@') ? Start.addSecs(words.takeFirst().mid(1).toInt()) : Start;
            if (words.first() == QLatin1String("tick")) {
                model.tick(now, &caused);
                continue;
            }
            if (words.first() == QLatin1String("reload")) {
                QVERIFY(variant(words.last(), &reloaded.emplace_back()));
                model.reconfigure(&reloaded.back(), now);
                continue;
            }
            const QByteArray data = request(words);
            const Outcome outcome = CommandDispatcher().dispatch(model, &mask, data, now);
            // The reply names the command it answers, 0 when there was none.
            QCOMPARE(outcome.code, data.size() < 4 ? 0u : qFromLittleEndian<quint32>(data.constData()));
            symbols << resultSymbol(outcome.result);
            caused += outcome.events;
        }
        for (const ZoneEvent& event : qAsConst(caused))
            texts << QStringLiteral("%1:%2").arg(event.id).arg(joined(event.values));
        const QString zone =
            QStringLiteral("%1 %2 | %3").arg(model.controlSource()).arg(model.strategy()).arg(model.areasState());
        QCOMPARE((QStringList{symbols.join(' '), texts.join(' '), zone}), (QStringList{results, events, after}));
    }

    void calendarDays_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QDate>("date");

        const QString north = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
        auto check = [](const char* name) {
            return QStringLiteral(VELMORA_TEST_DATA "/check/%1.xtsc").arg(QLatin1String(name));
        };

        // Which card or special day a date takes is the calendar's test; here the minutes of a day.
        QTest::newRow("north, saturday carries friday") << north << QDate(2027, 5, 8);
        QTest::newRow("missing strategy: the running one stays") << check("unknown-strategy") << QDate(2027, 5, 8);
        QTest::newRow("missing state: the current one stays") << check("unknown-state") << QDate(2027, 5, 3);
        QTest::newRow("weekend without card") << check("week-empty-day") << QDate(2027, 5, 9);
    }

    // The simulator and the preview read the same calendars: over a whole day the
    // strategy and area changes the service reports are those the preview predicts.
    void calendarDays()
    {
        QFETCH(QString, path);
        QFETCH(QDate, date);
        ZoneConfig config;
        QString error;
        QVERIFY2(config.load(path, &error), qPrintable(error));
        QDomDocument document;
        const SchedulePreview preview(parseXml(&document, QString::fromUtf8(readFile(path))), date, date);
        QVERIFY2(!preview.isNull(), qPrintable(preview.error()));

        const QStringList simulated = simulate(config, date);
        QCOMPARE(simulated, predict(preview));
        // A day without changes would prove nothing about their times.
        QVERIFY(simulated.size() > 1);
    }
};

QTEST_GUILESS_MAIN(TestServiceCore)
#include "tst_service_core.moc"
