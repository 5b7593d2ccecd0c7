// The interface's language. Japanese is the source language and the default;
// a desktop in another language gets the English translation, built from
// translations/telvane_en.ts and embedded in the program. What is stored
// (settings, call log) never changes with the language.
#pragma once

#include <QLocale>
#include <QString>

#include <memory>
#include <string>

class QTranslator;

namespace telvane {

// Whether a desktop in this locale gets the English interface: any language
// but Japanese and the unset "C" locale.
bool UsesEnglish(const QLocale& locale);

// The translator for the locale, not yet installed; none for Japanese.
std::unique_ptr<QTranslator> LoadTranslation(const QLocale& locale);

} // namespace telvane
