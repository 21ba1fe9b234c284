// Calendars: what they plan over a range.
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
// lists area 1 twice (source 2 last) and leaves area 2 out. Area 1 has states
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
    // The preview of a range, read through Schedule
    void timelines_data();
    void timelines();
};

void TestSchedule::timelines_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<int>("area"); // 0: the zone's strategies; below 0: that area's control sources
    QTest::addColumn<QString>("expected");

    const char* g = "strategy_id";
    const char* s = "state_id";
    auto row = [](const char* name, const QString& xml, const char* first, const char* last, int area, const char* expected) {
        QTest::newRow(name) << xml << day(first) << day(last) << area << QString::fromLatin1(expected);
    };
    const QString dayNight = zone(calendar(g, {"06:00=1,22:00=2"}, "1,1,1,1,1,1,"));
    row("night runs through midnight", dayNight, "2027-05-04", "2027-05-05", 0,
        "00:00=2 06:00=1 22:00=2 1.06:00=1 1.22:00=2");
    row("missing day card", zone(calendar(g, {"06:00=1,22:00=2"}, "1,1,1,1,1,1,7")), "2027-05-08", "2027-05-10", 0,
        "00:00=2 06:00=1 22:00=2 2.00:00=- 2.06:00=1 2.22:00=2");
    row("unsorted and equal times: the later in file wins",
        zone(calendar(g, {"22:00=1,06:00=1,06:00=2"}, "1,1,1,1,1,1,1")), "2027-05-03", "2027-05-03", 0,
        "00:00=1 06:00=2 22:00=1");
    row("zone without calendar", zone(QString()), "2027-05-03", "2027-05-04", 0, "00:00=-");

    // Special days replace the card; one without entries carries the day
    // before, and nothing past its midnight.
    const auto special = [&](const QStringList& days) {
        return zone(dayNight, calendar(s, {"07:00=1,20:00=2"}, "1,1,1,1,1,1,1", days));
    };
    const QString yearly = special({"01.05:10:00=1", "02.05:", "29.02:13:00=1"});
    row("special days over the week", yearly, "2027-05-01", "2027-05-03", 1, "00:00=2 10:00=1 2.00:00=- 2.07:00=1 2.20:00=2");
    row("29.02 in a leap year", yearly, "2028-02-28", "2028-03-01", 1, "00:00=2 07:00=1 20:00=2 1.13:00=1 2.20:00=2");
    row("no 29.02 in other years", yearly, "2027-02-28", "2027-03-01", 1, "00:00=2 07:00=1 20:00=2 1.07:00=1 1.20:00=2");
    const QString dated = special({"01.05:10:00=1", "01.05.2027:15:00=1"});
    row("dated beats yearly", dated, "2027-05-01", "2027-05-01", 1, "00:00=2 15:00=1");
    row("dated only in its year", dated, "2028-05-01", "2028-05-01", 1, "00:00=2 10:00=1");
    row("missing state, also carried over", zone(dayNight, calendar(s, {"07:00=1,20:00=3"}, "1,1,1,1,1,1,1")),
        "2027-05-03", "2027-05-03", 1, "00:00=!3 07:00=1 20:00=!3");
    row("another area's state is missing", zone(dayNight, {}, calendar(s, {"07:00=5,20:00=1"}, "1,1,1,1,1,1,1")),
        "2027-05-03", "2027-05-03", 2, "00:00=!1 07:00=5 20:00=!1");
    // Control sources: an area's later entry in the strategy counts; left out, it is not controlled.
    const QString everyDay = zone(calendar(g, {"06:00=1,22:00=2"}, "1,1,1,1,1,1,1"));
    row("sources of a listed area", everyDay, "2027-05-03", "2027-05-03", -1, "00:00=2 06:00=1 22:00=2");
    row("sources of an area left out", everyDay, "2027-05-03", "2027-05-03", -2, "00:00=0 06:00=2 22:00=0");
    row("sources under a missing strategy", zone(calendar(g, {"06:00=1,12:00=9,14:00=1,22:00=2"}, "1,1,1,1,1,,")),
        "2027-05-03", "2027-05-03", -2, "00:00=- 06:00=2 12:00=- 14:00=2 22:00=0");
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
    const PlanTimeline timeline = area > 0 ? preview.area(area)->plan
                                : area < 0 ? preview.controlSources(-area) : preview.strategies();
    QCOMPARE(describe(timeline), expected);
    QCOMPARE(timeline.last().end, int(first.daysTo(last) + 1) * SchedulePreview::MinutesPerDay);
    // Where an interval ends the next begins; intervalAt finds each at both ends.
    for (const PlanInterval& i : timeline) {
        QCOMPARE(SchedulePreview::intervalAt(timeline, i.start), &i);
        QCOMPARE(SchedulePreview::intervalAt(timeline, i.end - 1), &i);
    }
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
