// The numbers a pattern of libphonenumber's metadata matches, as sequences of
// digit classes. The patterns are finite: literal digits, classes, \d,
// groups, alternatives and bounded repeats. Anything else is refused, so
// that no number shape is ever guessed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telvane::jp {

// One bit per digit 0-9 for each position.
using TDigitClasses = std::vector<std::uint16_t>;

constexpr std::uint16_t kAnyDigit = 0x3FF;

// Every sequence the pattern matches in full, without duplicates. Throws
// std::runtime_error naming the construct and its place when the pattern
// holds anything else.
std::vector<TDigitClasses> ExpandDigitPattern(const std::string& pattern);

} // namespace telvane::jp
