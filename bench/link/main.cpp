// Events through the whole zone link: frame bytes, frame reader, message,
// notification decode, property setters, map item redraw, stateChanged. The
// floor is the decoding alone (frames and notifications). Prints figures and
// never fails on time.
#include "Velmora/format/Protocol.h"
#include "Velmora/Area.h"
#include "Velmora/Zone.h"

#include <semtra/Notification.h>
#include <semtra/Wire.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QTemporaryFile>
#include <QTextStream>

#include <cstdio>
#include <cstring>

using Semtra::Command::Message;

// The offscreen platform plugin never frees its screen; keep a sanitizer build
// from failing the run over it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}

namespace {

constexpr int ZoneId = 1;
constexpr int ChunkSize = 64 * 1024;

// A zone of n areas, each a small square with three states, all in one strategy.
bool writeZone(QTemporaryFile* file, int areas)
{
    if (!file->open())
        return false;
    QTextStream out(file);
    out << "<Zone id=\"" << ZoneId << "\" name=\"Bench\">\n"
        << "<Geometry>0,0;" << areas * 10 << ",0;" << areas * 10 << ",10;0,10</Geometry>\n"
        << "<Strategies><Strategy id=\"1\" name=\"All\" default=\"1\">";
    for (int id = 1; id <= areas; ++id)
        out << "<Area id=\"" << id << "\" control_source=\"1\"/>";
    out << "</Strategy></Strategies>\n<Areas>\n";
    for (int id = 1; id <= areas; ++id) {
        const int x = (id - 1) * 10;
        out << "<Area id=\"" << id << "\" name=\"A" << id << "\"><Geometry>" << x << ",0;"
            << x + 9 << ",0;" << x + 9 << ",9;" << x << ",9</Geometry><Controllers>" << id
            << "</Controllers><States><State id=\"1\"/><State id=\"2\"/><State id=\"3\"/>"
               "</States></Area>\n";
    }
    out << "</Areas>\n</Zone>\n";
    out.flush();
    file->close();
    return out.status() == QTextStream::Ok;
}

QByteArray frame(int number, int kind, const QByteArray& data)
{
    Message m;
    m.number = number;
    m.objectId = ZoneId;
    m.kind = kind;
    m.tag = Velmora::Protocol::Tag;
    m.data = data;
    return Semtra::Wire::encodeFrame(m);
}

// Area events that each change their area: control source and state in turn,
// sweeping over all areas.
QByteArray eventStream(int areas, int events)
{
    QByteArray stream;
    for (int i = 0; i < events; ++i) {
        const uint area = uint(i % areas) + 1;
        const uint pass = uint(i / areas);
        // Sources go 2, 3, 2, 3...; states 2, 1, 2, 1... from the start of 1.
        const QByteArray data = pass % 4 < 2
            ? Semtra::Wire::encodeEvent(2, 45000.0, {area, 2 + pass % 2})
            : Semtra::Wire::encodeEvent(3, 45000.0, {area, 2 - pass % 2, 0u});
        stream += frame(0, Semtra::Command::Event, data);
    }
    return stream;
}

struct Figures
{
    double nsPerEvent = 0;
};

template<typename Handle>
Figures run(const QByteArray& stream, int events, Handle handle)
{
    Semtra::Wire::FrameReader reader;
    QElapsedTimer timer;
    timer.start();
    int handled = 0;
    for (int offset = 0; offset < stream.size(); offset += ChunkSize) {
        reader.append(stream.mid(offset, ChunkSize));
        Message message;
        while (reader.next(&message) == Semtra::Wire::FrameReader::Ready) {
            handle(message);
            ++handled;
        }
        // The host's event loop runs between socket reads: the scene
        // collects the redraws here, and the events delivered are freed.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Figures figures;
    figures.nsPerEvent = double(timer.nsecsElapsed()) / qMax(handled, 1);
    if (handled != events)
        std::fprintf(stderr, "bench_link: %d of %d frames handled\n", handled, events);
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    // Map items are drawn as in the host, under a QApplication, without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool isShort = app.arguments().contains(QStringLiteral("--short"));
    const int events = isShort ? 20000 : 400000;

    std::printf("zone link: %d area events per zone size%s\n", events, isShort ? " (--short)" : "");
    std::printf("%7s %14s %14s %14s %10s %12s\n", "areas", "link ns/event", "link events/s",
                "decode ns/ev", "ratio", "area signals");
    double perEventAt1000 = 0;
    for (int areas : {10, 100, 1000}) {
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/bench_link_XXXXXX.xtsc"));
        if (!writeZone(&file, areas)) {
            std::fprintf(stderr, "bench_link: cannot write the zone file\n");
            return 1;
        }
        QGraphicsScene scene;
        Velmora::Zone zone;
        if (!zone.load(file.fileName())) {
            std::fprintf(stderr, "bench_link: cannot load the zone file\n");
            return 1;
        }
        zone.setScene(&scene);
        qint64 areaSignals = 0;
        QObject::connect(&zone, &Velmora::Zone::areaStateChanged, &zone, [&] { ++areaSignals; });

        // Link up; every area under calendar control in state 1.
        Message up;
        up.objectId = ZoneId;
        up.kind = Semtra::Command::Connected;
        up.tag = Velmora::Protocol::Tag;
        up.data = QByteArray(8, '\0');
        zone.message(up);
        QString state;
        for (int id = 1; id <= areas; ++id)
            state += QStringLiteral("%1 1 1 0 ").arg(id);
        Message reply = up;
        reply.number = 3;
        reply.kind = Semtra::Command::Reply;
        reply.data = Semtra::Wire::encodeReply(
            45000.0, 0, 0x1100,
            Semtra::Wire::encodeParams({1u, 1u, state},
                                       {QVariant::UInt, QVariant::UInt, QVariant::String}));
        zone.message(reply);
        QCoreApplication::processEvents();
        areaSignals = 0;

        const QByteArray stream = eventStream(areas, events);
        const Figures link = run(stream, events, [&](const Message& m) { zone.message(m); });
        const qint64 signalsSeen = areaSignals;
        const Figures decode = run(stream, events, [](const Message& m) {
            const Notification notification(m.data.toByteArray(), m.tag);
            if (notification.data().size() < 2)
                std::fprintf(stderr, "bench_link: bad event\n");
        });
        std::printf("%7d %14.0f %14.0f %14.0f %10.2f %12lld\n", areas, link.nsPerEvent,
                    1e9 / link.nsPerEvent, decode.nsPerEvent, link.nsPerEvent / decode.nsPerEvent,
                    static_cast<long long>(signalsSeen));
        if (areas == 1000)
            perEventAt1000 = link.nsPerEvent;
    }
    std::printf("target: 100000 area events/s at 1000 areas; measured %.0f/s\n",
                1e9 / perEventAt1000);
    return 0;
}
