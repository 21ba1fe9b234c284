#include "Velmora/format/Schedule.h"

#include "DomText.h"

#include <QDomDocument>
#include <QtTest>

using Velmora::Schedule;

namespace {

// Zone calendar: weekdays card 1 (listed out of order), Saturday card 2, Sunday none.
const char* const WeekCalendar =
    "<Calendar><DayCards>"
    "<DayCard id='1'><Time strategy_id='2'>22:00</Time><Time strategy_id='1'>07:00</Time></DayCard>"
    "<DayCard id='2'><Time strategy_id='3'>09:00</Time></DayCard>"
    "</DayCards><WeekDistribution>1,1,1,1,1,2,</WeekDistribution></Calendar>";

// An area calendar, the same card every day, with these special days.
QString areaCalendar(const char* specialDays)
{
    return QStringLiteral("<Calendar><DayCards><DayCard id='1'><Time state_id='1'>07:00</Time>"
                          "<Time state_id='2'>20:00</Time></DayCard></DayCards>"
                          "<WeekDistribution>1,1,1,1,1,1,1</WeekDistribution><SpecialDays>%1</SpecialDays></Calendar>")
        .arg(QLatin1String(specialDays));
}

// A calendar of one card with these entries, on the days the week text gives it.
QString cardCalendar(const char* times, const char* week = "1,1,1,1,1,1,1")
{
    return QStringLiteral("<Calendar><DayCards><DayCard id='1'>%1</DayCard></DayCards>"
                          "<WeekDistribution>%2</WeekDistribution></Calendar>")
        .arg(QLatin1String(times), QLatin1String(week));
}

// An empty text gives a null element.
QDomElement parse(QDomDocument& document, const QString& xml)
{
    return xml.isEmpty() ? QDomElement() : parseXml(&document, xml);
}

QDateTime at(const char* text)
{
    return QDateTime::fromString(QLatin1String(text), Qt::ISODate);
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

    // 2027-05-03 is a Monday.
    const QString week = QLatin1String(WeekCalendar);
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

    const QString yearly = areaCalendar("<SpecialDay day='01.05'><Time state_id='5'>10:00</Time>"
                                        "<Time state_id='6'>18:00</Time></SpecialDay>");
    row("yearly", yearly, state, at("2030-05-01T12:00"), 5);
    row("yearly before its first entry", yearly, state, at("2027-05-01T09:59"), 2);
    row("carry-over from a special day", yearly, state, at("2027-05-02T06:00"), 6);
    row("card again after the special day", yearly, state, at("2027-05-02T08:00"), 1);

    const QString dated = areaCalendar("<SpecialDay id='4' day='01.05.2027'><Time state_id='5'>10:00</Time></SpecialDay>");
    row("dated in its year", dated, state, at("2027-05-01T12:00"), 5);
    row("dated in another year", dated, state, at("2028-05-01T12:00"), 1);

    const QString both = areaCalendar("<SpecialDay day='01.05'><Time state_id='5'>10:00</Time></SpecialDay>"
                                      "<SpecialDay day='01.05.2027'><Time state_id='8'>10:00</Time></SpecialDay>");
    row("dated beats yearly", both, state, at("2027-05-01T12:00"), 8);

    const QString leap = areaCalendar("<SpecialDay day='29.02'><Time state_id='9'>00:00</Time></SpecialDay>");
    row("29.02 in a leap year", leap, state, at("2028-02-29T12:00"), 9);
    row("no 29.02 in other years", leap, state, at("2027-03-01T06:00"), 2);

    const QString empty = areaCalendar("<SpecialDay day='01.05'/>");
    row("special day without entries carries", empty, state, at("2027-05-01T12:00"), 2);
    row("and the day after has nothing to carry", empty, state, at("2027-05-02T06:00"), -1);

    row("equal times: the later in file wins",
        cardCalendar("<Time state_id='1'>07:00</Time><Time state_id='4'> 07:00 </Time>", " 1 ,1,1,1,1,1,1"), state,
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
    const char* const good = "<Time state_id='1'>07:00</Time>";
    QTest::newRow("six fields") << cardCalendar(good, "1,1,1,1,1,1");
    QTest::newRow("unknown card") << cardCalendar(good, "9,9,9,9,9,9,9");
    QTest::newRow("bad times") << cardCalendar("<Time state_id='1'>7:00</Time><Time state_id='1'>25:00</Time>"
                                               "<Time state_id='1'>07:60</Time><Time state_id='1'></Time>"
                                               "<Time state_id='1'>07-00</Time>");
    QTest::newRow("bad targets") << cardCalendar("<Time>07:00</Time><Time state_id='x'>07:00</Time>"
                                                 "<Time state_id='-2'>07:00</Time><Time state_id=''>07:00</Time>");
    QTest::newRow("bad special days") << QStringLiteral(
        "<Calendar><SpecialDays>"
        "<SpecialDay day='32.13'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay day='1.5'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay day='01.05.27'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay day='30.02'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay><Time state_id='1'>00:00</Time></SpecialDay>"
        "</SpecialDays></Calendar>");
    QTest::newRow("empty calendar") << QStringLiteral("<Calendar/>");
    QTest::newRow("no day cards") << QStringLiteral("<Calendar><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar>");
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

    const QString week = QLatin1String(WeekCalendar);
    QTest::newRow("later the same day") << week << at("2027-05-04T12:00") << at("2027-05-04T22:00");
    QTest::newRow("exactly at a change") << week << at("2027-05-04T22:00") << at("2027-05-05T07:00");
    QTest::newRow("into the weekend card") << week << at("2027-05-07T23:00") << at("2027-05-08T09:00");
    QTest::newRow("carry ends at midnight") << week << at("2027-05-08T10:00") << at("2027-05-10T00:00");
    QTest::newRow("from no time") << week << QDateTime() << QDateTime();
    QTest::newRow("never changes") << cardCalendar("<Time strategy_id='4'>05:00</Time>") << at("2027-05-04T12:00")
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

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
