#include "service/Texts.h"

#include "monitor/ShiftJisUtf8.h"
#include "monitor/ShownTexts.h"

#include <TranslationTableEn.h>

namespace telvane {

std::string TTexts::Text(const char* context, const char* source,
                         const std::string& argument) const {
    const char* english = English_ ? english::Translate(context, source) : nullptr;
    std::string text = english != nullptr ? english : source;
    const std::size_t at = text.find("%1");
    if (at != std::string::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}

std::string TTexts::Shown(const std::string& shiftJis) const {
    const TShownText shown = FindShownText(shiftJis);
    if (shown.Source == nullptr || !English_) {
        return Utf8FromShiftJis(shiftJis);
    }
    return Text(kShownTextContext, shown.Source,
                shown.Quotes ? Utf8FromShiftJis(shown.Quoted) : std::string()) +
           Utf8FromShiftJis(shown.Rest);
}

} // namespace telvane
