#include "monitor/PortText.h"

#include "monitor/MonitorError.h"
#include "monitor/Texts.h"

namespace telvane {

std::uint8_t PortNumberFromText(const std::string& portText) {
    if (portText.size() < 4 || portText[3] < '0' || portText[3] > '9') {
        throw EMonitorError(std::string(texts::kPortTextBefore) + portText + texts::kPortTextAfter);
    }
    return static_cast<std::uint8_t>(portText[3] - '0');
}

} // namespace telvane
