// The Windows shell's texts in the user's language: Japanese, the source
// language, or English from the table generated from
// translations/telvane_en.ts, the one list both shells take their English
// from. What is stored (settings, call log) never goes through here.
#pragma once

#include <string>

// Marks a text for the translation tool (lupdate takes it for
// QT_TRANSLATE_NOOP and files it under the context) and passes both on:
// UiText(TELVANE_TRANSLATE_NOOP("context", "テキスト")).
#define TELVANE_TRANSLATE_NOOP(context, text) context, text

namespace telvane::win32 {

// Whether the shell shows English: the user's interface language is not
// Japanese.
bool EnglishInterface();
// For tests: decides the language instead of the system.
void SetEnglishInterface(bool english);

// source: the Japanese text (UTF-8), with %1 replaced by argument.
std::wstring UiText(const char* context, const char* source, const std::wstring& argument = {});
// A text of the monitor (Shift_JIS) as it is shown: its own statuses,
// captions and messages translated, anything else (a number) as it is.
std::wstring ShownText(const std::string& shiftJis);

} // namespace telvane::win32
