// Japanese numbers read from a table compiled out of libphonenumber's data
// (tools/jp-numbering): for home region "JP", the same reading that
// ReadNumber and ReadKey give with the library, without loading it.
#pragma once

#include "callers/NumberReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telvane {

// numberText: ASCII digits with "+" and separators, as ReadNumber takes it.
// A Japanese number is the national number after "0", "+81" or "010 81"
// (Japan's international prefix). Anything else is not the table's to read:
// nullopt for another country, an international call, digits without the
// leading "0" (an extension such as "201") or no digits at all.
std::optional<TNumberReading> ReadJapaneseNumber(const std::string& numberText, bool english);

// ReadJapaneseNumber(numberText, ...)->Key without formatting or areas.
std::optional<std::string> ReadJapaneseKey(const std::string& numberText);

// A run of national significant numbers that read alike: Length digits with
// leading zeros, First to Last.
struct TJapaneseNumberRange {
    int Length = 0;
    std::uint64_t First = 0;
    std::uint64_t Last = 0;
};

// Every range the table tells apart, by length and then number.
std::vector<TJapaneseNumberRange> JapaneseNumberRanges();

} // namespace telvane
