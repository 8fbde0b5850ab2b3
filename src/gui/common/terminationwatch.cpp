#include "gui/common/terminationwatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace pw::gui {

namespace {

int g_pipe[2] = { -1, -1 };

extern "C" void OnSignal(int signalNumber)
{
    const char byte = static_cast<char>(signalNumber);
    // Only async-signal-safe calls here.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
}

} // namespace

TerminationWatch::TerminationWatch(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(g_pipe[1], &byte, 1) == 1)
            emit terminationRequested(static_cast<unsigned char>(byte));
    });
    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationWatch::~TerminationWatch()
{
    struct sigaction action { };
    action.sa_handler = SIG_DFL;
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(signalNumber, &action, nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

} // namespace pw::gui
