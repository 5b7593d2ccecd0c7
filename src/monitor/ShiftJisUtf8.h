// Conversion between the monitor's Shift_JIS byte strings and UTF-8, for
// stores and shells that keep Unicode. Same rule as the Qt shell's codec, so
// that either reads what the other wrote.
#pragma once

#include <string>
#include <string_view>

namespace telvane {

// The first of the private-use characters U+F700..U+F7FF that stand for a
// byte that is no character.
inline constexpr char32_t kShiftJisEscapeBase = 0xF700;

// Decodes Shift_JIS (code page 932). A byte that does not decode to a
// character that encodes back to the same bytes (a stray trail byte, an
// unassigned code, a lead byte at the end) becomes U+F700 + byte, so that any
// byte string survives the trip through Unicode unchanged.
std::string Utf8FromShiftJis(std::string_view bytes);

// Encodes to Shift_JIS; U+F700..U+F7FF become the byte they stand for. A
// character that Shift_JIS lacks becomes "?".
std::string ShiftJisFromUtf8(std::string_view text);

} // namespace telvane
