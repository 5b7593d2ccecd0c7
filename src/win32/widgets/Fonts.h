// The fonts of the windows: Japanese proportional Gothic and Mincho faces at
// character heights in pixels at 96 dpi, scaled to the screen.
#pragma once

#include <windows.h>

namespace telvane::win32 {

enum class TFace { fcGothic, fcMincho };

// The first installed face of the family's list, the layout's own first.
const wchar_t* FaceName(TFace face);

// A new font; the caller deletes it with DeleteObject.
HFONT CreateJapaneseFont(TFace face, int characterHeight, bool bold, bool italic);

// Sizes a label to its text in its font, growing to the right; the height
// stays.
void SizeLabelToText(HWND label);

// Pixels at 96 dpi on this screen.
int Scaled(int pixels);

} // namespace telvane::win32
