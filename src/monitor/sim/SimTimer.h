#pragma once

#include "monitor/Timer.h"
#include "monitor/sim/SimScheduler.h"

#include <functional>

namespace telvane::sim {

// A periodic window timer on the simulated clock. Enabling starts a full
// interval; an interval of 0 never ticks.
class TSimTimer final : public ITimer {
public:
    TSimTimer(TSimScheduler& scheduler, std::function<void()> onTick)
        : Scheduler_(scheduler), OnTick_(std::move(onTick)) {}
    ~TSimTimer() override { Stop(); }

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return Enabled_; }
    void SetInterval(std::uint32_t milliseconds) override;
    std::uint32_t Interval() const override { return Interval_; }

    // When the next tick is due, or 0 when none is.
    std::uint64_t NextTickAt() const { return NextTickAt_; }

private:
    void Start();
    void Stop();
    void Tick();

    TSimScheduler& Scheduler_;
    std::function<void()> OnTick_;
    bool Enabled_ = false;
    std::uint32_t Interval_ = 5000;
    TSimScheduler::TEventId Pending_ = 0;
    std::uint64_t NextTickAt_ = 0;
};

} // namespace telvane::sim
