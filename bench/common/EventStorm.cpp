#include "EventStorm.h"

#include "MainWindow.h"
#include "MapView.h"
#include "ModuleHost.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Message.h"
#include "semtra/Notification.h"
#include "semtra/Wire.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <time.h>

using Semtra::Command::Message;
namespace Protocol = Velmora::Protocol;

namespace Velmora {
namespace Bench {

namespace {

constexpr int ZoneId = 1;
// The service keeps about this much on its way to the workstation.
constexpr qint64 InFlight = 64 * 1024;
constexpr int Batch = 256;
constexpr int States = 4;

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
            Message{0, ZoneId, Semtra::Command::Connected, Protocol::Tag, Semtra::Wire::doubleBytes(now())}));
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
            const QByteArray reply = Semtra::Wire::encodeReply(now(), 0, command, block);
            m_socket->write(Semtra::Wire::encodeFrame(
                Message{request.number, ZoneId, Semtra::Command::Reply, Protocol::Tag, reply}));
        }
    }

    void fill()
    {
        if (!m_flooding || !m_socket)
            return;
        while (m_socket->bytesToWrite() < InFlight) {
            m_stamp = now();
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
    // The service's clock: what a real one would send, so that the
    // workstation shows the day it is, not the day of a zero time stamp.
    static double now() { return Semtra::Wire::dateTimeToDouble(QDateTime::currentDateTimeUtc()); }

    QByteArray event(int area, int state)
    {
        m_last[area] = state;
        ++m_sent;
        // Every fourth round of an area puts it under yellow flashing.
        const uint special = state == States ? uint(Protocol::YellowFlashing) : uint(Protocol::NoSpecialState);
        const QByteArray data = Semtra::Wire::encodeEvent(Protocol::AreaStateEvent, m_stamp,
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
    double m_stamp = now(); // of the events being sent
    std::atomic<qint64> m_sent{0};
    std::atomic<bool> m_finished{false};
    QVector<int> m_last;
};

qint64 threadCpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

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

} // namespace

StormFigures runEventStorm(ModuleHost* host, MainWindow* window, int areas, int floodMs)
{
    StormFigures figures;
    QObject* zone = host->zones().value(0);
    if (!zone) {
        figures.problem = QStringLiteral("no zone open");
        return figures;
    }

    QThread thread;
    StormService service(areas, zone->property("localHash").toByteArray());
    service.moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(&service, "listen", Qt::BlockingQueuedConnection);

    qint64 applied = 0;
    // The frames drawn before the last event was applied: one more must come after it.
    auto* map = window->findChild<MapView*>();
    int framesAtLastEvent = 0;
    const QMetaObject::Connection counting = QObject::connect(host, &ModuleHost::zoneNotification, window, [&] {
        ++applied;
        framesAtLastEvent = map->frameCount();
    });
    window->connectToService(QStringLiteral("127.0.0.1"), service.port());
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
        // The same stretches in the GUI thread's own processor time: what it
        // did, apart from the time a busy machine gave to others.
        qint64 cpuAtTick = threadCpuMicroseconds();
        qint64 longestCpu = 0;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = qMax(longest, sinceTick.restart() - 5);
            const qint64 cpu = threadCpuMicroseconds();
            longestCpu = qMax(longestCpu, cpu - cpuAtTick);
            cpuAtTick = cpu;
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
        figures.longestBlockMs = longest;
        figures.longestBlockCpuMs = qMax(0.0, double(longestCpu) / 1000.0 - 5);
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
    QObject::disconnect(counting);
    thread.quit();
    thread.wait();
    return figures;
}

} // namespace Bench
} // namespace Velmora

#include "EventStorm.moc"
