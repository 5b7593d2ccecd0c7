#include "monitor/CallLog.h"

namespace telvane {

std::string RingLogField(std::string field) {
    // Ctrl-Z would become the cut point of the next append; CR and LF would
    // split the line. None of them is a Shift_JIS trail byte, and neither is
    // '?', so no neighbouring byte changes its meaning.
    for (char& byte : field) {
        if (byte == '\x1A' || byte == '\r' || byte == '\n') {
            byte = '?';
        }
    }
    return field;
}

std::string RingLogLine(const std::string& lastPollTime, const std::string& ringTime,
                        const std::string& callerNumber) {
    return RingLogField(lastPollTime) + ',' + RingLogField(ringTime) + ',' +
           RingLogField(callerNumber);
}

void AppendRingLog(const std::filesystem::path& file, const std::string& displayName,
                   const std::string& lastPollTime, const std::string& ringTime,
                   const std::string& callerNumber) {
    AppendRingLogText(file, displayName,
                      RingLogLine(lastPollTime, ringTime, callerNumber) + "\r\n");
}

} // namespace telvane
