// Conversion between the monitor's Shift_JIS byte strings and Qt's Unicode
// strings, at the boundary to Qt.
#pragma once

#include <QString>

#include <string>

namespace telvane {

// Decodes Shift_JIS. A byte that does not decode to a character that
// encodes back to the same bytes (a stray trail byte, an unassigned code, a
// lead byte at the end) becomes the private-use character U+F700 + byte, so
// that any byte string survives a trip through Unicode unchanged.
QString FromShiftJis(const std::string& bytes);

// Encodes to Shift_JIS; U+F700 to U+F7FF become the single byte they stand
// for. A character that Shift_JIS lacks becomes "?".
std::string ToShiftJis(const QString& text);

// Whether this Qt can convert Shift_JIS at all (it needs ICU).
bool ShiftJisAvailable();

} // namespace telvane
