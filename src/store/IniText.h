// Keys and values of an INI settings file in the notation of Qt's QSettings
// (IniFormat), which wrote the file before this store and may read it
// again: UTF-8, %XX and %UXXXX in names, C-like escapes and quotes in
// values, unquoted commas for a list, @-forms for values that are no text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvane {

// What a value's notation holds.
struct TIniValue {
    enum class TKind {
        Text,
        // Unquoted commas: several texts.
        List,
        // A value of another kind (@ByteArray(...), @Variant(...), ...).
        Other,
    };
    TKind Kind = TKind::Text;
    // The text, or each text of a list (UTF-8).
    std::vector<std::string> Texts;
};

// Reads the notation after "=" up to the end of its entry.
TIniValue ParseIniValue(std::string_view notation);
// The notation of a text (UTF-8; invalid bytes become U+FFFD).
std::string FormatIniText(std::string_view text);

// A key's or section's name as written in the file, unescaped; "\" in it
// means "/".
std::string ParseIniName(std::string_view notation);
// The notation of a name; "/" in it becomes "\".
std::string FormatIniName(std::string_view name);

// The order in which the file lists sections and keys (UTF-16 code units).
bool IniNameLess(std::string_view a, std::string_view b);

} // namespace telvane
