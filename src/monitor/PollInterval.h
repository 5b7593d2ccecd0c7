// The poll interval, read from the interval selector's text such as " 5分".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace telvane {

// The factor in milliseconds of the unit in bytes 3 and 4 of the text: 60000
// for "分", 1000 for "秒", nullopt for anything else.
std::optional<std::uint32_t> IntervalUnitFactor(const std::string& intervalText);

// The interval in milliseconds: bytes 1 and 2 of the text as a decimal
// integer (leading blanks and a sign allowed) times the factor. Raises
// EMonitorError, naming the text, when they are no integer or the product is
// negative or too large.
std::uint32_t PollIntervalMs(const std::string& intervalText, std::uint32_t factor);

} // namespace telvane
