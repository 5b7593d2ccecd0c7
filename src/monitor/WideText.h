// Windows only: the core's Shift_JIS texts as the UTF-16 of the wide-character
// calls. Code page 932 is named explicitly, so Japanese comes out right
// whatever the system's ANSI code page is.
#pragma once

#include <string>

namespace telvane {

std::wstring WideFromShiftJis(const std::string& text);
std::string ShiftJisFromWide(const std::wstring& text);

} // namespace telvane
