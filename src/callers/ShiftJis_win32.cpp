// Shift_JIS decoding with the Windows code page 932 conversion.
#include "callers/TextDecoding.h"

#include <windows.h>

#include <climits>

namespace telvane {

std::string ShiftJisToUtf8(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX / 3)) {
        return {};
    }
    const int inLength = static_cast<int>(text.size());
    // Without MB_ERR_INVALID_CHARS an invalid byte becomes a default character
    // instead of failing the whole text.
    const int wideLength = ::MultiByteToWideChar(932, 0, text.data(), inLength, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(932, 0, text.data(), inLength, wide.data(), wideLength);
    const int outLength =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(outLength), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), outLength, nullptr,
                          nullptr);
    return out;
}

} // namespace telvane
