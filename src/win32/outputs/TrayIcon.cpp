#include "win32/outputs/TrayIcon.h"

#include <algorithm>
#include <vector>

namespace telvane::win32 {
namespace {

constexpr UINT kIconId = 1;

// The icon with its colours turned to grey, its shape kept; nullptr when
// the system cannot make it.
HICON GreyedIcon(HICON icon) {
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) {
        return nullptr;
    }
    HICON greyed = nullptr;
    BITMAP bitmap{};
    if (info.hbmColor && ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = bitmap.bmWidth;
        format.bmiHeader.biHeight = -bitmap.bmHeight;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        std::vector<RGBQUAD> pixels(static_cast<std::size_t>(bitmap.bmWidth) *
                                    static_cast<std::size_t>(bitmap.bmHeight));
        const HDC dc = ::GetDC(nullptr);
        if (::GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(),
                        &format, DIB_RGB_COLORS)) {
            for (RGBQUAD& pixel : pixels) {
                // Lighter than the luminance, as disabled things look.
                const int grey =
                    (pixel.rgbRed * 30 + pixel.rgbGreen * 59 + pixel.rgbBlue * 11) / 100;
                const auto light = static_cast<BYTE>((grey + 255) / 2);
                pixel.rgbRed = pixel.rgbGreen = pixel.rgbBlue = light;
            }
            ::SetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(),
                        &format, DIB_RGB_COLORS);
            greyed = ::CreateIconIndirect(&info);
        }
        ::ReleaseDC(nullptr, dc);
    }
    if (info.hbmColor) {
        ::DeleteObject(info.hbmColor);
    }
    ::DeleteObject(info.hbmMask);
    return greyed;
}

} // namespace

TTrayIcon::TTrayIcon(HWND window, UINT callbackMessage, HICON icon)
    : Window_(window), Message_(callbackMessage), Normal_(icon), Greyed_(GreyedIcon(icon)),
      Tip_(L"Telvane") {}

TTrayIcon::~TTrayIcon() {
    Remove();
    if (Greyed_) {
        ::DestroyIcon(Greyed_);
    }
}

std::wstring TTrayIcon::Fit(const std::wstring& text, std::size_t capacity) {
    if (text.size() < capacity) {
        return text;
    }
    std::size_t length = capacity - 1;
    // Never half of a surrogate pair.
    if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] < 0xDC00) {
        --length;
    }
    return text.substr(0, length);
}

NOTIFYICONDATAW TTrayIcon::Data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = Window_;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = Message_;
    data.hIcon = Up_ || !Greyed_ ? Normal_ : Greyed_;
    const std::wstring tip = Fit(Tip_, std::size(data.szTip));
    std::copy(tip.begin(), tip.end(), data.szTip);
    return data;
}

void TTrayIcon::Add() {
    if (Shown_) {
        return;
    }
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    Shown_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TTrayIcon::Remove() {
    if (!Shown_) {
        return;
    }
    NOTIFYICONDATAW data = Data(0);
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    Shown_ = false;
}

void TTrayIcon::Modify(UINT flags) {
    if (Shown_) {
        NOTIFYICONDATAW data = Data(flags);
        ::Shell_NotifyIconW(NIM_MODIFY, &data);
    }
}

void TTrayIcon::SetKept(bool kept) {
    Kept_ = kept;
    if (kept) {
        Add();
    } else {
        Remove();
    }
}

void TTrayIcon::Show(const std::wstring& tip, bool adapterUp) {
    Tip_ = tip;
    Up_ = adapterUp;
    Modify(NIF_TIP | NIF_ICON);
}

void TTrayIcon::Balloon(const std::wstring& title, const std::wstring& text, DWORD icon) {
    Add();
    if (!Shown_) {
        return;
    }
    NOTIFYICONDATAW data = Data(NIF_INFO);
    const std::wstring fittedTitle = Fit(title, std::size(data.szInfoTitle));
    const std::wstring fittedText = Fit(text, std::size(data.szInfo));
    std::copy(fittedTitle.begin(), fittedTitle.end(), data.szInfoTitle);
    std::copy(fittedText.begin(), fittedText.end(), data.szInfo);
    data.dwInfoFlags = icon;
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TTrayIcon::BalloonEnded() {
    if (!Kept_) {
        Remove();
    }
}

} // namespace telvane::win32
