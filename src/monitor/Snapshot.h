// The snapshot of watched adapter lines and the table that says which line
// goes into which slot.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace telvane {

inline constexpr std::size_t kSlotCount = 11;
// The slot whose change means that a new caller has rung.
inline constexpr std::size_t kCallingPartySlot = 10;

// Slot 0 is the adapter's identity line, slots 1 to 10 the keyword lines.
using TSnapshot = std::array<std::string, kSlotCount>;

// Prefixes of the identity line; a line beginning with either goes to slot 0.
inline constexpr std::array<std::string_view, 2> IdentityPrefixes = {"AtermIT", "INS"};

// WatchKeys[i] is the prefix of slot i, for i from 1 to 10 (entry 0 is unused:
// slot 0 is recognised by IdentityPrefixes).
inline constexpr std::array<std::string_view, kSlotCount> WatchKeys = {
    "",
    "DATA PORT",
    "DIAGNOSIS DATA PORT",
    "ANALOG A PORT",
    "DIAGNOSIS ANALOG A PORT",
    "ANALOG B PORT",
    "DIAGNOSIS ANALOG B PORT",
    "ANALOG C PORT",
    "DIAGNOSIS ANALOG C PORT",
    "RECEIVE CALLED PARTY",
    "RECEIVE CALLING PARTY",
};

// Prefixes of the adapter's final result line.
inline constexpr std::array<std::string_view, 2> EndPrefixes = {"OK", "ERROR"};

// The 13-byte query command: the two backslashes are literal, CR ends it.
inline constexpr std::string_view kQueryCommand = "ATV1I4\\L0\\L1\r";

inline bool BeginsWith(std::string_view line, std::string_view prefix) {
    return !prefix.empty() && line.substr(0, prefix.size()) == prefix;
}

} // namespace telvane
