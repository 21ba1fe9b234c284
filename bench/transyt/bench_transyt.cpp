// TRANSYT import of a generated report (50 sections, 20 controllers): the
// conversion alone, the whole dialog run, and the longest stretch the GUI
// thread did not get back to its event loop while the dialog ran (lateness of
// a 5 ms timer), apart from the script's start in the constructor.
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "Velmora/import/EmbeddedPython.h"
#include "Velmora/import/TolImportDlg.h"

namespace {

constexpr int sections = 50;
constexpr int controllers = 20;
constexpr int stages = 4;

void row(QTextStream& out, const QStringList& cells)
{
    out << "<tr>";
    for (const QString& cell : cells)
        out << "<td>" << cell;
    out << "\n";
}

void table(QTextStream& out, const QString& title, const QStringList& header, const QList<QStringList>& rows)
{
    out << "<p class=tablenameLevel1>" << title << "\n<table border=1><tbody>\n";
    row(out, header);
    for (const QStringList& r : rows)
        row(out, r);
    out << "</tbody></table>\n";
}

void writeReport(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << "<html><head><meta charset=utf-8><title>bench</title></head><body>\n"
           "<table><tr><td><table><tr><td>Area Name:<td>Bench area<tr><td>Project:<td>bench.tp"
           "<tr><td>Area ID:<td>9</table></table>\n<div class=contents>\n";
    for (int s = 1; s <= sections; ++s)
        out << "<p class=Contents0><a class=Contents0 href=#s" << s << ">Plan " << s << "</a>\n";
    out << "</div>\n";
    QList<QStringList> stream;
    for (int c = 1; c <= controllers; ++c)
        stream << QStringList{QString::number(1000 + c), "1", QStringLiteral("Junction %1").arg(c)};
    table(out, "Controller Stream", {"Controller", "Stream", "Name"}, stream);

    for (int s = 1; s <= sections; ++s) {
        const int cycle = 60 + (s % 7) * 10;
        const QString start = QStringLiteral("%1:%2").arg(s % 24, 2, 10, QLatin1Char('0')).arg((s * 7) % 60, 2, 10,
                                                                                                QLatin1Char('0'));
        const QString code = QStringLiteral("{Velmora:w%1}").arg(s % 7 + 1);
        out << "<p class=tablenameLevel0><a name=s" << s << "></a>Plan " << s << "\n";
        table(out, "Run Summary", {"Set", "Description", "Network", "Start Time", "Cycle Time (s)"},
              {{QString::number(s), code, "Bench", start, QString::number(cycle)}});
        QList<QStringList> sequences;
        QList<QStringList> resultant;
        for (int c = 1; c <= controllers; ++c) {
            const QString id = QString::number(1000 + c);
            sequences << QStringList{id, "1", "1", "1,2,3,4"};
            const int shift = (c * 11) % cycle;
            for (int stage = 1; stage <= stages; ++stage) {
                const int begin = ((stage - 1) * cycle / stages + c) % cycle;
                resultant << QStringList{id, QString::number(stage), "1", "A", "7", QString::number(begin),
                                         QString::number(shift), QString::number(cycle / stages - 5)};
            }
        }
        table(out, "Stage Sequences", {"Controller", "Stream", "Sequence", "Stages"}, sequences);
        table(out, "Resultant Stages",
              {"Controller", "Stage", "Stream", "Phases", "Min", "Start", "Offset", "Duration"}, resultant);
        table(out, "Analysis Set Details", {"ID", "Description"}, {{QString::number(s), code}});
    }
    out << "</body></html>\n";
}

// The conversion alone, run to its end on this thread.
double conversionMs(const QString& report)
{
    Velmora::EmbeddedPython module;
    QObject::connect(&module, &Velmora::EmbeddedPython::stdErr,
                     [](const QString& text) { std::fputs(qPrintable(text), stderr); });
    module.setVariable(QStringLiteral("path"), report);
    if (!module.runFile(QStringLiteral(":/script/transyt2velmora.py"))
        || !module.runScript(QStringLiteral("import io, time\n"
                                            "begin = time.perf_counter()\n"
                                            "text = area_text(convert(path, io.StringIO()))\n"
                                            "elapsed = (time.perf_counter() - begin) * 1000\n")))
        qFatal("conversion failed");
    return module.variable(QStringLiteral("elapsed")).toDouble();
}

struct DialogRun
{
    double startMs = 0;        // the constructor: script start on the GUI thread
    double readyMs = 0;        // construction to OK enabled (the poll is once a second)
    double longestPollMs = 0;  // longest stretch that held one of the dialog's polls
    double longestOtherMs = 0; // longest stretch without a poll in it
    int over50 = 0;            // stretches longer than 50 ms
};

// Notes when the dialog's poll timer fires, so a stretch can be told apart.
class PollWatch : public QObject
{
public:
    explicit PollWatch(const QElapsedTimer* clock) : m_clock(clock) {}
    qint64 lastPoll = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            lastPoll = m_clock->nsecsElapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer* m_clock;
};

DialogRun dialogRun(const QString& report)
{
    DialogRun run;
    QElapsedTimer clock;
    clock.start();
    TolImportDlg dialog(report);
    run.startMs = clock.nsecsElapsed() / 1e6;
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    PollWatch polls(&clock);
    dialog.installEventFilter(&polls);

    QEventLoop loop;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    qint64 last = clock.nsecsElapsed();
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double stretch = (now - last) / 1e6;
        double& longest = polls.lastPoll > last ? run.longestPollMs : run.longestOtherMs;
        longest = std::max(longest, stretch);
        if (stretch > 50)
            ++run.over50;
        last = now;
        if (ok->isEnabled())
            loop.quit();
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    probe.start();
    loop.exec();
    if (!ok->isEnabled())
        qFatal("the dialog did not finish");
    run.readyMs = clock.nsecsElapsed() / 1e6;
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool shortRun = app.arguments().contains(QStringLiteral("--short"));
    const int runs = shortRun ? 1 : 3;

    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("bench.html"));
    writeReport(report);
    QTextStream out(stdout);
    out << "TRANSYT import: " << sections << " sections, " << controllers << " controllers, "
        << QString::number(QFileInfo(report).size() / 1048576.0, 'f', 2) << " MiB report"
        << (shortRun ? " (--short)" : "") << "\n";
    out.flush();

    double conversion = 1e300;
    for (int i = 0; i < runs; ++i)
        conversion = std::min(conversion, conversionMs(report));
    out << "conversion alone                        " << QString::number(conversion, 'f', 0).rightJustified(7)
        << " ms\n";
    out.flush();

    out << "dialog run  start ms  ready ms  longest GUI stretch ms: in a poll  elsewhere  stretches > 50 ms\n";
    for (int i = 0; i < runs; ++i) {
        const DialogRun run = dialogRun(report);
        out << QString::number(i + 1).rightJustified(10) << QString::number(run.startMs, 'f', 0).rightJustified(10)
            << QString::number(run.readyMs, 'f', 0).rightJustified(10)
            << QString::number(run.longestPollMs, 'f', 1).rightJustified(35)
            << QString::number(run.longestOtherMs, 'f', 1).rightJustified(11)
            << QString::number(run.over50).rightJustified(19) << '\n';
        out.flush();
    }
    out << "(a poll waits up to 500 ms in th.join(0.5) while the worker still runs; ready ms is rounded up to "
           "the next 1 s poll)\n";
    return 0;
}
