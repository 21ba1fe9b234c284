// Calendars: what they plan over a range.
#include "Velmora/format/SchedulePreview.h"
#include "Velmora/format/ScheduleTable.h"
#include "Velmora/format/XmlDocument.h"

#include "DomText.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

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

// The table as it was made before it was streamed: every row in memory,
// columns measured at the end.
QString tableInMemory(const SchedulePreview& preview)
{
    auto time = [&preview](int minute) {
        const bool oneDay = preview.firstDate() == preview.lastDate();
        if (oneDay && minute == SchedulePreview::MinutesPerDay)
            return QStringLiteral("24:00");
        return preview.momentAt(minute, Qt::UTC).toString(oneDay ? "hh:mm" : "yyyy-MM-dd hh:mm");
    };
    auto table = [](const QVector<QStringList>& rows) {
        QVector<int> widths(rows.first().size());
        for (const QStringList& row : rows)
            for (int i = 0; i < row.size(); ++i)
                widths[i] = std::max(widths[i], row.at(i).size());
        QString text;
        for (const QStringList& row : rows) {
            text += QStringLiteral("  ");
            for (int i = 0; i + 1 < row.size(); ++i)
                text += row.at(i).leftJustified(widths.at(i)) + QStringLiteral("  ");
            text += row.last() + QLatin1Char('\n');
        }
        return text;
    };
    auto title = [](const char* what, int id, const QString& name) {
        return QStringLiteral("%1 %2 %3").arg(QLatin1String(what)).arg(id).arg(name).trimmed();
    };
    QString range = preview.firstDate().toString("yyyy-MM-dd");
    if (preview.lastDate() != preview.firstDate())
        range += ".." + preview.lastDate().toString("yyyy-MM-dd");
    QString text = title("Zone", preview.zoneId(), preview.zoneName()) + ", " + range + "\n";
    QVector<QStringList> rows{{"from", "to", "strategy"}};
    for (const PlanInterval& i : preview.strategies())
        rows.append({time(i.start), time(i.end), preview.strategyText(i)});
    text += "\nStrategies\n" + table(rows);
    for (const SchedulePreview::Area& area : preview.areas()) {
        const PlanTimeline sources = preview.controlSources(area.id);
        rows = {{"from", "to", "state", "control source"}};
        for (int s = 0, c = 0, start = 0; s < area.plan.size() && c < sources.size();) {
            const int end = std::min(area.plan.at(s).end, sources.at(c).end);
            rows.append({time(start), time(end), preview.stateText(area, area.plan.at(s)),
                         SchedulePreview::sourceText(sources.at(c).id)});
            start = end;
            s += area.plan.at(s).end == end;
            c += sources.at(c).end == end;
        }
        text += "\n" + title("Area", area.id, area.name) + "\n" + table(rows);
    }
    return text;
}

// A zone calendar that switches every `step` minutes between strategies 1, 2
// and 9 (missing) on working days, an area calendar that switches every
// `step + 1` minutes, and named and unnamed states of unequal length.
QString busyZone(int step)
{
    const auto switching = [](int every, const QList<int>& ids) {
        QString entries;
        for (int minute = 0; minute < SchedulePreview::MinutesPerDay; minute += every) {
            const QString at = QTime(minute / 60, minute % 60).toString("hh:mm");
            entries += QStringLiteral("%1=%2,").arg(at).arg(ids.at(minute / every % 3));
        }
        return entries;
    };
    return zone(calendar("strategy_id", {switching(step, {1, 2, 9}), "00:00=1"}, "1,1,1,1,1,2,", {"01.01:00:00=2"}),
                calendar("state_id", {switching(step + 1, {1, 2, 7}), "12:00=2"}, "1,1,1,1,1,1,2"),
                calendar("state_id", {"00:00=6"}, "1,1,1,1,1,1,1"));
}

} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
    // The preview of a range, read through Schedule
    void timelines_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("area"); // 0: the zone's strategies; below 0: that area's control sources
        QTest::addColumn<QString>("expected");

        const char* g = "strategy_id";
        const char* s = "state_id";
        auto row = [](const char* name, const QString& xml, const char* first, const char* last, int area,
                      const char* expected) {
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
        row("special days over the week", yearly, "2027-05-01", "2027-05-03", 1,
            "00:00=2 10:00=1 2.00:00=- 2.07:00=1 2.20:00=2");
        row("29.02 in a leap year", yearly, "2028-02-28", "2028-03-01", 1,
            "00:00=2 07:00=1 20:00=2 1.13:00=1 2.20:00=2");
        row("no 29.02 in other years", yearly, "2027-02-28", "2027-03-01", 1,
            "00:00=2 07:00=1 20:00=2 1.07:00=1 1.20:00=2");
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

    void timelines()
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
            // The moment a start stands for, on any day of the range, is that minute again.
            QCOMPARE(preview.minuteOf(preview.momentAt(i.start, Qt::UTC)), i.start);
        }
    }

    // What the table says for an interval of a plan or a control source; the
    // zone's strategy 3 and area 1's state 2 have no names.
    void texts_data()
    {
        QTest::addColumn<QString>("plan"); // "strategy", "state" (of area 1) or "source"
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("missing");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* plan, int id, int missing, const char* text) {
            QTest::newRow(name) << QString::fromLatin1(plan) << id << missing << QString::fromLatin1(text);
        };
        row("named strategy", "strategy", 2, -1, "2 Night");
        row("strategy without name", "strategy", 3, -1, "3");
        row("missing strategy", "strategy", -1, 9, "no plan (strategy 9 missing)");
        row("no strategy", "strategy", -1, -1, "no plan");
        row("named state", "state", 1, -1, "1 Peak");
        row("state without name", "state", 2, -1, "2");
        row("missing state", "state", -1, 7, "no plan (state 7 missing)");
        row("no source", "source", -1, -1, "no plan");
        row("not controlled", "source", 0, -1, "0 not controlled");
        row("calendar", "source", 1, -1, "1 calendar");
        row("adaptive", "source", 2, -1, "2 adaptive");
        row("local", "source", 3, -1, "3 local");
    }

    void texts()
    {
        QFETCH(QString, plan);
        QFETCH(int, id);
        QFETCH(int, missing);
        QFETCH(QString, text);
        QDomDocument document;
        const QString xml = zone(QString()).replace(QLatin1String("</Strategies>"),
                                                    QLatin1String("<Strategy id='3'/></Strategies>"));
        const SchedulePreview preview(parseXml(&document, xml), day("2027-05-03"), day("2027-05-03"));
        const PlanInterval interval{0, SchedulePreview::MinutesPerDay, id, missing};
        const QString shown = plan == "strategy" ? preview.strategyText(interval)
                            : plan == "state"    ? preview.stateText(*preview.area(1), interval)
                                                 : SchedulePreview::sourceText(id);
        QCOMPARE(shown, text);
    }

    // The plain-text table, streamed a chunk of days at a time
    void tables_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        const QString examples = QStringLiteral(VELMORA_EXAMPLES);
        const QString north = QString::fromUtf8(readFile(examples + "/north.xtsc"));
        const QString zarechny = QString::fromUtf8(readFile(examples + "/zarechny.xtsc"));
        QTest::newRow("one day") << north << day("2027-05-03") << day("2027-05-03");
        QTest::newRow("a week of the district") << zarechny << day("2027-05-03") << day("2027-05-09");
        QTest::newRow("over the turn of a leap year") << busyZone(7) << day("2027-12-28") << day("2028-03-02");
        QTest::newRow("every minute a change") << busyZone(1) << day("2027-05-06") << day("2027-05-11");
        // The state column of each area is as wide as its own names.
        QTest::newRow("one state id, named otherwise in two areas")
            << zone(calendar("strategy_id", {"00:00=1"}, "1,1,1,1,1,1,1"),
                    calendar("state_id", {"00:00=1,12:00=2"}, "1,1,1,1,1,1,1"),
                    calendar("state_id", {"00:00=1,08:00=6"}, "1,1,1,1,1,1,1"))
                   .replace(QLatin1String("<State id='5'/>"), QLatin1String("<State id='1' name='Morning rush'/>"))
            << day("2027-05-03") << day("2027-05-03");
        QTest::newRow("a zone without areas or calendar")
            << QStringLiteral("<Zone id='3'/>") << day("2027-01-01") << day("2027-03-01");
    }

    void tables()
    {
        QFETCH(QString, xml);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QDomDocument document;
        const QDomElement root = parseXml(&document, xml);
        const SchedulePreview preview(root, first, last);
        const QString expected = tableInMemory(preview);
        QCOMPARE(preview.renderTable(), expected);
        // Chunks of one day, of a few days that end anywhere in a week, and of more than the range.
        for (const int chunkDays : {1, 3, 100}) {
            QString text;
            QTextStream out(&text);
            QString error;
            QVERIFY2(Velmora::ScheduleTable::write(out, root, first, last, &error, chunkDays), qPrintable(error));
            out.flush();
            QCOMPARE(text, expected);
        }
    }

    void tableWithoutTemporaryFile()
    {
        QDomDocument document;
        const QDomElement root = parseXml(&document, busyZone(60));
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", "/dev/null");
        QString text;
        QTextStream out(&text);
        QString error;
        const bool written =
            Velmora::ScheduleTable::write(out, root, day("2027-05-03"), day("2027-05-09"), &error, 2);
        qputenv("TMPDIR", tmp);
        QVERIFY(!written);
        QVERIFY2(error.startsWith("Cannot open a temporary file for the area tables: "), qPrintable(error));
        // Refused arguments write nothing.
        QVERIFY(!Velmora::ScheduleTable::write(out, root, day("2020-01-01"), day("2035-01-01"), &error));
        QCOMPARE(error, SchedulePreview::tr("A preview covers at most %1 days.").arg(SchedulePreview::MaxDays));
        out.flush();
        QVERIFY(!text.contains("Area 1 West"));
    }

    // Read from a file in one pass that skips what the calendars do not need
    void fromFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QDate>("day");
        const QString examples = QStringLiteral(VELMORA_EXAMPLES);
        const QDate monday = day("2027-05-03");
        QTest::newRow("district") << readFile(examples + "/zarechny.xtsc") << monday;
        QTest::newRow("special day of an area") << readFile(examples + "/north.xtsc") << day("2027-01-01");
        // What a skipped element holds never reaches the plan: states named inside
        // their settings, calendars inside outlines, strategies inside controllers.
        const QString hidden = QStringLiteral("<Geometry>0,0;1,1<Calendar><WeekDistribution>2,2,2,2,2,2,2"
                                              "</WeekDistribution></Calendar></Geometry>");
        QTest::newRow("look-alikes in skipped elements")
            << zone(hidden + calendar("strategy_id", {"06:00=1,22:00=2"}, "1,1,1,1,1,1,1"),
                    QStringLiteral("<Controllers>1<Strategies><Strategy id='9'/></Strategies></Controllers>")
                        + calendar("state_id", {"07:00=1"}, "1,1,1,1,1,1,1"))
                   .replace(QLatin1String("<State id='2'/>"),
                            QLatin1String("<State id='2'><Controller id='4'><State id='7' name='x'/></Controller></State>"))
                   .toUtf8()
            << monday;
        QTest::newRow("character data, references and comments")
            << zone(calendar("strategy_id", {"06:00=1,22:00=2"}, "1,1,1,1,1,1,1")
                        .replace(QLatin1String(">06:00<"), QLatin1String("><!-- early --><![CDATA[06:00]]><"))
                        .replace(QLatin1String(">22:00<"), QLatin1String(">&#50;2:&#48;0<")))
                   .toUtf8()
            << monday;
        QTest::newRow("not a zone") << QByteArray("<Area id='1'/>") << monday;
        QTest::newRow("broken") << QByteArray("<Zone id='21'>\n<Calendar>") << monday;
        QTest::newRow("empty") << QByteArray() << monday;
        QTest::newRow("too deep") << (QByteArray("<Zone><Calendar>") + QByteArray("<a>").repeated(300)) << monday;
    }

    // The same preview, or the same refusal, as from the whole document.
    void fromFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QDate, day);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("zone.xtsc"));
        QVERIFY(writeFile(file, content));
        const auto outcome = [](const Velmora::Xml::ReadError& error, const SchedulePreview& preview) {
            return QStringLiteral("%1 %2:%3 %4\nnull %5 %6\n%7\n%8")
                .arg(QString::number(error.kind), QString::number(error.line), QString::number(error.column),
                     error.message, QString::number(preview.isNull()), preview.error(), preview.zoneName(),
                     preview.renderTable());
        };
        Velmora::Xml::ReadError error;
        QDomDocument document;
        const bool readable = Velmora::Xml::readDocument(file, &document, &error);
        const QString expected =
            outcome(error, readable ? SchedulePreview(document.documentElement(), day, day) : SchedulePreview());
        Velmora::Xml::ReadError fileError;
        QCOMPARE(outcome(fileError, SchedulePreview::fromFile(file, day, day, &fileError)), expected);
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
