#include "callers/TextDecoding.h"

namespace telvane {
namespace {

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

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
        AppendUtf8(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::optional<std::string> Utf16FileToUtf8(std::string_view bytes) {
    const bool little = bytes.substr(0, 2) == "\xFF\xFE";
    if (!little && bytes.substr(0, 2) != "\xFE\xFF") {
        return std::nullopt;
    }
    const auto unitAt = [bytes, little](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return little ? char32_t(second) << 8 | first : char32_t(first) << 8 | second;
    };
    std::string out;
    // Mostly ASCII: one byte of UTF-8 for two of UTF-16.
    out.reserve(bytes.size() / 2);
    std::size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
        char32_t code = unitAt(i);
        if (IsHighSurrogate(code) && i + 3 < bytes.size() && IsLowSurrogate(unitAt(i + 2))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00);
            i += 2;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    if (i < bytes.size()) {
        AppendUtf8(out, 0xFFFD);
    }
    return out;
}

} // namespace telvane
