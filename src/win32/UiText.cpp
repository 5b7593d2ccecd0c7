#include "win32/UiText.h"

#include "monitor/WideText.h"

#include <windows.h>

namespace telvane::win32 {

bool JapaneseInterface() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

std::wstring UiText(const char*, const char* source) {
    return WideFromUtf8(source);
}

} // namespace telvane::win32
