#include "daemon/LoopTimer.h"

#include "daemon/EventLoop.h"

#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <system_error>
#include <unistd.h>

namespace telvane {

TLoopTimer::TLoopTimer(TEventLoop& loop, std::function<void()> onTimer)
    : OnTimer_(std::move(onTimer)) {
    Fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (Fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "timerfd_create");
    }
    loop.Watch(Fd_, [this] { Expired(); });
}

TLoopTimer::~TLoopTimer() {
    ::close(Fd_);
}

void TLoopTimer::SetEnabled(bool enabled) {
    Enabled_ = enabled;
    Restart();
}

void TLoopTimer::SetInterval(std::uint32_t milliseconds) {
    Interval_ = milliseconds;
    // Like a window timer, a new interval restarts a running timer.
    Restart();
}

void TLoopTimer::Restart() {
    // Setting the timer also forgets expirations not yet read, so a tick of
    // the old setting never arrives after the new one.
    itimerspec period{};
    if (Enabled_ && Interval_ > 0) {
        period.it_value.tv_sec = static_cast<time_t>(Interval_ / 1000);
        period.it_value.tv_nsec = static_cast<long>(Interval_ % 1000) * 1000000L;
        period.it_interval = period.it_value;
    }
    ::timerfd_settime(Fd_, 0, &period, nullptr);
}

void TLoopTimer::Expired() {
    std::uint64_t expirations = 0;
    if (::read(Fd_, &expirations, sizeof expirations) != sizeof expirations) {
        return; // re-armed since poll saw it
    }
    // Ticks missed while the thread was busy come as one, as a window timer's.
    if (Enabled_) {
        OnTimer_();
    }
}

} // namespace telvane
