// Time of the schedule preview (a year of every area of a generated zone), of
// the plain-text table of one day and of the configuration check, for zones of
// growing size. Prints figures; never fails on time.
#include "Velmora/format/ConfigChecker.h"
#include "Velmora/format/SchedulePreview.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <functional>

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
    out << "a year (" << first.daysTo(last) + 1 << " days) of every area; best of " << runs << " runs\n";
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
