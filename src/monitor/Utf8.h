// UTF-8 and UTF-16 for texts that cross into other encodings. Bytes that are
// no UTF-8 and lone surrogates become U+FFFD, as Qt reads and writes them.
#pragma once

#include <string>
#include <string_view>

namespace telvane {

// The code point at text[i], moving i past it; an invalid byte reads as
// U+FFFD and moves i by one.
char32_t NextCodePoint(std::string_view text, std::size_t& i);
void AppendUtf8(std::string& out, char32_t codePoint);

std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);
// The same text with each invalid byte replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

} // namespace telvane
