#pragma once

#include <cstdint>
#include <string>

namespace telvane {

// The port number in the port selector's text: its 4th byte as a decimal
// digit, so "COM3" gives 3, "COM12" gives 1 and "COM0" gives 0. Raises
// EMonitorError, naming the text, when the 4th byte is missing or no digit.
std::uint8_t PortNumberFromText(const std::string& portText);

} // namespace telvane
