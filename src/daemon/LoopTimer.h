// The monitor's timer on a timerfd watched by the event loop: periodic, on
// the monotonic clock, and asleep in the kernel between ticks.
#pragma once

#include "monitor/Timer.h"

#include <functional>

namespace telvane {

class TEventLoop;

class TLoopTimer final : public ITimer {
public:
    // Raises std::system_error when the timerfd cannot be made.
    TLoopTimer(TEventLoop& loop, std::function<void()> onTimer);
    ~TLoopTimer() override;
    TLoopTimer(const TLoopTimer&) = delete;
    TLoopTimer& operator=(const TLoopTimer&) = delete;

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return Enabled_; }
    void SetInterval(std::uint32_t milliseconds) override;
    std::uint32_t Interval() const override { return Interval_; }

private:
    void Restart();
    void Expired();

    int Fd_ = -1;
    std::function<void()> OnTimer_;
    bool Enabled_ = false;
    // As a window timer starts.
    std::uint32_t Interval_ = 5000;
};

} // namespace telvane
