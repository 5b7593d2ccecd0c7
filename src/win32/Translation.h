// The Windows front end's own control texts in the user's language:
// Japanese, the source language, or English from the table generated from
// translations/telvane_en.ts. Texts the service decides come from the
// service, already in the user's language.
#pragma once

#include "service/Texts.h"

#include <string>

namespace telvane::win32 {

// Whether the front end shows English: the user's interface language is not
// Japanese.
bool EnglishInterface();
// For tests: decides the language instead of the system.
void SetEnglishInterface(bool english);

// source: the Japanese text (UTF-8), with %1 replaced by argument.
std::wstring UiText(const char* context, const char* source, const std::string& argument = {});

} // namespace telvane::win32
