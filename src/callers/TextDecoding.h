// Turning the byte texts of files and of the monitor into UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace telvane {

// Shift_JIS (code page 932) to UTF-8; a byte sequence that is no character
// becomes U+FFFD. Platform file: iconv on POSIX, the code page API on Windows.
std::string ShiftJisToUtf8(std::string_view text);

bool IsValidUtf8(std::string_view text);

// UTF-8 as it is when valid; otherwise read as Shift_JIS, the other encoding
// Japanese contacts and logs come in.
std::string Utf8OrShiftJis(std::string_view text);

// Latin-1 to UTF-8.
std::string Latin1ToUtf8(std::string_view text);

// The bytes of a file saved as UTF-16 with a byte order mark (little or big
// endian, as Windows address books export) as UTF-8, without the mark; a
// lone surrogate or an odd last byte becomes U+FFFD. Nothing when the bytes
// begin with no such mark.
std::optional<std::string> Utf16FileToUtf8(std::string_view bytes);

} // namespace telvane
