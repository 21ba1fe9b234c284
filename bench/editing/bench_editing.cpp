// The workstation with a generated zone of growing size, driven as the
// operator drives it: start until the map is drawn (with the longest time the
// event loop was blocked, and the peak resident memory of a workstation
// process that does only that), File → Edit zone… until the editor is shown,
// its Check, a KML import of every area's outline from "OK" until the editor
// shows again, an area deleted, and its OK until the reloaded zone is drawn
// again (with the resident memory that added); then an event storm on the
// zone drawn. Wall-clock times, medians of several rounds; figures only,
// never failing on time.
#include "EventStorm.h"
#include "MainWindow.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ScheduleChart.h"
#include "ScheduleDock.h"
#include "ProcessMemory.h"
#include "ZoneGenerator.h"
#include "Velmora/format/XmlDocument.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <time.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Velmora;

namespace {

constexpr int WaitLimitMs = 600000;

struct Round
{
    double startMs = 0;
    double blockMs = 0;
    double peakMiB = 0;
    double editorMs = 0;
    double checkMs = 0;
    double kmlOkMs = 0;
    double deleteAreaMs = 0;
    double okMs = 0;
    double okMiB = 0;
    double stormEventsPerSecond = 0;
    double stormBlockMs = 0;
    double stormBlockCpuMs = 0;
    double parseAsideMs = 0;
    double parseHereMs = 0;
    double streamPassMs = 0;
};

void resetPeak()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    Velmora::Bench::resetPeak();
}

double peakMiB()
{
    return Velmora::Bench::statusKb("VmHWM") / 1024.0;
}

// The longest stretch the event loop did not come round, measured by a timer
// that should fire every Tick ms.
class BlockMeter : public QObject
{
public:
    // A block of B ms reads as between B - Tick and B.
    static constexpr int Tick = 2;

    BlockMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(Tick);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_sinceLast.restart() - Tick);
        });
    }
    void start()
    {
        m_longest = 0;
        m_sinceLast.start();
        m_timer.start();
    }
    double stop()
    {
        m_longest = std::max(m_longest, m_sinceLast.elapsed() - Tick);
        m_timer.stop();
        return double(m_longest);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
};

// Counts the paints of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void waitUntil(const std::function<bool()>& done)
{
    QElapsedTimer limit;
    limit.start();
    while (!done()) {
        if (limit.elapsed() > WaitLimitMs)
            qFatal("bench step did not finish");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Outside an event loop, deleteLater() would wait for ever; the
        // workstation's loop deletes such objects before it paints.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
}

QAction* menuAction(QMainWindow* window, const QString& text)
{
    for (QAction* action : window->menuBar()->findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Counts paints of a named window's widgets, from before the window exists:
// its first paint may come in the same turn of the loop that shows it. Notes
// when the first paint was done, at the first event after its paint events:
// the waiting loop sees it only after the rest of that turn, which may be
// another window's repaint.
class WindowPaints : public QObject
{
public:
    WindowPaints(const QString& window, const QElapsedTimer* clock)
        : m_window(window)
        , m_clock(clock)
    {
        qApp->installEventFilter(this);
    }
    int paints = 0;
    qint64 firstDrawnAt = -1;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        const bool ours = event->type() == QEvent::Paint && object->isWidgetType()
            && static_cast<QWidget*>(object)->window()->objectName() == m_window;
        if (ours)
            ++paints;
        else if (paints > 0 && firstDrawnAt < 0)
            firstDrawnAt = m_clock->elapsed();
        return false;
    }

private:
    QString m_window;
    const QElapsedTimer* m_clock;
};

QDialog* shownDialog(const QString& name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->objectName() == name)
            return dialog;
    }
    return nullptr;
}

void closeMessageBoxes()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->objectName() != QLatin1String("ZoneEditDlg")) {
            if (qEnvironmentVariableIsSet("BENCH_DEBUG"))
                qWarning("answered %s %s", dialog->metaObject()->className(), qPrintable(dialog->windowTitle()));
            dialog->reject();
        }
    }
}

// A KML file with a placemark for every area of the zone file, named as the
// area and holding its outline: an import that assigns every area and
// writes back the outlines it had.
void writeKmlOfAreas(const QString& zoneFile, const QString& kmlFile)
{
    QFile zone(zoneFile);
    QFile kml(kmlFile);
    if (!zone.open(QIODevice::ReadOnly) || !kml.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(kmlFile));
    QTextStream out(&kml);
    out << "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n";
    QXmlStreamReader reader(&zone);
    QString name;
    while (reader.readNextStartElement() || !reader.atEnd()) {
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("Area") && reader.attributes().hasAttribute(QLatin1String("name")))
            name = reader.attributes().value(QLatin1String("name")).toString();
        else if (reader.name() == QLatin1String("Geometry") && !name.isEmpty())
            out << "<Placemark><name>" << name << "</name><Polygon><outerBoundaryIs><LinearRing><coordinates>"
                << reader.readElementText().replace(QLatin1Char(';'), QLatin1String(",0 ")) << ",0 "
                << "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>\n";
    }
    out << "</Document></kml>\n";
}

// Answers the file dialog the editor asks for a KML file with.
void answerFileDialog(const QString& file)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        if (dialog && dialog->isVisible()) {
            dialog->selectFile(file);
            // Public on the dialog, where the file dialog takes the chosen file.
            static_cast<QDialog*>(dialog)->accept();
        }
    }
}

bool scheduleShown(ScheduleDock* dock)
{
    return !dock->chart()->preview().isNull() || !dock->message().isEmpty();
}

// Start: a main window, the zone opened, until the map showed it and the
// schedule dock has its plan.
void startRound(ModuleHost* host, const QString& file, Round* round, std::unique_ptr<MainWindow>* window)
{
    BlockMeter meter;
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    meter.start();
    *window = std::make_unique<MainWindow>(host);
    (*window)->setPersistSettings(false);
    (*window)->resize(1280, 900);
    (*window)->show();
    auto* map = (*window)->findChild<MapView*>();
    PaintCounter painted(map->viewport());
    if (!(*window)->openZone(file))
        qFatal("cannot open %s", qPrintable(file));
    const int before = painted.paints;
    waitUntil([&] { return painted.paints > before; });
    round->startMs = clock.elapsed();
    auto* dock = (*window)->findChild<ScheduleDock*>();
    waitUntil([&] { return scheduleShown(dock); });
    // What follows the first paint belongs to the start too.
    QElapsedTimer settle;
    settle.start();
    waitUntil([&] { return settle.elapsed() > 300; });
    round->blockMs = meter.stop();
    round->peakMiB = peakMiB();
}

// "Import kml ..." in the zone editor with every area assigned: from the
// import dialog's OK until the zone editor is drawn again.
void kmlImportRound(QDialog* editor, const QString& kmlFile, Round* round)
{
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [kmlFile] { answerFileDialog(kmlFile); });
    answer.start(1);
    editor->findChild<QPushButton*>(QStringLiteral("importKml"))->click();
    answer.stop();
    QDialog* import = nullptr;
    waitUntil([&] { return (import = shownDialog(QStringLiteral("KmlImportDlg"))) != nullptr; });
    PaintCounter importPainted(import);
    waitUntil([&] { return importPainted.paints > 0; });

    PaintCounter editorPainted(editor);
    QElapsedTimer clock;
    clock.start();
    import->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    waitUntil([&] { return editor->isVisible() && editorPainted.paints > 0; });
    round->kmlOkMs = clock.elapsed();
}

// The zone editor: shown, Check, a KML import, OK until the reloaded zone is drawn.
void editRound(ModuleHost* host, MainWindow* window, const QString& kmlFile, Round* round)
{
    QPointer<QObject> before = host->zones().value(0);
    auto* map = window->findChild<MapView*>();
    PaintCounter painted(map->viewport());
    QElapsedTimer clock;
    clock.start();
    WindowPaints editorPainted(QStringLiteral("ZoneEditDlg"), &clock);
    menuAction(window, QStringLiteral("&Edit zone…"))->trigger();
    QDialog* editor = nullptr;
    waitUntil([&] { return (editor = shownDialog(QStringLiteral("ZoneEditDlg"))) != nullptr; });
    waitUntil([&] { return editorPainted.paints > 0; });
    round->editorMs = editorPainted.firstDrawnAt >= 0 ? editorPainted.firstDrawnAt : clock.elapsed();
    if (qEnvironmentVariableIsSet("BENCH_DEBUG"))
        qWarning("zone editor drawn at %.0f ms, seen at %lld ms", round->editorMs, clock.elapsed());

    // A message box the Check may raise is answered as soon as it shows.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] { closeMessageBoxes(); });
    answer.start(1);
    clock.restart();
    editor->findChild<QPushButton*>(QStringLiteral("checkZone"))->click();
    round->checkMs = clock.elapsed();

    // The file dialog and the import dialog are answered there.
    answer.stop();
    kmlImportRound(editor, kmlFile, round);
    answer.start(1);

    // One area deleted, with what it took along said under the form: the
    // last, so that the storm's areas are still numbered from 1 without a gap.
    auto* areas = editor->findChild<QListWidget*>(QStringLiteral("areas"));
    areas->setCurrentRow(areas->count() - 1);
    clock.restart();
    editor->findChild<QPushButton*>(QStringLiteral("delArea"))->click();
    round->deleteAreaMs = clock.elapsed();

    resetPeak();
    const double residentMiB = Velmora::Bench::statusKb("VmRSS") / 1024.0;
    // The paints counted when the new zone comes: a paint in the same turn
    // of the loop as the reload would be missed by looking afterwards.
    int reloaded = -1;
    QObject::connect(host, &ModuleHost::zoneAdded, &painted, [&] { reloaded = painted.paints; });
    clock.restart();
    editor->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    if (editor->isVisible())
        qFatal("the zone editor refused OK");
    waitUntil([&] { return !before && !host->zones().isEmpty() && reloaded >= 0; });
    waitUntil([&] { return painted.paints > reloaded; });
    round->okMs = clock.elapsed();
    round->okMiB = peakMiB() - residentMiB;
    if (qEnvironmentVariableIsSet("BENCH_DEBUG"))
        qWarning("OK: resident %.0f MiB before, peak %.0f MiB", residentMiB, peakMiB());
    answer.stop();
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

struct Row
{
    QString name;
    QString unit;
    std::function<double(const Round&)> value;
};

QString number(double value, int width)
{
    return QString::number(value, 'f', value < 10 ? 1 : 0).rightJustified(width);
}

double elapsedMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The editor's document alone: as the editor parses it (on the library's own
// thread), on the calling thread, and the bare stream pass through the same
// bytes, which shows how much of it is building the document's nodes.
void parseRound(const QString& file, Round* round)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file));
    const QByteArray bytes = in.readAll();
    QDomDocument document;
    Xml::ReadError error;
    round->parseAsideMs = elapsedMs([&] {
        if (!Xml::parseDocumentAside(bytes, &document, &error))
            qFatal("%s", qPrintable(error.message));
    });
    Xml::releaseAside(&document);
    round->parseHereMs = elapsedMs([&] {
        if (!Xml::parseDocument(bytes, &document, &error))
            qFatal("%s", qPrintable(error.message));
    });
    document = QDomDocument();
    round->streamPassMs = elapsedMs([&] {
        QXmlStreamReader reader(bytes);
        while (!reader.atEnd())
            reader.readNext();
        if (reader.hasError())
            qFatal("%s", qPrintable(reader.errorString()));
    });
}

// The peak of a workstation that starts with the zone, as an operator starts
// it: in a process of its own, since the rounds before leave this one's heap
// grown (100 MiB and more at 1,000 areas after malloc_trim), whatever the
// workstation itself needs.
double freshStartPeakMiB(const QString& program, const QString& file)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {QStringLiteral("--start-peak"), file});
    if (!child.waitForFinished(WaitLimitMs) || child.exitCode() != 0)
        qFatal("the fresh start of %s failed", qPrintable(file));
    bool ok = false;
    const double peak = child.readAllStandardOutput().trimmed().toDouble(&ok);
    if (!ok)
        qFatal("the fresh start of %s printed no peak", qPrintable(file));
    return peak;
}

// The child's side of freshStartPeakMiB: prints the peak and ends.
int startPeakOnly(ModuleHost* host, const QString& file)
{
    Round measured;
    std::unique_ptr<MainWindow> window;
    startRound(host, file, &measured, &window);
    QTextStream(stdout) << measured.peakMiB << '\n';
    return 0;
}

QList<int> parseSizes(const QString& text)
{
    QList<int> sizes;
    for (const QString& part : text.split(QLatin1Char(',')))
        sizes << part.toInt();
    return sizes;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool shortRun = args.contains(QStringLiteral("--short"));
    // Only start and the storm, for profiling the storm without the editor's work.
    const bool stormOnly = args.contains(QStringLiteral("--storm-only"));
    QList<int> sizes = shortRun ? QList<int>{10, 100} : QList<int>{100, 1000, 5000};
    int rounds = shortRun ? 1 : 3;
    const int stormMs = shortRun ? 500 : 2000;
    const int sizesAt = args.indexOf(QStringLiteral("--sizes"));
    if (sizesAt > 0 && sizesAt + 1 < args.size())
        sizes = parseSizes(args.at(sizesAt + 1));
    const int roundsAt = args.indexOf(QStringLiteral("--rounds"));
    if (roundsAt > 0 && roundsAt + 1 < args.size())
        rounds = std::max(1, args.at(roundsAt + 1).toInt());

    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
    ModuleHost host;
    QString error;
    if (!host.loadPlugin(QStringLiteral(VELMORA_PLUGIN_PATH), &error))
        qFatal("%s", qPrintable(error));
    const int startPeakAt = args.indexOf(QStringLiteral("--start-peak"));
    if (startPeakAt > 0 && startPeakAt + 1 < args.size())
        return startPeakOnly(&host, args.at(startPeakAt + 1));

    const QList<Row> table = {
        {QStringLiteral("workstation start until the map is drawn"), QStringLiteral("ms"),
         [](const Round& r) { return r.startMs; }},
        {QStringLiteral("longest GUI block during that start"), QStringLiteral("ms"),
         [](const Round& r) { return r.blockMs; }},
        {QStringLiteral("workstation peak memory"), QStringLiteral("MiB"), [](const Round& r) { return r.peakMiB; }},
        {QStringLiteral("zone editor shown"), QStringLiteral("ms"), [](const Round& r) { return r.editorMs; }},
        {QStringLiteral("  its document alone, parsed aside"), QStringLiteral("ms"),
         [](const Round& r) { return r.parseAsideMs; }},
        {QStringLiteral("  its document alone, on the caller"), QStringLiteral("ms"),
         [](const Round& r) { return r.parseHereMs; }},
        {QStringLiteral("  the stream pass alone, no document"), QStringLiteral("ms"),
         [](const Round& r) { return r.streamPassMs; }},
        {QStringLiteral("editor's Check"), QStringLiteral("ms"), [](const Round& r) { return r.checkMs; }},
        {QStringLiteral("KML import: OK applied"), QStringLiteral("ms"), [](const Round& r) { return r.kmlOkMs; }},
        {QStringLiteral("an area deleted in the zone editor"), QStringLiteral("ms"),
         [](const Round& r) { return r.deleteAreaMs; }},
        {QStringLiteral("OK -> written -> reloaded -> drawn"), QStringLiteral("ms"),
         [](const Round& r) { return r.okMs; }},
        {QStringLiteral("  resident memory added by OK (peak)"), QStringLiteral("MiB"),
         [](const Round& r) { return r.okMiB; }},
        {QStringLiteral("storm: area events/s with the zone drawn"), QStringLiteral("1/s"),
         [](const Round& r) { return r.stormEventsPerSecond; }},
        {QStringLiteral("  storm: longest block"), QStringLiteral("ms"), [](const Round& r) { return r.stormBlockMs; }},
        {QStringLiteral("  storm: longest block, GUI cpu time"), QStringLiteral("ms"),
         [](const Round& r) { return r.stormBlockCpuMs; }},
    };

    QTextStream out(stdout);
    out << "wall-clock medians of " << rounds << " rounds; zones of 20 controllers an area, 8 states, calendars, "
        << "5 strategies, outlines\n";
    QHash<int, QVector<Round>> results;
    for (int areas : sizes) {
        const QString file = dir.filePath(QStringLiteral("zone%1.xtsc").arg(areas));
        Velmora::Bench::writeZone(file, areas, 5, true);
        const QString kmlFile = dir.filePath(QStringLiteral("zone%1.kml").arg(areas));
        writeKmlOfAreas(file, kmlFile);
        out << areas << " areas: " << QString::number(QFileInfo(file).size() / 1048576.0, 'f', 1) << " MiB\n";
        out.flush();
        for (int round = 0; round < rounds; ++round) {
            Round measured;
            std::unique_ptr<MainWindow> window;
            startRound(&host, file, &measured, &window);
            if (!stormOnly)
                editRound(&host, window.get(), kmlFile, &measured);
            timespec cpuBefore{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuBefore);
            const Velmora::Bench::StormFigures storm =
                Velmora::Bench::runEventStorm(&host, window.get(), ModuleHost::areasOf(host.zones().value(0)).size(),
                                              stormMs);
            timespec cpuAfter{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuAfter);
            const double cpuMs =
                double(cpuAfter.tv_sec - cpuBefore.tv_sec) * 1e3 + double(cpuAfter.tv_nsec - cpuBefore.tv_nsec) / 1e6;
            if (!storm.problem.isEmpty())
                qFatal("event storm: %s", qPrintable(storm.problem));
            measured.stormEventsPerSecond = storm.eventsPerSecond;
            measured.stormBlockMs = double(storm.longestBlockMs);
            measured.stormBlockCpuMs = storm.longestBlockCpuMs;
            if (qEnvironmentVariableIsSet("BENCH_DEBUG"))
                qWarning("round %d at %d areas: storm %.0f/s, longest block %lld ms, %d frames, GUI cpu %.0f ms",
                         round, areas, storm.eventsPerSecond, storm.longestBlockMs, storm.frames, cpuMs);
            window.reset();
            measured.peakMiB = freshStartPeakMiB(app.applicationFilePath(), file);
            // With the workstation gone, so that none of its threads compete.
            if (!stormOnly)
                parseRound(file, &measured);
            results[areas].append(measured);
        }
    }

    out << "\n" << QStringLiteral("row").leftJustified(40) << "  unit";
    for (int areas : sizes)
        out << QString::number(areas).rightJustified(9);
    const bool growth = sizes.contains(1000) && sizes.contains(5000);
    if (growth)
        out << "  exponent 1000->5000";
    out << '\n';
    for (const Row& row : table) {
        out << row.name.leftJustified(40) << "  " << row.unit.leftJustified(4);
        QHash<int, double> medians;
        for (int areas : sizes) {
            QVector<double> values;
            for (const Round& round : results.value(areas))
                values << row.value(round);
            medians[areas] = median(values);
            out << number(medians[areas], 9);
        }
        if (growth && medians[1000] > 0 && medians[5000] > 0)
            out << "  " << QString::number(std::log(medians[5000] / medians[1000]) / std::log(5.0), 'f', 2);
        out << '\n';
    }
    QStringList sizeTexts;
    for (int areas : sizes)
        sizeTexts << QString::number(areas);
    out << "\nreproduce: QT_QPA_PLATFORM=offscreen " << QFileInfo(args.first()).fileName() << " --sizes "
        << sizeTexts.join(QLatin1Char(',')) << " --rounds " << rounds << '\n'
        << "the KML import's parts and dialog alone: bench_kml; the storm on a zone of plain areas: bench_storm\n";
    return 0;
}
