#include "Velmora/format/SchedulePreview.h"

#include "DomText.h"

#include <QDomDocument>
#include <QtTest>

using Velmora::PlanInterval;
using Velmora::PlanTimeline;
using Velmora::SchedulePreview;

namespace {

// 2027-05-03 is a Monday; 2028 is a leap year.
QDate day(const char* text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

// A Calendar element: cards "hh:mm=id,..." get ids 1, 2, ... in order;
// special days are "dd.MM[.yyyy]:hh:mm=id,...".
QString calendar(const char* attribute, const QStringList& cards, const char* week, const QStringList& specials = {})
{
    auto entries = [attribute](const QString& text) {
        QString xml;
        for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QStringList parts = item.split(QLatin1Char('='));
            xml += QStringLiteral("<Time %1='%2'>%3</Time>").arg(QLatin1String(attribute), parts.at(1), parts.at(0));
        }
        return xml;
    };
    QString xml = QStringLiteral("<Calendar><WeekDistribution>%1</WeekDistribution><DayCards>").arg(QLatin1String(week));
    for (int i = 0; i < cards.size(); ++i)
        xml += QStringLiteral("<DayCard id='%1'>%2</DayCard>").arg(i + 1).arg(entries(cards.at(i)));
    xml += QStringLiteral("</DayCards><SpecialDays>");
    for (const QString& special : specials) {
        const int colon = special.indexOf(QLatin1Char(':'));
        xml += QStringLiteral("<SpecialDay day='%1'>%2</SpecialDay>").arg(special.left(colon), entries(special.mid(colon + 1)));
    }
    return xml + QStringLiteral("</SpecialDays></Calendar>");
}

// Strategy 1 (default) gives area 1 source 1 and area 2 source 2; strategy 2
// lists area 1 twice (source 3 first) and leaves area 2 out. Area 1 has states
// 1 and 2, area 2 states 5 and 6.
QString zone(const QString& zoneCalendar, const QString& area1 = {}, const QString& area2 = {})
{
    return QStringLiteral("<Zone id='5' name='Test'>%1<Strategies>"
                          "<Strategy id='1' name='Day' default='1'><Area id='1' control_source='1'/>"
                          "<Area id='2' control_source='2'/></Strategy><Strategy id='2' name='Night'>"
                          "<Area id='1' control_source='3'/><Area id='1' control_source='2'/></Strategy></Strategies>"
                          "<Areas><Area id='1' name='West'><States><State id='1' name='Peak'/><State id='2'/>"
                          "</States>%2</Area><Area id='2' name='East'><States><State id='5'/><State id='6'/></States>"
                          "%3</Area></Areas></Zone>")
        .arg(zoneCalendar, area1, area2);
}

// "00:00=2 06:00=1 1.06:00=-": each interval's start (day index when past the
// first day) and its id, "-" for no plan, "!9" for a missing id 9.
QString describe(const PlanTimeline& timeline)
{
    QStringList items;
    for (const PlanInterval& i : timeline) {
        const int minute = i.start % SchedulePreview::MinutesPerDay;
        QString start = QTime(minute / 60, minute % 60).toString(QStringLiteral("hh:mm"));
        if (i.start >= SchedulePreview::MinutesPerDay)
            start.prepend(QStringLiteral("%1.").arg(i.start / SchedulePreview::MinutesPerDay));
        const QString value = i.hasPlan() ? QString::number(i.id)
                            : i.missing >= 0 ? QStringLiteral("!%1").arg(i.missing) : QStringLiteral("-");
        items << start + QLatin1Char('=') + value;
    }
    return items.join(QLatin1Char(' '));
}

} // namespace

// The preview: what the calendars plan over a range, read through Schedule.
class TestSchedulePreview : public QObject
{
    Q_OBJECT

private slots:
    void timelines_data();
    void timelines();
    void controlSources_data();
    void controlSources();
    void table();
    void ranges_data();
    void ranges();
};

void TestSchedulePreview::timelines_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<int>("area"); // 0: the zone's strategies
    QTest::addColumn<QString>("expected");

    const char* g = "strategy_id";
    const char* s = "state_id";
    auto row = [](const char* name, const QString& xml, const char* first, const char* last, int area, const char* expected) {
        QTest::newRow(name) << xml << day(first) << day(last) << area << QString::fromLatin1(expected);
    };
    const QString dayNight = zone(calendar(g, {"06:00=1,22:00=2"}, "1,1,1,1,1,1,"));
    row("night runs through midnight", dayNight, "2027-05-04", "2027-05-05", 0,
        "00:00=2 06:00=1 22:00=2 1.06:00=1 1.22:00=2");
    row("a day without card carries only until midnight", dayNight, "2027-05-09", "2027-05-10", 0,
        "00:00=2 1.00:00=- 1.06:00=1 1.22:00=2");
    row("unsorted and equal times: the later in file wins",
        zone(calendar(g, {"22:00=1,06:00=1,06:00=2"}, "1,1,1,1,1,1,1")), "2027-05-03", "2027-05-03", 0,
        "00:00=1 06:00=2 22:00=1");
    row("zone without calendar", zone(QString()), "2027-05-03", "2027-05-04", 0, "00:00=-");
    row("missing strategy: no plan, not the one before",
        zone(calendar(g, {"00:00=1,06:00=9,12:00=2"}, "1,1,1,1,1,1,1")), "2027-05-03", "2027-05-03", 0,
        "00:00=1 06:00=!9 12:00=2");
    row("missing day card", zone(calendar(g, {"06:00=1,22:00=2"}, "1,1,1,1,1,1,7")), "2027-05-08", "2027-05-10", 0,
        "00:00=2 06:00=1 22:00=2 2.00:00=- 2.06:00=1 2.22:00=2");

    const QString area1 = calendar(s, {"07:00=1,20:00=2"}, "1,1,1,1,1,1,1", {"01.05:10:00=1", "02.05:", "29.02:13:00=1"});
    const QString z = zone(dayNight, area1);
    // A special day without entries carries the day before, and nothing past its midnight.
    row("special days over the week", z, "2027-05-01", "2027-05-03", 1, "00:00=2 10:00=1 2.00:00=- 2.07:00=1 2.20:00=2");
    row("29.02 in a leap year", z, "2028-02-28", "2028-03-01", 1, "00:00=2 07:00=1 20:00=2 1.13:00=1 2.20:00=2");
    row("missing state, also carried over", zone(dayNight, calendar(s, {"07:00=1,20:00=3"}, "1,1,1,1,1,1,1")),
        "2027-05-03", "2027-05-03", 1, "00:00=!3 07:00=1 20:00=!3");
    row("another area's state is missing", zone(dayNight, {}, calendar(s, {"07:00=5,20:00=1"}, "1,1,1,1,1,1,1")),
        "2027-05-03", "2027-05-03", 2, "00:00=!1 07:00=5 20:00=!1");
}

void TestSchedulePreview::timelines()
{
    QFETCH(QString, xml);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    QFETCH(int, area);
    QFETCH(QString, expected);

    QDomDocument document;
    const SchedulePreview preview(parseXml(&document, xml), first, last);
    QVERIFY2(!preview.isNull(), qPrintable(preview.error()));
    const PlanTimeline timeline = area ? preview.area(area)->plan : preview.strategies();
    QCOMPARE(describe(timeline), expected);
    QCOMPARE(timeline.last().end, int(first.daysTo(last) + 1) * SchedulePreview::MinutesPerDay);
    // Where an interval ends the next begins; intervalAt finds each at both ends.
    for (const PlanInterval& i : timeline) {
        QCOMPARE(SchedulePreview::intervalAt(timeline, i.start), &i);
        QCOMPARE(SchedulePreview::intervalAt(timeline, i.end - 1), &i);
    }
}

void TestSchedulePreview::controlSources_data()
{
    QTest::addColumn<QString>("zoneCalendar");
    QTest::addColumn<int>("area");
    QTest::addColumn<QString>("expected");

    const QString dayNight = calendar("strategy_id", {"06:00=1,22:00=2"}, "1,1,1,1,1,1,1");
    QTest::newRow("first entry of a listed area counts") << dayNight << 1 << "00:00=3 06:00=1 22:00=3";
    QTest::newRow("left out: not controlled") << dayNight << 2 << "00:00=0 06:00=2 22:00=0";
    QTest::newRow("no plan, missing strategy")
        << calendar("strategy_id", {"06:00=1,12:00=9,14:00=1,22:00=2"}, "1,1,1,1,1,,") << 2
        << "00:00=- 06:00=2 12:00=- 14:00=2 22:00=0";
    QTest::newRow("same source over strategy changes") << dayNight << 4 << "00:00=0";
}

void TestSchedulePreview::controlSources()
{
    QFETCH(QString, zoneCalendar);
    QFETCH(int, area);
    QFETCH(QString, expected);

    QDomDocument document;
    const SchedulePreview preview(parseXml(&document, zone(zoneCalendar)), day("2027-05-03"), day("2027-05-03"));
    QCOMPARE(describe(preview.controlSources(area)), expected);
    QCOMPARE(preview.controlSources(area).last().end, preview.minutes());
    QCOMPARE(preview.controlSource(9, 1), -1);
    QCOMPARE(preview.defaultStrategy(), 1);
}

void TestSchedulePreview::table()
{
    QDomDocument document;
    const QDomElement root = parseXml(&document, zone(calendar("strategy_id", {"06:00=1,22:00=2"}, "1,1,1,1,1,1,1"),
                                                  calendar("state_id", {"07:00=1,20:00=9"}, "1,1,1,1,1,1,1"),
                                                  calendar("state_id", {"00:00=5"}, "1,1,1,1,1,1,1")));
    // One day: times of day up to 24:00, a row wherever state or source changes.
    QCOMPARE(SchedulePreview(root, day("2027-05-03"), day("2027-05-03")).renderTable({1}),
             QStringLiteral("Zone 5 Test, 2027-05-03\n\nStrategies\n"
                            "  from   to     strategy\n"
                            "  00:00  06:00  2 Night\n"
                            "  06:00  22:00  1 Day\n"
                            "  22:00  24:00  2 Night\n\n"
                            "Area 1 West\n"
                            "  from   to     state                      control source\n"
                            "  00:00  06:00  no plan (state 9 missing)  3 local\n"
                            "  06:00  07:00  no plan (state 9 missing)  1 calendar\n"
                            "  07:00  20:00  1 Peak                     1 calendar\n"
                            "  20:00  22:00  no plan (state 9 missing)  1 calendar\n"
                            "  22:00  24:00  no plan (state 9 missing)  3 local\n"));
    // Several days: full dates, every area unless some are chosen.
    const SchedulePreview days(root, day("2027-05-03"), day("2027-05-04"));
    const QString text = days.renderTable();
    QVERIFY(text.startsWith(QStringLiteral("Zone 5 Test, 2027-05-03..2027-05-04\n")));
    QVERIFY(text.contains(QStringLiteral("  2027-05-03 22:00  2027-05-04 06:00  5      0 not controlled\n")));
    QVERIFY(!days.renderTable({2}).contains(QStringLiteral("Area 1")));

    // Minutes and moments: seconds drop, the range's end is the last moment.
    QCOMPARE(days.minuteOf(QDateTime(day("2027-05-04"), QTime(0, 1, 59))), 1441);
    QCOMPARE(days.minuteOf(QDateTime(day("2027-05-05"), QTime(0, 0))), -1);
    QCOMPARE(days.momentAt(1441, Qt::UTC), QDateTime(day("2027-05-04"), QTime(0, 1), Qt::UTC));
    QVERIFY(days.momentAt(days.minutes()).isValid() && !days.momentAt(days.minutes() + 1).isValid());
}

void TestSchedulePreview::ranges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<bool>("previewed");

    QTest::newRow("one day") << "2027-05-03" << true << true;
    QTest::newRow("the longest") << "2027-01-01..2037-01-07" << true << true;
    QTest::newRow("one day too long") << "2027-01-01..2037-01-08" << true << false;
    QTest::newRow("backwards") << "2027-05-09..2027-05-03" << false << false;
    QTest::newRow("no such date") << "2027-02-30" << false << false;
    QTest::newRow("open end") << "2027-05-03.." << false << false;
}

void TestSchedulePreview::ranges()
{
    QFETCH(QString, text);
    QFETCH(bool, parsed);
    QFETCH(bool, previewed);

    QDate first;
    QDate last;
    QCOMPARE(SchedulePreview::parseRange(text, &first, &last), parsed);
    QDomDocument document;
    const SchedulePreview preview(parseXml(&document, zone(QString())), first, last);
    QCOMPARE(preview.isNull(), !previewed);
    QCOMPARE(preview.error().isEmpty(), previewed);
    QCOMPARE(preview.strategies().isEmpty(), !previewed);
    if (!previewed)
        QCOMPARE(preview.renderTable(), preview.error() + QLatin1Char('\n'));
}

QTEST_GUILESS_MAIN(TestSchedulePreview)
#include "tst_schedulepreview.moc"
