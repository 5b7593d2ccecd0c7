// Who else hears of a call: the shells connect this to names, notifications,
// the hook command and MQTT. The monitor itself knows none of them.
#pragma once

#include <string>

namespace telvane {

class ICallSink {
public:
    virtual ~ICallSink() = default;
    // A new caller, called by the result phase after the call log line was
    // written or kept for later. number is the caller text as shown (Shift_JIS);
    // detectionTime is RingTime, previousPollTime the last answered poll before.
    virtual void NewCaller(const std::string& number, const std::string& detectionTime,
                           const std::string& previousPollTime) = 0;
    // The adapter stopped answering (kAdapterDownAfter result phases in a row
    // without an identity line), or answered again after that.
    virtual void AdapterHealth(bool up) = 0;
};

// Unanswered queries in a row after which the adapter counts as unreachable.
inline constexpr int kAdapterDownAfter = 3;

} // namespace telvane
