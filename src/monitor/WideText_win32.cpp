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

} // namespace

std::wstring WideFromShiftJis(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length = Count(text.size());
    const int wide = ::MultiByteToWideChar(kShiftJisCodePage, 0, text.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0) {
        ::MultiByteToWideChar(kShiftJisCodePage, 0, text.data(), length, result.data(), wide);
    }
    return result;
}

std::string ShiftJisFromWide(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length = Count(text.size());
    const int bytes = ::WideCharToMultiByte(kShiftJisCodePage, 0, text.data(), length, nullptr, 0,
                                            nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        ::WideCharToMultiByte(kShiftJisCodePage, 0, text.data(), length, result.data(), bytes,
                              nullptr, nullptr);
    }
    return result;
}

} // namespace telvane
