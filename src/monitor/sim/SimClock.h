#pragma once

#include "monitor/Clock.h"
#include "monitor/sim/SimScheduler.h"

#include <cstdint>

namespace telvane::sim {

// TimeText of the simulated clock, counted from a fixed start moment.
class TSimClock final : public IClock {
public:
    // startSeconds: seconds since 1970-01-01 00:00:00 of simulated time 0.
    TSimClock(const TSimScheduler& scheduler, std::int64_t startSeconds)
        : Scheduler_(scheduler), StartSeconds_(startSeconds) {}
    std::string Now() const override;

    // 2026/03/01 09:00:00, the default start of a simulation.
    static constexpr std::int64_t kDefaultStart = 1772355600;

private:
    const TSimScheduler& Scheduler_;
    std::int64_t StartSeconds_;
};

// TimeText of a moment given in seconds since 1970-01-01 00:00:00.
std::string TimeTextOfSeconds(std::int64_t seconds);

} // namespace telvane::sim
