#include "monitor/MonitorError.h"

#include "monitor/ShiftJis.h"

namespace telvane {

std::string ErrorReportText(const std::string& message) {
    if (message.empty()) {
        return message;
    }
    // A double-byte character is compared by its lead byte.
    const auto last = static_cast<unsigned char>(message[LastCharacterStart(message)]);
    if (last > static_cast<unsigned char>('.')) {
        return message + '.';
    }
    return message;
}

} // namespace telvane
