#include "win32/Translation.h"

#include "monitor/WideText.h"

#include <windows.h>

#include <optional>

namespace telvane::win32 {
namespace {

std::optional<bool> ChosenEnglish;

} // namespace

bool EnglishInterface() {
    if (ChosenEnglish) {
        return *ChosenEnglish;
    }
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) != LANG_JAPANESE;
}

void SetEnglishInterface(bool english) {
    ChosenEnglish = english;
}

std::wstring UiText(const char* context, const char* source, const std::string& argument) {
    return WideFromUtf8(TTexts(EnglishInterface()).Text(context, source, argument));
}

} // namespace telvane::win32
