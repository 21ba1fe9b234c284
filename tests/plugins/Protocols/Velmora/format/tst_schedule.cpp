#include "Velmora/format/Schedule.h"

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

const char* const FiveDayCalendar =
    "<Calendar><DayCards>"
    "<DayCard id='1'><Time strategy_id='1'>07:00</Time><Time strategy_id='2'>22:00</Time></DayCard>"
    "</DayCards><WeekDistribution>1,1,1,1,1,,</WeekDistribution></Calendar>";

const QString AreaCard = QStringLiteral(
    "<DayCards><DayCard id='1'><Time state_id='1'>07:00</Time><Time state_id='2'>20:00</Time>"
    "</DayCard></DayCards><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution>");

QString areaCalendar(const QString& specialDays)
{
    return QStringLiteral("<Calendar>") + AreaCard + QStringLiteral("<SpecialDays>")
        + specialDays + QStringLiteral("</SpecialDays></Calendar>");
}

QDomElement parse(QDomDocument& document, const QString& xml)
{
    QString error;
    if (!document.setContent(xml, &error))
        qFatal("bad test calendar: %s", qPrintable(error));
    return document.documentElement();
}

QDateTime at(const char* text)
{
    const QDateTime time = QDateTime::fromString(QLatin1String(text), Qt::ISODate);
    Q_ASSERT(time.isValid());
    return time;
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
    void nullInputs();
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

    const QString week = QLatin1String(WeekCalendar);
    const QString strategy = QStringLiteral("strategy_id");
    // 2027-05-03 is a Monday.
    QTest::newRow("monday noon") << week << strategy << at("2027-05-03T12:00") << 1;
    QTest::newRow("after a day without card") << week << strategy << at("2027-05-03T06:59") << -1;
    QTest::newRow("06:59 carries the previous evening") << week << strategy << at("2027-05-04T06:59") << 2;
    QTest::newRow("07:00 starts the entry") << week << strategy << at("2027-05-04T07:00") << 1;
    QTest::newRow("seconds do not count")
        << week << strategy << QDateTime(QDate(2027, 5, 4), QTime(6, 59, 59, 999)) << 2;
    QTest::newRow("21:59") << week << strategy << at("2027-05-04T21:59") << 1;
    QTest::newRow("22:00") << week << strategy << at("2027-05-04T22:00") << 2;
    QTest::newRow("23:59") << week << strategy << at("2027-05-04T23:59") << 2;
    QTest::newRow("saturday before its card") << week << strategy << at("2027-05-08T08:59") << 2;
    QTest::newRow("saturday card") << week << strategy << at("2027-05-08T09:00") << 3;
    QTest::newRow("sunday carries saturday") << week << strategy << at("2027-05-09T12:00") << 3;
    QTest::newRow("monday midnight after sunday") << week << strategy << at("2027-05-10T00:00") << -1;
    QTest::newRow("other attribute") << week << QStringLiteral("state_id") << at("2027-05-03T12:00") << -1;

    const QString five = QLatin1String(FiveDayCalendar);
    QTest::newRow("five days: friday") << five << strategy << at("2027-05-07T12:00") << 1;
    QTest::newRow("five days: saturday carries friday") << five << strategy << at("2027-05-08T12:00") << 2;
    QTest::newRow("five days: sunday none") << five << strategy << at("2027-05-09T12:00") << -1;

    const QString state = QStringLiteral("state_id");
    const QString yearly = areaCalendar(QStringLiteral(
        "<SpecialDay day='01.05'><Time state_id='5'>10:00</Time><Time state_id='6'>18:00</Time></SpecialDay>"));
    QTest::newRow("yearly 2026") << yearly << state << at("2026-05-01T12:00") << 5;
    QTest::newRow("yearly 2030") << yearly << state << at("2030-05-01T18:30") << 6;
    QTest::newRow("yearly before its first entry") << yearly << state << at("2027-05-01T09:59") << 2;
    QTest::newRow("carry-over from a special day") << yearly << state << at("2027-05-02T06:00") << 6;
    QTest::newRow("card again after the special day") << yearly << state << at("2027-05-02T08:00") << 1;
    QTest::newRow("yearly on another date") << yearly << state << at("2027-05-11T12:00") << 1;

    const QString dated = areaCalendar(QStringLiteral(
        "<SpecialDay id='4' day='01.05.2027'><Time state_id='5'>10:00</Time></SpecialDay>"));
    QTest::newRow("dated in its year") << dated << state << at("2027-05-01T12:00") << 5;
    QTest::newRow("dated a year later") << dated << state << at("2028-05-01T12:00") << 1;
    QTest::newRow("dated a year earlier") << dated << state << at("2026-05-01T12:00") << 1;

    const QString both = areaCalendar(QStringLiteral(
        "<SpecialDay day='01.05'><Time state_id='5'>10:00</Time></SpecialDay>"
        "<SpecialDay day='01.05.2027'><Time state_id='8'>10:00</Time></SpecialDay>"));
    QTest::newRow("dated beats yearly") << both << state << at("2027-05-01T12:00") << 8;
    QTest::newRow("yearly in other years") << both << state << at("2028-05-01T12:00") << 5;

    const QString leap = areaCalendar(QStringLiteral(
        "<SpecialDay day='29.02'><Time state_id='9'>00:00</Time></SpecialDay>"));
    QTest::newRow("29.02 in a leap year") << leap << state << at("2028-02-29T12:00") << 9;
    QTest::newRow("no 29.02 in other years") << leap << state << at("2027-03-01T06:00") << 2;

    const QString empty = areaCalendar(QStringLiteral("<SpecialDay day='01.05'/>"));
    QTest::newRow("special day without entries carries") << empty << state << at("2027-05-01T12:00") << 2;
    QTest::newRow("and the day after has nothing to carry") << empty << state << at("2027-05-02T06:00") << -1;

    const QString ties = QStringLiteral(
        "<Calendar><DayCards><DayCard id='3'><Time state_id='1'>07:00</Time>"
        "<Time state_id='4'> 07:00 </Time></DayCard></DayCards>"
        "<WeekDistribution> 3 ,3,3,3,3,3,3</WeekDistribution></Calendar>");
    QTest::newRow("equal times: the later in file wins") << ties << state << at("2027-05-03T07:00") << 4;
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

    auto withCard = [](const QString& times, const QString& week) {
        return QStringLiteral("<Calendar><DayCards><DayCard id='1'>") + times
            + QStringLiteral("</DayCard></DayCards><WeekDistribution>") + week
            + QStringLiteral("</WeekDistribution></Calendar>");
    };
    const QString good = QStringLiteral("<Time state_id='1'>07:00</Time>");
    QTest::newRow("semicolons") << withCard(good, QStringLiteral("1;1;1;1;1;1;1"));
    QTest::newRow("six fields") << withCard(good, QStringLiteral("1,1,1,1,1,1"));
    QTest::newRow("eight fields") << withCard(good, QStringLiteral("1,1,1,1,1,1,1,1"));
    QTest::newRow("empty week") << withCard(good, QString());
    QTest::newRow("unknown card") << withCard(good, QStringLiteral("9,9,9,9,9,9,9"));
    QTest::newRow("card id not a number") << withCard(good, QStringLiteral("a,a,a,a,a,a,a"));
    QTest::newRow("bad times") << withCard(
        QStringLiteral("<Time state_id='1'>7:00</Time><Time state_id='1'>25:00</Time>"
                       "<Time state_id='1'>07:60</Time><Time state_id='1'></Time>"
                       "<Time state_id='1'>07-00</Time>"),
        QStringLiteral("1,1,1,1,1,1,1"));
    QTest::newRow("bad targets") << withCard(
        QStringLiteral("<Time>07:00</Time><Time state_id='x'>07:00</Time>"
                       "<Time state_id='-2'>07:00</Time><Time state_id=''>07:00</Time>"),
        QStringLiteral("1,1,1,1,1,1,1"));
    QTest::newRow("bad special days") << QStringLiteral(
        "<Calendar><SpecialDays>"
        "<SpecialDay day='32.13'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay day='1.5'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay day='01.05.27'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay day='30.02'><Time state_id='1'>00:00</Time></SpecialDay>"
        "<SpecialDay><Time state_id='1'>00:00</Time></SpecialDay>"
        "</SpecialDays></Calendar>");
    QTest::newRow("empty calendar") << QStringLiteral("<Calendar/>");
    QTest::newRow("no day cards") << QStringLiteral(
        "<Calendar><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar>");
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

void TestSchedule::nullInputs()
{
    const Schedule none(QDomElement(), QStringLiteral("state_id"));
    QCOMPARE(none.activeAt(at("2027-05-03T12:00")), -1);
    QCOMPARE(Velmora::activeTarget(QDomElement(), QStringLiteral("state_id"), at("2027-05-03T12:00")), -1);

    QDomDocument document;
    const Schedule week(parse(document, QLatin1String(WeekCalendar)), QStringLiteral("strategy_id"));
    QCOMPARE(week.activeAt(QDateTime()), -1);
    QVERIFY(!week.nextChange(QDateTime()).isValid());
}

void TestSchedule::weekDistribution_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVector<int>>("expected");

    const QVector<int> none(7, -1);
    QTest::newRow("five days, six commas") << "1,1,1,1,1,," << QVector<int>{1, 1, 1, 1, 1, -1, -1};
    QTest::newRow("all different") << "1,2,3,4,5,6,7" << QVector<int>{1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("blanks and bad fields") << " 1 , 2,x,,-3,5,6" << QVector<int>{1, 2, -1, -1, -1, 5, 6};
    QTest::newRow("only commas") << ",,,,,," << none;
    QTest::newRow("empty") << "" << none;
    QTest::newRow("three fields") << "1,2,3" << none;
    QTest::newRow("eight fields") << "1,2,3,4,5,6,7,8" << none;
    QTest::newRow("other separator") << "1 2 3 4 5 6 7" << none;
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
    QTest::newRow("from nothing") << week << at("2027-05-10T00:30") << at("2027-05-10T07:00");

    const QString same = QStringLiteral(
        "<Calendar><DayCards><DayCard id='1'><Time strategy_id='4'>05:00</Time></DayCard></DayCards>"
        "<WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar>");
    QTest::newRow("never changes") << same << at("2027-05-04T12:00") << QDateTime();
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
