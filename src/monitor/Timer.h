#pragma once

#include <cstdint>

namespace telvane {

// The window timer that drives the query cycle. Ticks arrive on the window
// thread, one at a time. Enabling starts a full interval from that moment;
// an interval of 0 never ticks.
class ITimer {
public:
    virtual ~ITimer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetInterval(std::uint32_t milliseconds) = 0;
    virtual std::uint32_t Interval() const = 0;
};

} // namespace telvane
