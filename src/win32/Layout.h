// The main window's controls as data: kind, place, text, hint and font, in
// tab order. The window is built from this table; it holds no logic.
#pragma once

#include <array>

namespace telvane::win32 {

enum class TControlKind { ckLabel, ckCheckBox, ckComboBox, ckButton, ckDefaultButton };
enum class TFontKind { fkWindow, fkNumber, fkTime, fkStatus };

struct TControlLayout {
    int Id;
    TControlKind Kind;
    int Left, Top, Width, Height;
    const wchar_t* Text;
    const wchar_t* Hint; // nullptr: none
    TFontKind Font;
};

inline constexpr int kClientWidth = 311;
inline constexpr int kClientHeight = 152;
inline constexpr int kDropDownRows = 8;

// Controls that take focus first, in tab order; the labels after them.
extern const std::array<TControlLayout, 12> kMainControls;

extern const std::array<const wchar_t*, 9> kPortItems;
extern const std::array<const wchar_t*, 11> kIntervalItems;

// The version dialog, in pixels of its client area (the panel's children in
// the panel's).
inline constexpr int kAboutClientWidth = 298;
inline constexpr int kAboutClientHeight = 213;
struct TRect {
    int Left, Top, Width, Height;
};
inline constexpr TRect kPanel1{8, 8, 281, 161};
inline constexpr TRect kImageIcon{8, 8, 64, 64};
inline constexpr TRect kProductName{88, 16, 165, 16};
inline constexpr TRect kVersion{88, 40, 63, 12};
inline constexpr TRect kOKButton{119, 180, 75, 25};

// Where a window of the given outer size goes to be centred on a screen:
// halves rounded towards zero, never negative.
struct TPoint {
    int X, Y;
};
TPoint CentredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

} // namespace telvane::win32
