#include "win32/widgets/Fonts.h"

#include <array>
#include <string>

namespace telvane::win32 {
namespace {

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool Installed(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(wanted.lfFaceName, face, _TRUNCATE);
    bool found = false;
    const HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &wanted, &FoundFace, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

template <std::size_t N> const wchar_t* FirstInstalled(const std::array<const wchar_t*, N>& faces) {
    for (const wchar_t* face : faces) {
        if (Installed(face)) {
            return face;
        }
    }
    return faces.front();
}

} // namespace

const wchar_t* FaceName(TFace face) {
    static const wchar_t* const gothic = FirstInstalled(std::array<const wchar_t*, 7>{
        L"ＭＳ Ｐゴシック", L"MS PGothic", L"Meiryo UI", L"Yu Gothic UI", L"IPAPGothic",
        L"Noto Sans CJK JP", L"IPAGothic"});
    static const wchar_t* const mincho = FirstInstalled(
        std::array<const wchar_t*, 6>{L"ＭＳ Ｐ明朝", L"MS PMincho", L"Yu Mincho", L"IPAPMincho",
                                      L"Noto Serif CJK JP", L"IPAMincho"});
    return face == TFace::fcGothic ? gothic : mincho;
}

int Scaled(int pixels) {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ::ReleaseDC(nullptr, screen);
    }
    return ::MulDiv(pixels, dpi > 0 ? dpi : 96, 96);
}

HFONT CreateJapaneseFont(TFace face, int characterHeight, bool bold, bool italic) {
    // A negative height asks for the character height, not the cell height.
    return ::CreateFontW(-Scaled(characterHeight), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                         italic ? TRUE : FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                         FaceName(face));
}

void SizeLabelToText(HWND label) {
    const int length = ::GetWindowTextLengthW(label);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(label, text.data(), length + 1)));
    const HDC dc = ::GetDC(label);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    RECT area{};
    ::GetWindowRect(label, &area);
    ::SetWindowPos(label, nullptr, 0, 0, extent.cx, area.bottom - area.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(label, nullptr, TRUE);
}

} // namespace telvane::win32
