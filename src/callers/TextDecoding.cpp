#include "callers/TextDecoding.h"

#include <algorithm>

namespace telvane {

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned int min = 0;
        unsigned int code = 0;
        if ((byte & 0xE0) == 0xC0) {
            length = 2, min = 0x80, code = byte & 0x1F;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3, min = 0x800, code = byte & 0x0F;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4, min = 0x10000, code = byte & 0x07;
        } else {
            return false;
        }
        if (size - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond Unicode.
        if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string Utf8OrShiftJis(std::string_view text) {
    if (IsValidUtf8(text)) {
        return std::string(text);
    }
    return ShiftJisToUtf8(text);
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

} // namespace telvane
