#include "QuitOnSignal.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace Service {

#ifdef Q_OS_UNIX
namespace {
// A handler may only write to a descriptor; the notifier brings it to the loop.
int g_pipe[2] = {-1, -1};
}

QuitOnSignal::QuitOnSignal(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = &QuitOnSignal::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitOnSignal::handle(int)
{
    const char byte = 1;
    if (g_pipe[0] >= 0)
        (void)::write(g_pipe[0], &byte, 1);
}
#else
QuitOnSignal::QuitOnSignal(QObject* parent)
    : QObject(parent)
{
}

QuitOnSignal::~QuitOnSignal() = default;

void QuitOnSignal::handle(int) {}
#endif

} // namespace Service
