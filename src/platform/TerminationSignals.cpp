#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGHUP: the terminal the program was started from closed, which ends it as a session's end does.
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_socket[2] = {-1, -1};
struct sigaction g_previous[std::size(kSignals)];

void forwardSignal(int signalNumber) {
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_socket[1], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent) {
    if (g_socket[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_socket) != 0)
        return;
    m_notifier = new QSocketNotifier(g_socket[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(g_socket[0], &byte, 1) == 1)
            Q_EMIT received(byte);
    });
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &g_previous[i]);
        // Started under nohup: the terminal closing is not the program's end.
        if (kSignals[i] == SIGHUP && g_previous[i].sa_handler == SIG_IGN)
            ::sigaction(SIGHUP, &g_previous[i], nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!m_notifier)
        return;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    for (int& end : g_socket) {
        ::close(end);
        end = -1;
    }
}
