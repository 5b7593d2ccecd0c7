#include "monitor/CallLog.h"

namespace telvane {

std::string RingLogLine(const std::string& lastPollTime, const std::string& ringTime,
                        const std::string& callerNumber) {
    return lastPollTime + ',' + ringTime + ',' + callerNumber;
}

} // namespace telvane
