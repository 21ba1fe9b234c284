#include "ZoneGenerator.h"

#include <QFile>
#include <QTextStream>

namespace Velmora {
namespace Bench {

namespace {

void writeArea(QTextStream& out, int area, int firstController)
{
    const double x = (area % 100) * 0.01;
    const double y = (area / 100) * 0.01;
    out << "        <Area id=\"" << area << "\" name=\"Area " << area << "\">\n";
    out << "            <Geometry>" << x << ',' << y << ';' << x + 0.009 << ',' << y << ';' << x + 0.009 << ','
        << y + 0.009 << ';' << x << ',' << y + 0.009 << "</Geometry>\n";
    out << "            <Controllers>";
    for (int c = 0; c < 20; ++c)
        out << (c ? "," : "") << firstController + c;
    out << "</Controllers>\n            <States>\n";
    for (int s = 1; s <= 8; ++s) {
        out << "                <State id=\"" << s << "\" name=\"State " << s << "\">\n";
        for (int c = 0; c < 20; ++c)
            out << "                    <Controller id=\"" << firstController + c << "\" state=\"0\" program_id=\""
                << (s + c) % 4 + 1 << "\"/>\n";
        out << "                </State>\n";
    }
    out << "            </States>\n            <Calendar>\n"
           "                <WeekDistribution>1,1,1,1,1,2,2</WeekDistribution>\n"
           "                <DayCards>\n";
    for (int card = 1; card <= 2; ++card) {
        out << "                    <DayCard id=\"" << card << "\">\n";
        for (int t = 0; t < 4; ++t)
            out << "                        <Time state_id=\"" << t + 1 << "\">0" << t * 2 + 1 << ":30</Time>\n";
        out << "                    </DayCard>\n";
    }
    out << "                </DayCards>\n                <SpecialDays>\n"
           "                    <SpecialDay day=\"01.01\"><Time state_id=\"8\">00:00</Time></SpecialDay>\n"
           "                </SpecialDays>\n            </Calendar>\n        </Area>\n";
}

} // namespace

void writeZone(const QString& path, int areas, int strategies, bool complete)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&file);
    out << "<Zone id=\"1\" name=\"Bench\">\n    <Geometry>0,0;1,0;1,1;0,1</Geometry>\n";
    if (complete) {
        out << "    <Calendar>\n        <WeekDistribution>1,1,1,1,1,1,1</WeekDistribution>\n"
               "        <DayCards><DayCard id=\"1\">";
        for (int s = 1; s <= strategies; ++s)
            out << "<Time strategy_id=\"" << s << "\">" << 10 + s << ":00</Time>";
        out << "</DayCard></DayCards>\n    </Calendar>\n";
    }
    out << "    <Strategies>\n";
    for (int s = 1; s <= strategies; ++s) {
        out << "        <Strategy id=\"" << s << "\" name=\"S" << s << "\""
            << (complete && s == 1 ? " default=\"1\"" : "") << ">\n";
        for (int a = 1; a <= areas; ++a)
            out << "            <Area id=\"" << a << "\" control_source=\"1\"/>\n";
        out << "        </Strategy>\n";
    }
    out << "    </Strategies>\n    <Areas>\n";
    for (int a = 1; a <= areas; ++a)
        writeArea(out, a, a * 20);
    out << "    </Areas>\n</Zone>\n";
}

} // namespace Bench
} // namespace Velmora
