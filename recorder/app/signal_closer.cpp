// The self-pipe that carries SIGTERM and SIGINT to the window thread.

#include "app/signal_closer.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace wavelark {

namespace {

int g_pipe[2] = {-1, -1};
struct sigaction g_previousTerminate;
struct sigaction g_previousInterrupt;

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    // Async-signal-safe: one write to a non-blocking pipe. A full pipe already holds a request.
    if (write(g_pipe[1], &byte, 1) < 0) {
        // Nothing can be done from a signal handler; the earlier byte still closes the window.
    }
    errno = savedErrno;
}

}

SignalCloser::SignalCloser(std::function<void()> closeAction, QObject* parent)
    : QObject(parent)
    , m_closeAction(std::move(closeAction))
{
    if (g_pipe[0] >= 0 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalCloser::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &g_previousTerminate);
    sigaction(SIGINT, &action, &g_previousInterrupt);
    m_installed = true;
}

SignalCloser::~SignalCloser()
{
    if (!m_installed)
        return;
    sigaction(SIGTERM, &g_previousTerminate, nullptr);
    sigaction(SIGINT, &g_previousInterrupt, nullptr);
    delete m_notifier;
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void SignalCloser::readSignal()
{
    char bytes[16];
    bool received = false;
    while (read(g_pipe[0], bytes, sizeof bytes) > 0)
        received = true;
    if (received && m_closeAction)
        m_closeAction();
}

}
