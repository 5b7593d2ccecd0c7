// One Shift_JIS character through the platform's converter (_posix: iconv).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace telvane::detail {

// The one character that the bytes decode to; nullopt when they are not
// exactly one character.
std::optional<char32_t> DecodeShiftJisCharacter(std::string_view bytes);
// The character's bytes; empty when the code page lacks it.
std::string EncodeShiftJisCharacter(char32_t character);

} // namespace telvane::detail
