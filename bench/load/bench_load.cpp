// Zone::load against what the format costs at least, for generated zones of
// growing size: a bare streaming pass over the file, and the document floor
// (that pass plus a document parse, the old way of loading). Times are CPU
// times, medians of several rounds; every timed section ends by handing freed
// memory back to the system (malloc_trim on glibc), so that each side pays for
// its own frees instead of the next one. Destroying a zone is timed on its own.
// Memory: the peak resident growth during one load, and what the loaded zone
// keeps resident, both against the file's size.
#include <QApplication>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QXmlStreamReader>

#include <algorithm>
#include <ctime>
#include <functional>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "Velmora/PreparedLoads.h"
#include "Velmora/Zone.h"
#include "Velmora/ZoneFile.h"
#include "ProcessMemory.h"
#include "ZoneGenerator.h"

using Velmora::Zone;

namespace {

double cpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Freed memory goes back to the system now, on the account of whoever freed it.
void giveBack()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

double timed(const std::function<void()>& work)
{
    const double start = cpuMs();
    work();
    giveBack();
    return cpuMs() - start;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void streamPass(QIODevice* file)
{
    QXmlStreamReader reader(file);
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        qFatal("bench file does not parse");
}

double streamMs(const QString& path)
{
    return timed([&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        streamPass(&file);
    });
}

double floorMs(const QString& path)
{
    return timed([&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        streamPass(&file);
        file.seek(0);
        QDomDocument document;
        if (!document.setContent(&file))
            qFatal("bench file does not parse");
    });
}

// Load and destruction times of one zone.
QPair<double, double> loadMs(const QString& path, Zone::Reading reading)
{
    auto* zone = new Zone;
    const double load = timed([&] {
        if (!zone->load(path, reading))
            qFatal("load failed");
    });
    const double destroy = timed([&] { delete zone; });
    return {load, destroy};
}

// The load as a host that reads ahead has it done: the reading a worker thread
// takes, and on the GUI thread the check that the file is unchanged and the
// building of the zone's objects.
struct Split
{
    double read = 0;
    double check = 0;
    double build = 0;
};

Split splitMs(const QString& path)
{
    Split split;
    Velmora::ZoneFile file;
    split.read = timed([&] { file = Velmora::ZoneFile::read(path, Zone::Reading::OnePass); });
    split.check = timed([&] { Velmora::FileStamp::of(path); });
    auto* zone = new Zone;
    split.build = timed([&] {
        if (!zone->load(file))
            qFatal("load failed");
    });
    delete zone;
    giveBack();
    return split;
}

struct Memory
{
    double peakMiB = -1; // growth of the resident set during the load, at its highest
    double heldMiB = -1; // what stays resident while the zone lives
};

Memory loadMemory(const QString& path, Zone::Reading reading)
{
    giveBack();
    // The peak restarts from the resident set of now, the base of both figures.
    const bool peaks = Velmora::Bench::resetPeak();
    const long before = Velmora::Bench::statusKb("VmRSS");
    auto* zone = new Zone;
    if (!zone->load(path, reading))
        qFatal("load failed");
    giveBack();
    Memory memory;
    if (peaks)
        memory.peakMiB = std::max(0L, Velmora::Bench::statusKb("VmHWM") - before) / 1024.0;
    memory.heldMiB = std::max(0L, Velmora::Bench::statusKb("VmRSS") - before) / 1024.0;
    delete zone;
    giveBack();
    return memory;
}

QString number(double value, int decimals, int width)
{
    return QString::number(value, 'f', decimals).rightJustified(width);
}

QString againstFile(double mib, double fileMiB)
{
    if (mib < 0)
        return QStringLiteral("n/a").rightJustified(16);
    return (number(mib, 1, 7) + QStringLiteral(" (") + number(mib / fileMiB, 2, 5) + QStringLiteral("x)"));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool shortRun = app.arguments().contains(QStringLiteral("--short"));
    const QList<int> sizes = shortRun ? QList<int>{10, 100} : QList<int>{10, 100, 1000, 5000};
    const int rounds = shortRun ? 3 : 5;
    QTemporaryDir dir;
    QTextStream out(stdout);
    out << "CPU ms, medians of " << rounds << " rounds; load = one-pass Zone::load, doc load = the document path;\n"
        << "ahead = the same load read ahead on a worker (read), then checked and built on the GUI thread\n"
        << "areas  file MiB  stream ms  floor ms   load ms  load/floor  load/stream  us/area  destroy ms"
           "  doc load ms  doc destroy ms  | ahead: read ms  check ms  build ms\n";
    QVector<QPair<int, double>> files;
    for (int areas : sizes) {
        const QString path = dir.filePath(QStringLiteral("zone%1.xtsc").arg(areas));
        Velmora::Bench::writeZone(path, areas);
        const double fileMiB = QFileInfo(path).size() / 1048576.0;
        files.append({areas, fileMiB});
        loadMs(path, Zone::Reading::OnePass); // first-use costs (codecs, translations) off the books

        QVector<double> stream, floor, load, destroy, docLoad, docDestroy, read, check, build;
        // Interleaved, so that all sides see the same page cache and machine load.
        for (int round = 0; round < rounds; ++round) {
            stream << streamMs(path);
            floor << floorMs(path);
            const QPair<double, double> onePass = loadMs(path, Zone::Reading::OnePass);
            load << onePass.first;
            destroy << onePass.second;
            const QPair<double, double> document = loadMs(path, Zone::Reading::Document);
            docLoad << document.first;
            docDestroy << document.second;
            const Split ahead = splitMs(path);
            read << ahead.read;
            check << ahead.check;
            build << ahead.build;
        }
        const double loadTime = median(load);
        out << qSetFieldWidth(5) << areas << qSetFieldWidth(0) << "  " << number(fileMiB, 2, 8) << "  "
            << number(median(stream), 1, 9) << "  " << number(median(floor), 1, 8) << "  " << number(loadTime, 1, 8)
            << "  " << number(loadTime / median(floor), 2, 10) << "  " << number(loadTime / median(stream), 2, 11)
            << "  " << number(loadTime * 1000 / areas, 1, 7) << "  " << number(median(destroy), 1, 10) << "  "
            << number(median(docLoad), 1, 11) << "  " << number(median(docDestroy), 1, 14) << "  | "
            << number(median(read), 1, 14) << "  " << number(median(check), 1, 8) << "  " << number(median(build), 1, 8)
            << '\n';
        out.flush();
    }

    out << "\nresident memory, MiB (and times the file size)\n"
        << "areas  file MiB      load peak        zone holds    doc load peak  doc zone holds\n";
    for (const auto& file : qAsConst(files)) {
        const QString path = dir.filePath(QStringLiteral("zone%1.xtsc").arg(file.first));
        const Memory onePass = loadMemory(path, Zone::Reading::OnePass);
        const Memory document = loadMemory(path, Zone::Reading::Document);
        out << qSetFieldWidth(5) << file.first << qSetFieldWidth(0) << "  " << number(file.second, 2, 8) << "  "
            << againstFile(onePass.peakMiB, file.second) << "  " << againstFile(onePass.heldMiB, file.second) << "  "
            << againstFile(document.peakMiB, file.second) << "  " << againstFile(document.heldMiB, file.second) << '\n';
        out.flush();
    }
    return 0;
}
