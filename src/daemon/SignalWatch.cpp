#include "daemon/SignalWatch.h"

#include "daemon/EventLoop.h"

#include <cerrno>
#include <csignal>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace telvane {
namespace {

sigset_t Watched() {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : {SIGTERM, SIGINT, SIGQUIT, SIGHUP}) {
        sigaddset(&set, number);
    }
    return set;
}

} // namespace

TSignalWatch::TSignalWatch() {
    const sigset_t set = Watched();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    Fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (Fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "signalfd");
    }
}

TSignalWatch::~TSignalWatch() {
    ::close(Fd_);
}

void TSignalWatch::Attach(TEventLoop& loop, std::function<void(int)> onSignal) {
    OnSignal_ = std::move(onSignal);
    loop.Watch(Fd_, [this] { Read(); });
}

void TSignalWatch::Read() {
    signalfd_siginfo info{};
    while (::read(Fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        OnSignal_(static_cast<int>(info.ssi_signo));
    }
}

} // namespace telvane
