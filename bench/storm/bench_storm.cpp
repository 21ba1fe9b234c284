// The workstation under an event storm: the real main window (offscreen, in
// this process) with a zone of 100 or 1,000 areas (or the sizes asked), linked to a fake service on
// the loopback that sends area events as fast as the workstation reads them.
// Prints the events applied per second and the longest stretch the GUI thread
// was blocked (how late a 5 ms timer fired at worst, by the wall clock and by
// the thread's own processor time, which a busy machine does not stretch),
// then checks that the zone, after the storm, holds the last state sent for
// every area and that the map was drawn after it. Never fails on time.
//
//   bench_storm [--short] [--sizes 100,1000,5000]
//
// With STORM_TRACE set, every event that kept the GUI thread over 20 ms is
// printed with its receiver, to find what blocks.
#include "EventStorm.h"
#include "MainWindow.h"
#include "ModuleHost.h"
#include "ModulePlugin.h"
#include "QtOwnLeaks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using namespace Velmora;

namespace {

constexpr int ZoneId = 1;
constexpr int Columns = 40;
constexpr int States = 4;

void writeZone(const QString& path, int areas)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&file);
    const int rows = (areas + Columns - 1) / Columns;
    out << "<Zone id=\"" << ZoneId << "\" name=\"Storm\">\n<Geometry>0,0;" << Columns * 10 << ",0;" << Columns * 10
        << ',' << rows * 10 << ";0," << rows * 10 << "</Geometry>\n"
        << "<Strategies><Strategy id=\"1\" name=\"All\" default=\"1\">";
    for (int id = 1; id <= areas; ++id)
        out << "<Area id=\"" << id << "\" control_source=\"1\"/>";
    out << "</Strategy></Strategies>\n<Areas>\n";
    for (int id = 1; id <= areas; ++id) {
        const int x = ((id - 1) % Columns) * 10;
        const int y = ((id - 1) / Columns) * 10;
        out << "<Area id=\"" << id << "\" name=\"Area " << id << "\"><Geometry>" << x << ',' << y << ';' << x + 9
            << ',' << y << ';' << x + 9 << ',' << y + 9 << ';' << x << ',' << y + 9 << "</Geometry><Controllers>"
            << id << "</Controllers><States>";
        for (int s = 1; s <= States; ++s)
            out << "<State id=\"" << s << "\" name=\"S" << s << "\"><Controller id=\"" << id << "\" state=\"1\"/></State>";
        out << "</States><Calendar><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution><DayCards><DayCard id=\"1\">"
               "<Time state_id=\"1\">00:00</Time></DayCard></DayCards></Calendar></Area>\n";
    }
    out << "</Areas>\n</Zone>\n";
}

// Times every event the GUI thread dispatches from its loop, when asked to.
class TracingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0 || !m_tracing) {
            const bool r = QApplication::notify(receiver, event);
            --m_depth;
            return r;
        }
        // Named before: the event may delete its receiver.
        const QString what = QStringLiteral("%1 %2 %3")
                                 .arg(QLatin1String(receiver->metaObject()->className()))
                                 .arg(int(event->type()))
                                 .arg(receiver->objectName());
        QElapsedTimer t;
        t.start();
        const bool r = QApplication::notify(receiver, event);
        --m_depth;
        if (t.elapsed() > 20)
            std::fprintf(stderr, "%lld ms: %s\n", t.elapsed(), qPrintable(what));
        return r;
    }
    int m_depth = 0;
    // Asked once: reading the environment takes a lock, at every event it would slow the storm.
    const bool m_tracing = qEnvironmentVariableIsSet("STORM_TRACE");
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TracingApplication app(argc, argv);
    const bool shortRun = app.arguments().contains(QStringLiteral("--short"));
    const int floodMs = shortRun ? 1500 : 5000;

    QTemporaryDir dir;
    // The user's recent files and window layout stay out of it.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
    ModuleHost host;
    QString error;
    if (!host.loadPlugin(VelmoraHost::defaultPluginPath(), &error)) {
        std::fprintf(stderr, "bench_storm: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("event storm: area events sent as fast as the workstation reads them, %d ms per size%s\n", floodMs,
                shortRun ? " (--short)" : "");
    std::printf("%8s %14s %18s %14s %8s %s\n", "areas", "events/s", "longest block ms", "cpu block ms", "frames",
                "last state shown");
    QList<int> sizes{100, 1000};
    const int sizesAt = app.arguments().indexOf(QStringLiteral("--sizes"));
    if (sizesAt > 0 && sizesAt + 1 < app.arguments().size()) {
        sizes.clear();
        for (const QString& size : app.arguments().at(sizesAt + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
            sizes << std::max(1, size.toInt());
    }
    for (int areas : qAsConst(sizes)) {
        const QString file = dir.filePath(QStringLiteral("storm%1.xtsc").arg(areas));
        writeZone(file, areas);
        MainWindow window(&host);
        window.setPersistSettings(false);
        Velmora::Bench::StormFigures f;
        if (window.openZone(file)) {
            window.show();
            window.fitAll();
            f = Velmora::Bench::runEventStorm(&host, &window, areas, floodMs);
        } else {
            f.problem = QStringLiteral("cannot open the zone");
        }
        std::printf("%8d %14.0f %18lld %14.1f %8d %s\n", areas, f.eventsPerSecond,
                    static_cast<long long>(f.longestBlockMs), f.longestBlockCpuMs, f.frames,
                    f.lastStateShown ? "yes" : qPrintable(QStringLiteral("no: ") + f.problem));
        std::fflush(stdout);
    }
    std::printf("targets at 1000 areas: at least 10000 events/s, never blocked more than 50 ms\n");
    return 0;
}
