#include "monitor/sim/SimTimer.h"

namespace telvane::sim {

void TSimTimer::SetEnabled(bool enabled) {
    if (enabled == Enabled_) {
        return;
    }
    Enabled_ = enabled;
    if (enabled) {
        Start();
    } else {
        Stop();
    }
}

void TSimTimer::SetInterval(std::uint32_t milliseconds) {
    if (milliseconds == Interval_) {
        return;
    }
    Interval_ = milliseconds;
    // Like a window timer, a new interval restarts a running timer.
    if (Enabled_) {
        Stop();
        Start();
    }
}

void TSimTimer::Start() {
    if (Interval_ == 0) {
        return;
    }
    NextTickAt_ = Scheduler_.Now() + Interval_;
    Pending_ = Scheduler_.PostAt(NextTickAt_, [this] { Tick(); });
}

void TSimTimer::Stop() {
    if (Pending_ != 0) {
        Scheduler_.Cancel(Pending_);
    }
    Pending_ = 0;
    NextTickAt_ = 0;
}

void TSimTimer::Tick() {
    Pending_ = 0;
    NextTickAt_ = 0;
    // Periodic: the next tick is scheduled before the handler runs, and the
    // handler may disable or re-arm the timer.
    Start();
    OnTick_();
}

} // namespace telvane::sim
