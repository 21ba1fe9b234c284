// The workstation under an event storm: the real main window (offscreen, in
// this process) with a zone of 100 or 1,000 areas, linked to a fake service on
// the loopback that sends area events as fast as the workstation reads them.
// Prints the events applied per second and the longest stretch the GUI thread
// was blocked (how late a 5 ms timer fired at worst), then checks that the
// zone, after the storm, holds the last state sent for every area and that the
// map was drawn after it. Never fails on time.
//
//   bench_storm [--short]
//
// With STORM_TRACE set, every event that kept the GUI thread over 20 ms is
// printed with its receiver, to find what blocks.
#include "MainWindow.h"
#include "MapView.h"
#include "ModuleHost.h"
#include "ModulePlugin.h"
#include "OffscreenLeaks.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Message.h"
#include "semtra/Notification.h"
#include "semtra/Wire.h"

#include <QApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QPointer>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <cstdio>

using Semtra::Command::Message;
namespace Protocol = Velmora::Protocol;

namespace {

constexpr int ZoneId = 1;
constexpr int Columns = 40;
// The service keeps about this much on its way to the workstation.
constexpr qint64 InFlight = 64 * 1024;
constexpr int Batch = 256;
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

// The fake control service, on its own thread: answers the link's queries,
// then floods area state events while the flood is on, and ends with one
// last, known state for every area.
class StormService : public QObject
{
    Q_OBJECT
public:
    StormService(int areas, const QByteArray& hash)
        : m_areas(areas)
        , m_hash(hash)
        , m_last(areas + 1, 1)
    {
    }

    quint16 port() const { return m_port; }
    qint64 sent() const { return m_sent; }
    bool finished() const { return m_finished; }
    // The state each area was last sent.
    QVector<int> lastStates() const { return m_last; }

public slots:
    void listen()
    {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost, 0);
        m_port = m_server->serverPort();
        connect(m_server, &QTcpServer::newConnection, this, &StormService::accept);
    }
    void startFlood() { m_flooding = true; fill(); }
    void stopFlood()
    {
        m_flooding = false;
        // The last word: every area once more, in a state the test knows.
        QByteArray bytes;
        for (int area = 1; area <= m_areas; ++area)
            bytes += event(area, (area % States) + 1);
        m_socket->write(bytes);
        m_finished = true;
    }

private slots:
    void accept()
    {
        m_socket = m_server->nextPendingConnection();
        connect(m_socket, &QTcpSocket::readyRead, this, &StormService::readRequests);
        connect(m_socket, &QTcpSocket::bytesWritten, this, &StormService::fill);
        m_socket->write(Semtra::Wire::encodeFrame(
            Message{0, ZoneId, Semtra::Command::Connected, Protocol::Tag, QByteArray(8, '\0')}));
    }

    void readRequests()
    {
        m_reader.append(m_socket->readAll());
        Message request;
        while (m_reader.next(&request) == Semtra::Wire::FrameReader::Ready) {
            const QByteArray data = request.data.toByteArray();
            const quint32 command = data.size() >= 4 ? Semtra::Wire::readU32(data.constData()) : 0;
            QByteArray block;
            if (command == quint32(Protocol::GetConfigHash)) {
                block = Semtra::Wire::encodeParams({m_hash}, {QVariant::ByteArray});
            } else if (command == quint32(Protocol::GetState)) {
                QStringList areas;
                for (int area = 1; area <= m_areas; ++area)
                    areas << QStringLiteral("%1 1 1 0").arg(area);
                block = Semtra::Wire::encodeParams({1u, 1u, areas.join(QLatin1Char(' '))},
                                                   {QVariant::UInt, QVariant::UInt, QVariant::String});
            }
            const QByteArray reply = Semtra::Wire::encodeReply(45000.5, 0, command, block);
            m_socket->write(Semtra::Wire::encodeFrame(
                Message{request.number, ZoneId, Semtra::Command::Reply, Protocol::Tag, reply}));
        }
    }

    void fill()
    {
        if (!m_flooding || !m_socket)
            return;
        while (m_socket->bytesToWrite() < InFlight) {
            QByteArray bytes;
            for (int i = 0; i < Batch; ++i) {
                const int area = int(m_next % m_areas) + 1;
                const int state = int((m_next / m_areas) % States) + 1;
                bytes += event(area, state);
                ++m_next;
            }
            m_socket->write(bytes);
        }
    }

private:
    QByteArray event(int area, int state)
    {
        m_last[area] = state;
        ++m_sent;
        // Every fourth round of an area puts it under yellow flashing.
        const uint special = state == States ? uint(Protocol::YellowFlashing) : uint(Protocol::NoSpecialState);
        const QByteArray data = Semtra::Wire::encodeEvent(Protocol::AreaStateEvent, 45000.5,
                                                          {uint(area), uint(state), special});
        return Semtra::Wire::encodeFrame(Message{0, ZoneId, Semtra::Command::Event, Protocol::Tag, data});
    }

    int m_areas;
    QByteArray m_hash;
    QTcpServer* m_server = nullptr;
    QPointer<QTcpSocket> m_socket;
    Semtra::Wire::FrameReader m_reader;
    quint16 m_port = 0;
    bool m_flooding = false;
    qint64 m_next = 0;
    std::atomic<qint64> m_sent{0};
    std::atomic<bool> m_finished{false};
    QVector<int> m_last;
};

struct Figures
{
    double eventsPerSecond = 0;
    qint64 longestBlock = 0;
    int frames = 0;
    bool lastStateShown = false;
    QString problem;
};

bool waitFor(const std::function<bool()>& condition, int timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

Figures run(ModuleHost* host, const QString& file, int areas, int floodMs)
{
    Figures figures;
    MainWindow window(host);
    window.setPersistSettings(false);
    if (!window.openZone(file)) {
        figures.problem = QStringLiteral("cannot open the zone");
        return figures;
    }
    window.show();
    window.fitAll();
    QObject* zone = host->zones().value(0);

    QThread thread;
    StormService service(areas, zone->property("localHash").toByteArray());
    service.moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(&service, "listen", Qt::BlockingQueuedConnection);

    qint64 applied = 0;
    // The frames drawn before the last event was applied: one more must come after it.
    auto* map = window.findChild<MapView*>();
    int framesAtLastEvent = 0;
    QObject::connect(host, &ModuleHost::zoneNotification, &window, [&] {
        ++applied;
        framesAtLastEvent = map->frameCount();
    });
    window.connectToService(QStringLiteral("127.0.0.1"), service.port());
    if (!waitFor([zone] { return zone->property("isConnected").toBool() && zone->property("currentStrategy").toInt() == 1; },
                 20000)) {
        figures.problem = QStringLiteral("the link did not come up");
    } else {
        // How late a 5 ms timer fires: the longest the thread was not there for it.
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = qMax(longest, sinceTick.restart() - 5);
        });
        const int framesBefore = map->frameCount();
        const qint64 appliedBefore = applied;
        QElapsedTimer clock;
        clock.start();
        sinceTick.start();
        ticker.start();
        QMetaObject::invokeMethod(&service, "startFlood", Qt::QueuedConnection);
        waitFor([&] { return clock.elapsed() >= floodMs; }, floodMs + 1000);
        ticker.stop();
        const qint64 elapsed = clock.elapsed();
        figures.eventsPerSecond = double(applied - appliedBefore) * 1000.0 / double(elapsed);
        figures.longestBlock = longest;
        figures.frames = map->frameCount() - framesBefore;

        QMetaObject::invokeMethod(&service, "stopFlood", Qt::BlockingQueuedConnection);
        const qint64 sent = service.sent();
        if (!waitFor([&] { return applied >= sent; }, 60000)) {
            figures.problem = QStringLiteral("%1 of %2 events applied").arg(applied).arg(sent);
        } else {
            waitFor([&] { return map->frameCount() > framesAtLastEvent; }, 2000);
            const QVector<int> last = service.lastStates();
            int wrong = 0;
            for (QObject* area : ModuleHost::areasOf(zone)) {
                const int id = area->property("id").toInt();
                wrong += area->property("currentState").toInt() == last.value(id) ? 0 : 1;
            }
            figures.lastStateShown = wrong == 0 && map->frameCount() > framesAtLastEvent;
            if (wrong)
                figures.problem = QStringLiteral("%1 areas not in their last state").arg(wrong);
            else if (!figures.lastStateShown)
                figures.problem = QStringLiteral("the map was not drawn after the last event");
        }
    }
    thread.quit();
    thread.wait();
    return figures;
}

// Times every event the GUI thread dispatches from its loop, when asked to.
class TracingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0 || !qEnvironmentVariableIsSet("STORM_TRACE")) {
            const bool r = QApplication::notify(receiver, event);
            --m_depth;
            return r;
        }
        QElapsedTimer t;
        t.start();
        const bool r = QApplication::notify(receiver, event);
        --m_depth;
        if (t.elapsed() > 20)
            std::fprintf(stderr, "%lld ms: %s %d %s\n", t.elapsed(), receiver->metaObject()->className(), int(event->type()),
                         qPrintable(receiver->objectName()));
        return r;
    }
    int m_depth = 0;
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
    std::printf("%8s %14s %18s %8s %s\n", "areas", "events/s", "longest block ms", "frames", "last state shown");
    for (int areas : {100, 1000}) {
        const QString file = dir.filePath(QStringLiteral("storm%1.xtsc").arg(areas));
        writeZone(file, areas);
        const Figures f = run(&host, file, areas, floodMs);
        std::printf("%8d %14.0f %18lld %8d %s\n", areas, f.eventsPerSecond, static_cast<long long>(f.longestBlock),
                    f.frames, f.lastStateShown ? "yes" : qPrintable(QStringLiteral("no: ") + f.problem));
        std::fflush(stdout);
    }
    std::printf("targets at 1000 areas: at least 10000 events/s, never blocked more than 50 ms\n");
    return 0;
}

#include "bench_storm.moc"
