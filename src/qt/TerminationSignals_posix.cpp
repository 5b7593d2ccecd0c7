// POSIX signals reach the event loop through a socket pair: the handler only
// writes the signal's number, which is safe in a signal handler; the window
// thread reads it when its event loop next runs.
#include "qt/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace telvane {
namespace {

int SignalSockets[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

extern "C" void OnTerminationSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full socket means a request is already pending; nothing is lost.
    [[maybe_unused]] const auto ignored = ::write(SignalSockets[0], &byte, 1);
    errno = saved;
}

} // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, SignalSockets) != 0) {
        return;
    }
    Notifier_ = new QSocketNotifier(SignalSockets[1], QSocketNotifier::Read, this);
    connect(Notifier_, &QSocketNotifier::activated, this, [this] { Read(); });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
}

TTerminationSignals::~TTerminationSignals() {
    for (const int signalNumber : kSignals) {
        ::signal(signalNumber, SIG_DFL);
    }
    delete Notifier_;
    for (int& socket : SignalSockets) {
        if (socket >= 0) {
            ::close(socket);
            socket = -1;
        }
    }
}

void TTerminationSignals::Read() {
    unsigned char byte = 0;
    ssize_t n;
    while ((n = ::read(SignalSockets[1], &byte, 1)) == 1) {
        emit TerminationRequested(byte);
    }
}

} // namespace telvane
