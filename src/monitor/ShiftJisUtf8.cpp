#include "monitor/ShiftJisUtf8.h"

#include "monitor/ShiftJis.h"
#include "monitor/ShiftJisCharacter.h"
#include "monitor/Utf8.h"

namespace telvane {
namespace {

using detail::DecodeShiftJisCharacter;
using detail::EncodeShiftJisCharacter;

bool IsEscape(char32_t c) {
    return c >= kShiftJisEscapeBase && c <= kShiftJisEscapeBase + 0xFF;
}

// Unicode has two characters for some of the code page's: the JIS forms that
// other converters (ICU's Shift_JIS among them) decode to, and the forms that
// code page 932 decodes to. Texts decoded elsewhere encode to the same bytes.
char32_t CodePageForm(char32_t c) {
    switch (c) {
    case 0x301C: // WAVE DASH
        return 0xFF5E;
    case 0x2016: // DOUBLE VERTICAL LINE
        return 0x2225;
    case 0x2212: // MINUS SIGN
        return 0xFF0D;
    case 0x00A2: // CENT SIGN
        return 0xFFE0;
    case 0x00A3: // POUND SIGN
        return 0xFFE1;
    case 0x00AC: // NOT SIGN
        return 0xFFE2;
    case 0x2014: // EM DASH
        return 0x2015;
    default:
        return c;
    }
}

// The bytes of a character that decode back to it; empty when there are
// none (a converter's one-way fallbacks, such as U+00A5 to "\", do not count).
std::string Encode(char32_t c) {
    const char32_t form = CodePageForm(c);
    std::string bytes = EncodeShiftJisCharacter(form);
    if (bytes.empty() || DecodeShiftJisCharacter(bytes) != form) {
        return {};
    }
    return bytes;
}

} // namespace

std::string Utf8FromShiftJis(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 3 / 2);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text += static_cast<char>(lead);
            ++i;
            continue;
        }
        const std::size_t length = IsLeadByte(lead) && i + 1 < bytes.size() ? 2 : 1;
        const std::string_view piece = bytes.substr(i, length);
        const auto c = DecodeShiftJisCharacter(piece);
        if (c && *c != 0xFFFD && !IsEscape(*c) && Encode(*c) == piece) {
            AppendUtf8(text, *c);
            i += length;
        } else {
            // Only the first byte is escaped; the next may start a character.
            AppendUtf8(text, kShiftJisEscapeBase + lead);
            ++i;
        }
    }
    return text;
}

std::string ShiftJisFromUtf8(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (IsEscape(c)) {
            bytes += static_cast<char>(c - kShiftJisEscapeBase);
        } else {
            const std::string encoded = Encode(c);
            bytes += encoded.empty() ? std::string("?") : encoded;
        }
    }
    return bytes;
}

} // namespace telvane
