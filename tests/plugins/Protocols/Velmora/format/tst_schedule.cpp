// Calendars: which strategy or state is active when, when that changes, and
// what they plan over a range.
#include "Velmora/format/Schedule.h"
#include "Velmora/format/SchedulePreview.h"

#include "DomText.h"

#include <QDomDocument>
#include <QtTest>

using Velmora::PlanInterval;
using Velmora::PlanTimeline;
using Velmora::Schedule;
using Velmora::SchedulePreview;

namespace {

// 2027-05-03 is a Monday; 2028 is a leap year.
QDate day(const char* text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

QDateTime at(const char* text)
{
    return QDateTime::fromString(QLatin1String(text), Qt::ISODate);
}

// An empty text gives a null element.
QDomElement parse(QDomDocument& document, const QString& xml)
{
    return xml.isEmpty() ? QDomElement() : parseXml(&document, xml);
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

class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
    void activeAt_data();
    void activeAt();
    void malformedGivesNone_data();
    void malformedGivesNone();
    void weekDistribution_data();
    void weekDistribution();
    void nextChange_data();
    void nextChange();
    // The preview of a range, read through Schedule
    void timelines_data();
    void timelines();
    void controlSources_data();
    void controlSources();
    void table();
    void ranges_data();
    void ranges();
};

void TestSchedule::activeAt_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<int>("expected");
    const QString strategy = QStringLiteral("strategy_id");
    const QString state = QStringLiteral("state_id");
    auto row = [](const char* name, const QString& xml, const QString& attribute, const QDateTime& when, int expected) {
        QTest::newRow(name) << xml << attribute << when << expected;
    };

    // Weekdays card 1 (listed out of order), Saturday card 2, Sunday none.
    const QString week = calendar("strategy_id", {"22:00=2,07:00=1", "09:00=3"}, "1,1,1,1,1,2,");
    row("after a day without card", week, strategy, at("2027-05-03T06:59"), -1);
    row("06:59 carries the previous evening", week, strategy, at("2027-05-04T06:59"), 2);
    row("07:00 starts the entry", week, strategy, at("2027-05-04T07:00"), 1);
    row("seconds do not count", week, strategy, QDateTime(QDate(2027, 5, 4), QTime(6, 59, 59, 999)), 2);
    row("saturday card", week, strategy, at("2027-05-08T09:00"), 3);
    row("sunday carries saturday", week, strategy, at("2027-05-09T12:00"), 3);
    row("monday midnight after sunday", week, strategy, at("2027-05-10T00:00"), -1);
    row("other attribute", week, state, at("2027-05-03T12:00"), -1);
    row("no time", week, strategy, QDateTime(), -1);
    row("no calendar", QString(), strategy, at("2027-05-03T12:00"), -1);

    // The same card every day, and these special days.
    const auto area = [](const QStringList& specialDays) {
        return calendar("state_id", {"07:00=1,20:00=2"}, "1,1,1,1,1,1,1", specialDays);
    };
    const QString yearly = area({"01.05:10:00=5,18:00=6"});
    row("yearly", yearly, state, at("2030-05-01T12:00"), 5);
    row("yearly before its first entry", yearly, state, at("2027-05-01T09:59"), 2);
    row("carry-over from a special day", yearly, state, at("2027-05-02T06:00"), 6);
    row("card again after the special day", yearly, state, at("2027-05-02T08:00"), 1);
    row("dated in its year", area({"01.05.2027:10:00=5"}), state, at("2027-05-01T12:00"), 5);
    row("dated in another year", area({"01.05.2027:10:00=5"}), state, at("2028-05-01T12:00"), 1);
    row("dated beats yearly", area({"01.05:10:00=5", "01.05.2027:10:00=8"}), state, at("2027-05-01T12:00"), 8);
    row("29.02 in a leap year", area({"29.02:00:00=9"}), state, at("2028-02-29T12:00"), 9);
    row("no 29.02 in other years", area({"29.02:00:00=9"}), state, at("2027-03-01T06:00"), 2);
    row("special day without entries carries", area({"01.05:"}), state, at("2027-05-01T12:00"), 2);
    row("and the day after has nothing to carry", area({"01.05:"}), state, at("2027-05-02T06:00"), -1);
    row("equal times: the later in file wins", calendar("state_id", {"07:00=1, 07:00 =4"}, " 1 ,1,1,1,1,1,1"), state,
        at("2027-05-03T07:00"), 4);
}

void TestSchedule::activeAt()
{
    QFETCH(QString, xml);
    QFETCH(QString, attribute);
    QFETCH(QDateTime, when);
    QFETCH(int, expected);

    QDomDocument document;
    const QDomElement calendar = parse(document, xml);
    QCOMPARE(Schedule(calendar, attribute).activeAt(when), expected);
    QCOMPARE(Velmora::activeTarget(calendar, attribute, when), expected);
}

void TestSchedule::malformedGivesNone_data()
{
    QTest::addColumn<QString>("xml");
    const char* const every = "1,1,1,1,1,1,1";
    QTest::newRow("six fields") << calendar("state_id", {"07:00=1"}, "1,1,1,1,1,1");
    QTest::newRow("unknown card") << calendar("state_id", {"07:00=1"}, "9,9,9,9,9,9,9");
    QTest::newRow("bad times") << calendar("state_id", {"7:00=1,25:00=1,07:60=1,=1,07-00=1"}, every);
    QTest::newRow("bad targets") << calendar("state_id", {"07:00=x,07:00=-2,07:00="}, every);
    QTest::newRow("bad special days")
        << calendar("state_id", {}, "", {"32.13:00:00=1", "1.5:00:00=1", "01.05.27:00:00=1", "30.02:00:00=1", ":00:00=1"});
    QTest::newRow("empty calendar") << QStringLiteral("<Calendar/>");
    QTest::newRow("no day cards") << calendar("state_id", {}, every);
}

void TestSchedule::malformedGivesNone()
{
    QFETCH(QString, xml);
    QDomDocument document;
    const Schedule schedule(parse(document, xml), QStringLiteral("state_id"));
    // Every day of a week, both before and after the entries' times.
    for (int day = 0; day < 7; ++day) {
        const QDate date = QDate(2027, 4, 27).addDays(day);
        QCOMPARE(schedule.activeAt(QDateTime(date, QTime(0, 0))), -1);
        QCOMPARE(schedule.activeAt(QDateTime(date, QTime(12, 0))), -1);
    }
    QVERIFY(!schedule.nextChange(QDateTime(QDate(2027, 5, 1), QTime(0, 0))).isValid());
}

void TestSchedule::weekDistribution_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVector<int>>("expected");

    const QVector<int> none(7, -1);
    QTest::newRow("five days, six commas") << "1,1,1,1,1,," << QVector<int>{1, 1, 1, 1, 1, -1, -1};
    QTest::newRow("blanks and bad fields") << " 1 , 2,x,,-3,5,6" << QVector<int>{1, 2, -1, -1, -1, 5, 6};
    QTest::newRow("empty") << "" << none;
    QTest::newRow("three fields") << "1,2,3" << none;
    QTest::newRow("other separator") << "1;2;3;4;5;6;7" << none;
}

void TestSchedule::weekDistribution()
{
    QFETCH(QString, text);
    QFETCH(QVector<int>, expected);
    QCOMPARE(Schedule::parseWeekDistribution(text), expected);
}

void TestSchedule::nextChange_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QDateTime>("after");
    QTest::addColumn<QDateTime>("expected");

    const QString week = calendar("strategy_id", {"22:00=2,07:00=1", "09:00=3"}, "1,1,1,1,1,2,");
    QTest::newRow("later the same day") << week << at("2027-05-04T12:00") << at("2027-05-04T22:00");
    QTest::newRow("exactly at a change") << week << at("2027-05-04T22:00") << at("2027-05-05T07:00");
    QTest::newRow("into the weekend card") << week << at("2027-05-07T23:00") << at("2027-05-08T09:00");
    QTest::newRow("carry ends at midnight") << week << at("2027-05-08T10:00") << at("2027-05-10T00:00");
    QTest::newRow("from no time") << week << QDateTime() << QDateTime();
    QTest::newRow("never changes") << calendar("strategy_id", {"05:00=4"}, "1,1,1,1,1,1,1") << at("2027-05-04T12:00")
                                   << QDateTime();
}

void TestSchedule::nextChange()
{
    QFETCH(QString, xml);
    QFETCH(QDateTime, after);
    QFETCH(QDateTime, expected);

    QDomDocument document;
    const Schedule schedule(parse(document, xml), QStringLiteral("strategy_id"));
    const QDateTime next = schedule.nextChange(after);
    QCOMPARE(next, expected);
    if (next.isValid()) {
        QVERIFY(schedule.activeAt(next) != schedule.activeAt(after));
        QCOMPARE(schedule.activeAt(next.addSecs(-60)), schedule.activeAt(after));
    }
}

void TestSchedule::timelines_data()
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

void TestSchedule::timelines()
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

void TestSchedule::controlSources_data()
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

void TestSchedule::controlSources()
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

void TestSchedule::table()
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

void TestSchedule::ranges_data()
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

void TestSchedule::ranges()
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

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
