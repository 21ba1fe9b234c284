// Time of the schedule preview (a year of every area of a generated zone), of
// the plain-text table of one day and of the configuration check, for zones of
// growing size; then the inputs that once took quadratic time or memory: a
// long outline, many faulty entries and 1,000 overlapping area outlines for
// the check, and years of a card that switches every minute streamed as a
// table. Prints figures; never fails on time.
#include "ProcessMemory.h"
#include "Velmora/format/ConfigChecker.h"
#include "Velmora/format/SchedulePreview.h"
#include "Velmora/format/ScheduleTable.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cmath>

#include <algorithm>
#include <functional>
#include <tuple>

namespace {

// A zone like the district example, scaled: five strategies over every area,
// areas with eight states, three day cards of four to six entries each, and
// yearly and dated special days.
QString zoneText(int areas)
{
    QString xml;
    QTextStream out(&xml);
    out << "<Zone id=\"1\" name=\"Bench\">\n<Geometry>0,0;100,0;100,100;0,100</Geometry>\n<Calendar><DayCards>\n"
           "<DayCard id=\"1\"><Time strategy_id=\"4\">00:00</Time><Time strategy_id=\"2\">06:30</Time>"
           "<Time strategy_id=\"1\">10:00</Time><Time strategy_id=\"3\">16:30</Time>"
           "<Time strategy_id=\"1\">19:30</Time><Time strategy_id=\"4\">22:30</Time></DayCard>\n"
           "<DayCard id=\"2\"><Time strategy_id=\"4\">00:00</Time><Time strategy_id=\"5\">08:00</Time>"
           "<Time strategy_id=\"4\">23:00</Time></DayCard>\n"
           "</DayCards><WeekDistribution>1,1,1,1,1,2,2</WeekDistribution></Calendar>\n<Strategies>\n";
    for (int s = 1; s <= 5; ++s) {
        out << "<Strategy id=\"" << s << "\" name=\"S" << s << "\"" << (s == 1 ? " default=\"1\"" : "") << ">\n";
        for (int a = 1; a <= areas; ++a)
            out << "<Area id=\"" << a << "\" control_source=\"" << (a + s) % 3 + 1 << "\"/>\n";
        out << "</Strategy>\n";
    }
    out << "</Strategies>\n<Areas>\n";
    for (int a = 1; a <= areas; ++a) {
        const double x = (a % 100) * 1.0;
        const double y = (a / 100) * 1.0;
        const int c = a * 10;
        out << "<Area id=\"" << a << "\" name=\"Area " << a << "\">\n<Geometry>" << x << ',' << y << ';' << x + 0.9
            << ',' << y << ';' << x + 0.9 << ',' << y + 0.9 << ';' << x << ',' << y + 0.9 << "</Geometry>\n"
            << "<Controllers>" << c << ',' << c + 1 << ',' << c + 2 << ',' << c + 3 << "</Controllers>\n<States>\n";
        for (int s = 1; s <= 8; ++s) {
            out << "<State id=\"" << s << "\" name=\"State " << s << "\">";
            for (int k = 0; k < 4; ++k)
                out << "<Controller id=\"" << c + k << "\" state=\"0\" program_id=\"" << (s + k) % 4 + 1 << "\"/>";
            out << "</State>\n";
        }
        // Cards shifted a little per area, so the areas do not all change at once.
        const int shift = a % 30;
        out << "</States>\n<Calendar><WeekDistribution>1,1,1,1,2,3,3</WeekDistribution><DayCards>\n";
        for (int card = 1; card <= 3; ++card) {
            out << "<DayCard id=\"" << card << "\">";
            for (int t = 0; t < 3 + card; ++t) {
                const int minute = t * 240 / (card == 1 ? 1 : 2) + shift;
                out << "<Time state_id=\"" << (t + card) % 8 + 1 << "\">"
                    << QStringLiteral("%1:%2").arg(minute / 60 % 24, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0'))
                    << "</Time>";
            }
            out << "</DayCard>\n";
        }
        out << "</DayCards><SpecialDays>"
               "<SpecialDay day=\"01.01\"><Time state_id=\"8\">00:00</Time><Time state_id=\"2\">09:00</Time></SpecialDay>"
               "<SpecialDay day=\"08.03\"><Time state_id=\"2\">00:00</Time></SpecialDay>"
               "<SpecialDay day=\"09.05\"><Time state_id=\"8\">00:00</Time><Time state_id=\"2\">09:00</Time></SpecialDay>"
               "<SpecialDay day=\"12.06.2027\"><Time state_id=\"2\">08:00</Time></SpecialDay>"
               "<SpecialDay day=\"31.12.2027\"><Time state_id=\"3\">00:00</Time></SpecialDay>"
               "</SpecialDays></Calendar>\n</Area>\n";
    }
    out << "</Areas>\n</Zone>\n";
    out.flush();
    return xml;
}

// Best of `runs` timings, in milliseconds.
double bestMs(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

QString number(double value, int width, int decimals = 1)
{
    return QString::number(value, 'f', decimals).rightJustified(width);
}

// A clean small zone whose one area has `outline` and whose zone calendar has
// `entries` extra Time entries, all with a time that is none.
QString checkedZone(const QString& outline, int entries)
{
    QString xml;
    QTextStream out(&xml);
    out << "<Zone id=\"1\"><Geometry>0,0;1,0;1,1</Geometry><Calendar><DayCards><DayCard id=\"1\">"
           "<Time strategy_id=\"1\">00:00</Time>";
    for (int k = 0; k < entries; ++k)
        out << "<Time strategy_id=\"1\">25:00</Time>";
    out << "</DayCard></DayCards><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar>"
           "<Strategies><Strategy id=\"1\" default=\"1\"><Area id=\"2\" control_source=\"1\"/></Strategy></Strategies>"
           "<Areas><Area id=\"2\"><Geometry>"
        << outline
        << "</Geometry><Controllers/><States><State id=\"1\"/></States><Calendar><DayCards><DayCard id=\"1\">"
           "<Time state_id=\"1\">00:00</Time></DayCard></DayCards><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution>"
           "</Calendar></Area></Areas></Zone>";
    out.flush();
    return xml;
}

// A town-sized ring of `points` points in degrees: no edge meets another,
// so every pair is a candidate for a naive test.
QString ring(int points)
{
    QStringList texts;
    for (int k = 0; k < points; ++k) {
        const double angle = 2 * M_PI * k / points;
        texts << QStringLiteral("%1,%2").arg(37.6 + 0.1 * std::cos(angle), 0, 'f', 9).arg(55.7 + 0.05 * std::sin(angle), 0, 'f', 9);
    }
    return texts.join(QLatin1Char(';'));
}

// `areas` areas of 20-point round outlines on a grid in degrees, each
// overlapping its four neighbours a little, with two controllers whose programs
// have phases: every rule on outlines and programs has work to do.
QString outlinedZone(int areas)
{
    const int side = int(std::ceil(std::sqrt(double(areas))));
    const double step = 0.01;
    QString xml;
    QTextStream out(&xml);
    out << "<Zone id=\"1\"><Geometry>37,55;" << 37 + side * step << ",55;" << 37 + side * step << ','
        << 55 + side * step << ";37," << 55 + side * step << "</Geometry>"
        << "<Calendar><DayCards><DayCard id=\"1\"><Time strategy_id=\"1\">00:00</Time></DayCard></DayCards>"
           "<WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar><Strategies><Strategy id=\"1\" default=\"1\">";
    for (int a = 1; a <= areas; ++a)
        out << "<Area id=\"" << a << "\" control_source=\"1\"/>";
    out << "</Strategy></Strategies><Areas>";
    for (int a = 1; a <= areas; ++a) {
        const double cx = 37 + ((a - 1) % side + 0.5) * step;
        const double cy = 55 + ((a - 1) / side + 0.5) * step;
        QStringList points;
        for (int k = 0; k < 20; ++k) {
            const double angle = 2 * M_PI * k / 20;
            points << QStringLiteral("%1,%2").arg(cx + 0.0053 * std::cos(angle), 0, 'f', 9).arg(cy + 0.0053 * std::sin(angle), 0, 'f', 9);
        }
        out << "<Area id=\"" << a << "\"><Geometry>" << points.join(QLatin1Char(';')) << "</Geometry><Controllers>"
            << 2 * a << ',' << 2 * a + 1 << "</Controllers><States><State id=\"1\">";
        for (int c = 2 * a; c <= 2 * a + 1; ++c)
            out << "<Controller id=\"" << c << "\" state=\"0\"><Program type=\"2\" cycle_length=\"" << 60 * (c - 2 * a + 1)
                << "\" cycle_shift=\"0\">1,2<Phase start=\"0\" length=\"25\" full_length=\"30\">1</Phase>"
                   "<Phase start=\"30\" length=\"25\" full_length=\"30\">2</Phase></Program></Controller>";
        out << "</State></States><Calendar><DayCards><DayCard id=\"1\"><Time state_id=\"1\">00:00</Time></DayCard>"
               "</DayCards><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar></Area>";
    }
    out << "</Areas></Zone>";
    out.flush();
    return xml;
}

// The zone's strategies and one area's states switch every minute on working
// days; weekends have a card of a few entries.
QString everyMinuteZone()
{
    QString xml;
    QTextStream out(&xml);
    out << "<Zone id=\"1\" name=\"Busy\"><Calendar><DayCards><DayCard id=\"1\">";
    for (int minute = 0; minute < 1440; ++minute)
        out << "<Time strategy_id=\"" << minute % 3 + 1 << "\">" << QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0')) << "</Time>";
    out << "</DayCard><DayCard id=\"2\"><Time strategy_id=\"1\">00:00</Time><Time strategy_id=\"2\">12:00</Time></DayCard>"
           "</DayCards><WeekDistribution>1,1,1,1,1,2,2</WeekDistribution></Calendar><Strategies>"
           "<Strategy id=\"1\" name=\"One\" default=\"1\"><Area id=\"1\" control_source=\"1\"/></Strategy>"
           "<Strategy id=\"2\" name=\"Two\"><Area id=\"1\" control_source=\"2\"/></Strategy>"
           "<Strategy id=\"3\" name=\"Three\"/></Strategies><Areas><Area id=\"1\" name=\"Centre\"><States>"
           "<State id=\"1\" name=\"Low\"/><State id=\"2\" name=\"High\"/></States><Calendar><DayCards><DayCard id=\"1\">";
    for (int minute = 0; minute < 1440; ++minute)
        out << "<Time state_id=\"" << minute % 2 + 1 << "\">" << QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0')) << "</Time>";
    out << "</DayCard></DayCards><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar></Area></Areas></Zone>";
    out.flush();
    return xml;
}

// The process's peak resident memory so far, in MiB; -1 where it cannot be read.
double peakMiB()
{
    const long kb = Velmora::Bench::statusKb("VmHWM");
    return kb < 0 ? -1 : kb / 1024.0;
}

void checkFigures(QTextStream& out, bool shortRun)
{
    const int vertices = shortRun ? 2000 : 20000;
    const int entries = shortRun ? 5000 : 50000;
    out << "\ncheck of inputs that once took quadratic time\n"
           "case                              size  check ms  findings\n";
    const int areas = 1000;
    const QList<std::tuple<QString, int, QString>> cases{
        {QStringLiteral("outline vertices"), vertices, checkedZone(ring(vertices), 0)},
        {QStringLiteral("faulty Time entries"), entries, checkedZone(QStringLiteral("0,0;1,0;1,1"), entries)},
        {QStringLiteral("areas of 20-point outlines"), areas, outlinedZone(areas)}};
    for (const auto& [name, size, xml] : cases) {
        QDomDocument document;
        document.setContent(xml);
        int findings = 0;
        const double check = bestMs(1, [&] { findings = Velmora::ConfigChecker::check(document).size(); });
        out << name.leftJustified(28) << QString::number(size).rightJustified(10)
            << "  " << number(check, 8) << "  " << QString::number(findings).rightJustified(8) << '\n';
        out.flush();
    }
}

void tableFigures(QTextStream& out, bool shortRun)
{
    const QDate first(2027, 1, 1);
    const QDate last = shortRun ? first.addDays(69) : first.addDays(Velmora::SchedulePreview::MaxDays - 1);
    QDomDocument document;
    document.setContent(everyMinuteZone());
    QFile sink(QStringLiteral("/dev/null"));
    sink.open(QIODevice::WriteOnly);
    QTextStream table(&sink);
    table.setCodec("UTF-8");

    const double before = peakMiB();
    Velmora::Bench::resetPeak();
    const double base = peakMiB();
    QString error;
    bool written = false;
    const double ms = bestMs(1, [&] {
        written = Velmora::ScheduleTable::write(table, document.documentElement(), first, last, &error);
        table.flush();
    });
    const double peak = peakMiB();
    out << "schedule table of a card that switches every minute, streamed\n"
           "days   table ms  peak MiB over start  (start MiB)\n"
        << QString::number(first.daysTo(last) + 1).rightJustified(4) << "  " << number(ms, 9) << "  "
        << number(peak - base, 19) << "  ("
        << number(before, 1) << ")" << (written ? "" : "  failed: " + error) << '\n';
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bool shortRun = app.arguments().contains(QStringLiteral("--short"));
    const QList<int> sizes = shortRun ? QList<int>{100, 1000} : QList<int>{100, 1000, 5000};
    const int runs = shortRun ? 2 : 5;
    const QDate first(2027, 1, 1);
    const QDate last(2027, 12, 31);

    QTextStream out(stdout);
    // First, while the process is small: the table's figure is its peak memory.
    tableFigures(out, shortRun);
    checkFigures(out, shortRun);
    out << "\na year (" << first.daysTo(last) + 1 << " days) of every area; best of " << runs << " runs\n";
    out << "areas  file MiB  parse ms  year ms  intervals  year us/area  day ms  table ms  check ms  findings\n";
    for (int areas : sizes) {
        const QString xml = zoneText(areas);
        QDomDocument document;
        const double parse = bestMs(runs, [&] {
            document = QDomDocument();
            document.setContent(xml);
        });
        const QDomElement root = document.documentElement();

        int intervals = 0;
        const double year = bestMs(runs, [&] {
            const Velmora::SchedulePreview preview(root, first, last);
            intervals = preview.strategies().size();
            for (const Velmora::SchedulePreview::Area& area : preview.areas())
                intervals += area.plan.size();
        });
        const double day = bestMs(runs, [&] { Velmora::SchedulePreview(root, first, first); });
        const Velmora::SchedulePreview oneDay(root, first, first);
        const double table = bestMs(runs, [&] { oneDay.renderTable(); });
        int findings = 0;
        const double check = bestMs(runs, [&] { findings = Velmora::ConfigChecker::check(document).size(); });

        out << QString::number(areas).rightJustified(5) << "  " << number(xml.toUtf8().size() / 1048576.0, 8, 2)
            << "  " << number(parse, 8) << "  " << number(year, 7) << "  " << QString::number(intervals).rightJustified(9)
            << "  " << number(year * 1000 / areas, 12) << "  " << number(day, 6) << "  " << number(table, 8) << "  "
            << number(check, 8) << "  " << QString::number(findings).rightJustified(8) << '\n';
        out.flush();
    }
    return 0;
}
