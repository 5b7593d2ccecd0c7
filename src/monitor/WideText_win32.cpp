#include "monitor/WideText.h"

#include <windows.h>

#include <climits>

namespace telvane {
namespace {

constexpr UINT kShiftJisCodePage = 932;

// Texts longer than an int can count are cut there; no text of the program
// comes near.
int Count(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

std::wstring WideFrom(UINT codePage, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length = Count(text.size());
    const int wide = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0) {
        ::MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), wide);
    }
    return result;
}

std::string NarrowFrom(UINT codePage, const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length = Count(text.size());
    const int bytes =
        ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        ::WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), bytes, nullptr,
                              nullptr);
    }
    return result;
}

} // namespace

std::wstring WideFromShiftJis(const std::string& text) {
    return WideFrom(kShiftJisCodePage, text);
}

std::string ShiftJisFromWide(const std::wstring& text) {
    return NarrowFrom(kShiftJisCodePage, text);
}

std::wstring WideFromUtf8(const std::string& text) {
    return WideFrom(CP_UTF8, text);
}

std::string Utf8FromWide(const std::wstring& text) {
    return NarrowFrom(CP_UTF8, text);
}

} // namespace telvane
