#include "win32/UiText.h"

#include "monitor/ShownTexts.h"
#include "monitor/WideText.h"

#include <TranslationTableEn.h>

#include <windows.h>

#include <optional>

namespace telvane::win32 {
namespace {

std::optional<bool> ChosenEnglish;

std::wstring WithArgument(std::wstring text, const std::wstring& argument) {
    const std::size_t at = text.find(L"%1");
    if (at != std::wstring::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}

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

std::wstring UiText(const char* context, const char* source, const std::wstring& argument) {
    const char* text = source;
    if (EnglishInterface()) {
        if (const char* english = english::Translate(context, source)) {
            text = english;
        }
    }
    return WithArgument(WideFromUtf8(text), argument);
}

std::wstring ShownText(const std::string& shiftJis) {
    const TShownText shown = FindShownText(shiftJis);
    if (shown.Source == nullptr || !EnglishInterface()) {
        return WideFromShiftJis(shiftJis);
    }
    return UiText(kShownTextContext, shown.Source,
                  shown.Quotes ? WideFromShiftJis(shown.Quoted) : std::wstring()) +
           WideFromShiftJis(shown.Rest);
}

} // namespace telvane::win32
