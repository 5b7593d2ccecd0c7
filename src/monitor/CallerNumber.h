#pragma once

#include <cstddef>
#include <string>

namespace telvane {

// At most this many bytes after the "=" make the caller's number.
inline constexpr std::size_t kMaxCallerNumberLength = 1000;

// The caller's number in a "RECEIVE CALLING PARTY" line: the text after the
// first "=", at most kMaxCallerNumberLength bytes (one less when the cap
// would split a double-byte character), without leading blanks.
// Exactly "BUFFER EMPTY" (the adapter has no number) becomes "番号情報なし".
// A line without "=" gives the empty text.
std::string ExtractCallerNumber(const std::string& callingPartyLine);

} // namespace telvane
