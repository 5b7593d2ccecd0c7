// The texts a front end shows, in the user's language: Japanese, the source
// language, or English from the table generated from translations/telvane_en.ts,
// the one list every front end takes its English from. What is stored (the
// settings, the call log) never goes through here.
#pragma once

#include <string>

// Marks a text for the translation tool (lupdate takes it for
// QT_TRANSLATE_NOOP and files it under the context) and passes both on:
// Text(TELVANE_TRANSLATE_NOOP("context", "テキスト")).
#define TELVANE_TRANSLATE_NOOP(context, text) context, text

namespace telvane {

class TTexts {
public:
    explicit TTexts(bool english = false) : English_(english) {}

    bool English() const { return English_; }
    // "en" or "ja", for the number knowledge's areas and kinds.
    const char* Language() const { return English_ ? "en" : "ja"; }

    // source: the Japanese text (UTF-8), its "%1" replaced by argument.
    std::string Text(const char* context, const char* source,
                     const std::string& argument = {}) const;
    // A text of the monitor (Shift_JIS) as it is shown, in UTF-8: its own
    // statuses, captions and messages translated, with what they quote kept;
    // anything else (a number) decoded unchanged.
    std::string Shown(const std::string& shiftJis) const;

private:
    bool English_;
};

} // namespace telvane
