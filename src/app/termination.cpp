#include "app/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_writeFd = -1;

void onSignal(int signalNumber)
{
    // Only async-signal-safe calls here: restore the default and pass the
    // number on through the socket.
    std::signal(signalNumber, SIG_DFL);
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (g_writeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_writeFd, &byte, 1);
    }
}

} // namespace

TerminationSignals &TerminationSignals::instance()
{
    static TerminationSignals *catcher = new TerminationSignals; // lives as long as the process
    return *catcher;
}

TerminationSignals::TerminationSignals()
    : QObject(QCoreApplication::instance())
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, m_fds) != 0)
        return; // no socket: the signals keep their default action
    ::fcntl(m_fds[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(m_fds[1], F_SETFD, FD_CLOEXEC);
    ::fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
    g_writeFd = m_fds[1];
    auto *notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

void TerminationSignals::onReadable()
{
    unsigned char byte = 0;
    if (::read(m_fds[0], &byte, 1) == 1)
        emit received(int(byte));
}
