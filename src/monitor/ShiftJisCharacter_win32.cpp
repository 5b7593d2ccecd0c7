// Code page 932 through the system's own conversion: what Windows programs
// and the adapters write.
#include "monitor/ShiftJisCharacter.h"

#include <windows.h>

namespace telvane::detail {
namespace {

constexpr UINT kCodePage = 932;

} // namespace

std::optional<char32_t> DecodeShiftJisCharacter(std::string_view bytes) {
    wchar_t wide[4] = {};
    const int length = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                             static_cast<int>(bytes.size()), wide, 4);
    // Every character of the code page is in the basic plane: one unit.
    if (length != 1) {
        return std::nullopt;
    }
    return static_cast<char32_t>(wide[0]);
}

std::string EncodeShiftJisCharacter(char32_t character) {
    if (character > 0xFFFF) {
        return {};
    }
    const wchar_t wide = static_cast<wchar_t>(character);
    char bytes[4] = {};
    BOOL defaulted = FALSE;
    const int length = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes,
                                             sizeof bytes, nullptr, &defaulted);
    if (length <= 0 || defaulted) {
        return {};
    }
    return std::string(bytes, static_cast<std::size_t>(length));
}

} // namespace telvane::detail
