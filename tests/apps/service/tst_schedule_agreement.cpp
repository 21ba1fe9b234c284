#include "ZoneModel.h"

#include "Velmora/format/SchedulePreview.h"

#include <QDomDocument>
#include <QFile>
#include <QtTest>

#include <set>

using Velmora::PlanInterval;
using Velmora::SchedulePreview;

namespace {

// "hh:mm id:v1,v2"
QString eventText(int minute, int id, const QVariantList& values)
{
    QStringList texts;
    for (const QVariant& value : values)
        texts << value.toString();
    return QStringLiteral("%1 %2:%3").arg(QTime(0, 0).addSecs(60 * minute).toString(QStringLiteral("hh:mm"))).arg(id)
        .arg(texts.join(QLatin1Char(',')));
}

struct Run
{
    int strategy = -1;
    QString areasState;
    QStringList events; // "hh:mm id:values"
};

// What the simulator does over the day: started at midnight, ticked every minute.
Run simulate(const Service::ZoneConfig& config, const QDate& date)
{
    Service::ZoneModel model(&config, true);
    // UTC: a calendar day of 1440 minutes, whatever the machine's time zone.
    const QDateTime midnight(date, QTime(0, 0), Qt::UTC);
    model.start(midnight);
    Run run{model.strategy(), model.areasState(), {}};
    for (int minute = 1; minute < SchedulePreview::MinutesPerDay; ++minute) {
        Service::ZoneEvents events;
        model.tick(midnight.addSecs(60 * minute), &events);
        for (const Service::ZoneEvent& event : events)
            run.events << eventText(minute, int(event.id), event.values);
    }
    return run;
}

// What the preview predicts under the service's rules (docs/service.md): a
// planned strategy is applied when its interval begins, a gap keeps the running
// one (at the start: the default); calendar-driven areas take planned states,
// others keep theirs.
Run predict(const SchedulePreview& preview)
{
    const QVector<SchedulePreview::Area>& areas = preview.areas();
    QVector<QPair<int, int>> live; // source, state; areas start not controlled, in their first state
    for (const SchedulePreview::Area& area : areas)
        live.append({0, area.states.isEmpty() ? 0 : area.states.first().id});
    int running = -1;
    auto step = [&](int minute, int strategy, QStringList* events) {
        const bool applied = strategy != running;
        if (applied)
            *events << eventText(minute, 1, {strategy});
        running = strategy;
        for (int a = 0; a < areas.size(); ++a) {
            const int source = applied ? std::max(0, preview.controlSource(strategy, areas[a].id)) : live[a].first;
            const PlanInterval* planned = SchedulePreview::intervalAt(areas[a].plan, minute);
            const int state = source == Velmora::Protocol::Calendar && planned->hasPlan() ? planned->id : live[a].second;
            if (source != live[a].first)
                *events << eventText(minute, 2, {areas[a].id, source});
            if (state != live[a].second)
                *events << eventText(minute, 3, {areas[a].id, state, 0});
            live[a] = {source, state};
        }
    };
    const PlanInterval* first = SchedulePreview::intervalAt(preview.strategies(), 0);
    QStringList ignored; // the service sends nothing for its start
    step(0, first->hasPlan() ? first->id : preview.defaultStrategy(), &ignored);
    Run run;
    run.strategy = running;
    QStringList groups;
    for (int a = 0; a < areas.size(); ++a)
        groups << QStringLiteral("%1 %2 %3 0").arg(areas[a].id).arg(live[a].first).arg(live[a].second);
    run.areasState = groups.join(QLatin1Char(' '));

    // Nothing can change but where an interval begins.
    std::set<int> starts;
    for (const PlanInterval& i : preview.strategies())
        starts.insert(i.start);
    for (const SchedulePreview::Area& area : areas) {
        for (const PlanInterval& i : area.plan)
            starts.insert(i.start);
    }
    starts.erase(0);
    for (int minute : starts) {
        const PlanInterval* planned = SchedulePreview::intervalAt(preview.strategies(), minute);
        step(minute, planned->hasPlan() ? planned->id : running, &run.events);
    }
    return run;
}

} // namespace

// The simulator and the preview read the same calendars: over a whole day the
// strategy and area changes the service reports are those the preview predicts.
class TestScheduleAgreement : public QObject
{
    Q_OBJECT

private slots:
    void sameDay_data();
    void sameDay();
};

void TestScheduleAgreement::sameDay_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QDate>("date");

    const QString north = QStringLiteral(VELMORA_EXAMPLES "/north.xtsc");
    const QString zarechny = QStringLiteral(VELMORA_EXAMPLES "/zarechny.xtsc");
    auto check = [](const char* name) { return QStringLiteral(VELMORA_TEST_DATA "/check/%1.xtsc").arg(QLatin1String(name)); };

    QTest::newRow("north, monday after an empty sunday") << north << QDate(2027, 5, 3);
    QTest::newRow("north, saturday carries friday") << north << QDate(2027, 5, 8);
    QTest::newRow("zarechny, yearly special day") << zarechny << QDate(2027, 1, 1);
    QTest::newRow("zarechny, dated special day") << zarechny << QDate(2026, 12, 31);
    QTest::newRow("dated special day of one area") << check("clean") << QDate(2027, 5, 4);
    QTest::newRow("29.02") << check("clean") << QDate(2028, 2, 29);
    QTest::newRow("missing strategy: the running one stays") << check("unknown-strategy") << QDate(2027, 5, 8);
    QTest::newRow("missing state: the current one stays") << check("unknown-state") << QDate(2027, 5, 3);
    QTest::newRow("weekend without card") << check("week-empty-day") << QDate(2027, 5, 9);
}

void TestScheduleAgreement::sameDay()
{
    QFETCH(QString, path);
    QFETCH(QDate, date);

    Service::ZoneConfig config;
    QString error;
    QVERIFY2(config.load(path, &error), qPrintable(error));
    QFile file(path);
    QDomDocument document;
    QVERIFY(file.open(QIODevice::ReadOnly) && document.setContent(&file));
    const SchedulePreview preview(document.documentElement(), date, date);
    QVERIFY2(!preview.isNull(), qPrintable(preview.error()));

    const Run simulated = simulate(config, date);
    const Run predicted = predict(preview);
    QCOMPARE(simulated.strategy, predicted.strategy);
    QCOMPARE(simulated.areasState, predicted.areasState);
    QCOMPARE(simulated.events, predicted.events);
    // A day without changes would prove nothing about their times.
    QVERIFY(!simulated.events.isEmpty());
}

QTEST_GUILESS_MAIN(TestScheduleAgreement)
#include "tst_schedule_agreement.moc"
