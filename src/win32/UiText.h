// The Windows shell's texts in the user's language: Japanese, the source
// language, or English from the table generated from the translations.
// What is stored (settings, call log) never goes through here.
#pragma once

#include <string>

namespace telvane::win32 {

// Whether the user's interface language is Japanese.
bool JapaneseInterface();
// source: the Japanese text (UTF-8); context: as in the translations.
std::wstring UiText(const char* context, const char* source);

} // namespace telvane::win32
