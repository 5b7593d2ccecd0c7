// Parsing follows the library's steps for a home number: an international
// prefix followed by the country code, or "+" and the code, or a national
// prefix; the national prefix stays when taking it off would leave a number
// of the wrong length, or one the general pattern refuses although it took
// the whole. The rest is a binary search in the ranges of that length.
#include "callers/JapanNumbering.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace telvane {
namespace {

#include "callers/JapanNumberingTable.inc"

constexpr unsigned kViable = 0x80;
constexpr unsigned kKindBits = 0x7F;

// Views made where used, so that no pointer to the table is stored.
std::string_view CountryCode() {
    return {kCountryCode, sizeof(kCountryCode) - 1};
}
std::string_view InternationalPrefix() {
    return {kInternationalPrefix, sizeof(kInternationalPrefix) - 1};
}
std::string_view NationalPrefix() {
    return {kNationalPrefix, sizeof(kNationalPrefix) - 1};
}

bool HasLength(std::uint32_t lengths, std::size_t length) {
    return length < 32 && ((lengths >> length) & 1u) != 0;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::uint64_t PowerOfTen(std::size_t exponent) {
    std::uint64_t value = 1;
    while (exponent-- > 0) {
        value *= 10;
    }
    return value;
}

// The reading of a national significant number (digits only); 0 when none.
std::size_t ReadingOf(std::string_view number) {
    if (number.size() + 1 >= std::size(kLengthFirst)) {
        return 0;
    }
    const std::uint64_t* first = kRangeStart + kLengthFirst[number.size()];
    const std::uint64_t* last = kRangeStart + kLengthFirst[number.size() + 1];
    if (first == last) {
        return 0;
    }
    std::uint64_t value = 0;
    for (const char c : number) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    // Each length's first range starts at 0.
    const std::uint64_t* range = std::upper_bound(first, last, value) - 1;
    return kRangeReading[range - kRangeStart];
}

bool IsViable(std::string_view digits) {
    return (kReadingKind[ReadingOf(digits)] & kViable) != 0;
}

std::string_view WithoutNationalPrefix(std::string_view digits) {
    if (!StartsWith(digits, NationalPrefix())) {
        return digits;
    }
    const std::string_view rest = digits.substr(NationalPrefix().size());
    if (IsViable(digits) && !IsViable(rest)) {
        return digits;
    }
    const bool possible =
        HasLength(kPossibleLengths, rest.size()) && !HasLength(kLocalOnlyLengths, rest.size());
    return possible ? rest : digits;
}

// The national significant number of digits (DigitsOf's form), or nullopt
// when they are no Japanese number.
std::optional<std::string_view> NationalNumberOf(std::string_view digits) {
    if (StartsWith(digits, "+")) {
        digits.remove_prefix(1);
        if (!StartsWith(digits, CountryCode())) {
            return std::nullopt;
        }
        return WithoutNationalPrefix(digits.substr(CountryCode().size()));
    }
    // No country code starts with 0, so "0" after the prefix dials home.
    if (StartsWith(digits, InternationalPrefix()) &&
        !StartsWith(digits.substr(InternationalPrefix().size()), "0")) {
        digits.remove_prefix(InternationalPrefix().size());
        if (!StartsWith(digits, CountryCode())) {
            return std::nullopt;
        }
        return WithoutNationalPrefix(digits.substr(CountryCode().size()));
    }
    if (StartsWith(digits, NationalPrefix())) {
        return WithoutNationalPrefix(digits);
    }
    return std::nullopt;
}

// E.164 when the length is possible, else the digits as dialled.
std::string KeyOf(std::string_view number, const std::string& digits) {
    if (HasLength(kPossibleLengths | kLocalOnlyLengths, number.size())) {
        return '+' + std::string(CountryCode()) + std::string(number);
    }
    return digits;
}

std::string NationalOf(std::string_view number, const std::uint8_t* grouping) {
    std::string text = grouping[0] != 0 ? std::string(NationalPrefix()) : std::string();
    std::size_t at = 0;
    for (std::size_t g = 1; g <= kMostGroups && grouping[g] != 0 && at < number.size(); ++g) {
        if (at > 0) {
            text += '-';
        }
        text.append(number.substr(at, grouping[g]));
        at += grouping[g];
    }
    if (at < number.size()) {
        text.append(number.substr(at));
    }
    return text;
}

} // namespace

std::optional<TNumberReading> ReadJapaneseNumber(const std::string& numberText, bool english) {
    const std::string digits = DigitsOf(numberText);
    const std::optional<std::string_view> number = NationalNumberOf(digits);
    if (!number) {
        return std::nullopt;
    }
    TNumberReading reading;
    reading.Key = KeyOf(*number, digits);
    const std::size_t index = ReadingOf(*number);
    const auto kind = static_cast<ENumberKind>(kReadingKind[index] & kKindBits);
    if (kind == ENumberKind::nkUnknown) {
        return reading;
    }
    reading.Parsed = true;
    reading.Kind = kind;
    reading.National = NationalOf(*number, kGroupings[kReadingGrouping[index]]);
    reading.Area = kTexts + (english ? kReadingAreaEn[index] : kReadingAreaJa[index]);
    return reading;
}

std::optional<std::string> ReadJapaneseKey(const std::string& numberText) {
    const std::string digits = DigitsOf(numberText);
    const std::optional<std::string_view> number = NationalNumberOf(digits);
    if (!number) {
        return std::nullopt;
    }
    return KeyOf(*number, digits);
}

std::vector<TJapaneseNumberRange> JapaneseNumberRanges() {
    std::vector<TJapaneseNumberRange> ranges;
    for (std::size_t length = 0; length + 1 < std::size(kLengthFirst); ++length) {
        const std::size_t end = kLengthFirst[length + 1];
        for (std::size_t i = kLengthFirst[length]; i < end; ++i) {
            const std::uint64_t next = i + 1 < end ? kRangeStart[i + 1] : PowerOfTen(length);
            ranges.push_back({static_cast<int>(length), kRangeStart[i], next - 1});
        }
    }
    return ranges;
}

} // namespace telvane
