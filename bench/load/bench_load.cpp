// Time of Zone::load against the floor the format needs (one streaming pass and
// one DOM parse of the same file), for generated zones of growing size.
#include <QApplication>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QXmlStreamReader>

#include <sys/resource.h>

#include "Velmora/Zone.h"

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

void writeZone(const QString& path, int areas)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&file);
    out << "<Zone id=\"1\" name=\"Bench\">\n    <Geometry>0,0;1,0;1,1;0,1</Geometry>\n    <Strategies>\n";
    for (int s = 1; s <= 3; ++s) {
        out << "        <Strategy id=\"" << s << "\" name=\"S" << s << "\">\n";
        for (int a = 1; a <= areas; ++a)
            out << "            <Area id=\"" << a << "\" control_source=\"1\"/>\n";
        out << "        </Strategy>\n";
    }
    out << "    </Strategies>\n    <Areas>\n";
    for (int a = 1; a <= areas; ++a)
        writeArea(out, a, a * 20);
    out << "    </Areas>\n</Zone>\n";
}

double floorMs(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&file);
    while (!reader.atEnd())
        reader.readNext();
    file.seek(0);
    {
        // Freeing the document is part of the cost, as it is for a load.
        QDomDocument document;
        document.setContent(&file);
    }
    return timer.nsecsElapsed() / 1e6;
}

double loadMs(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    Velmora::Zone zone;
    if (!zone.load(path))
        qFatal("load failed");
    return timer.nsecsElapsed() / 1e6;
}

long peakKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}


} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool shortRun = app.arguments().contains(QStringLiteral("--short"));
    const QList<int> sizes = shortRun ? QList<int>{10, 100, 1000} : QList<int>{10, 100, 1000, 5000};
    const int runs = shortRun ? 2 : 5;
    QTemporaryDir dir;
    QTextStream out(stdout);
    out << "areas   file MiB   load ms  floor ms  ratio  load us/area  peak RSS MiB\n";
    for (int areas : sizes) {
        const QString path = dir.filePath(QStringLiteral("zone%1.xtsc").arg(areas));
        writeZone(path, areas);
        // Interleaved, so both see the same allocator and page-cache state.
        double floor = 1e300;
        double load = 1e300;
        for (int run = 0; run < runs; ++run) {
            floor = std::min(floor, floorMs(path));
            load = std::min(load, loadMs(path));
        }
        out << qSetFieldWidth(5) << areas << qSetFieldWidth(0) << "  "
            << QString::number(QFileInfo(path).size() / 1048576.0, 'f', 2).rightJustified(9) << "  "
            << QString::number(load, 'f', 1).rightJustified(8) << "  "
            << QString::number(floor, 'f', 1).rightJustified(8) << "  "
            << QString::number(load / floor, 'f', 2).rightJustified(5) << "  "
            << QString::number(load * 1000 / areas, 'f', 1).rightJustified(12) << "  "
            << QString::number(peakKb() / 1024.0, 'f', 1).rightJustified(12) << '\n';
        out.flush();
    }
    return 0;
}
