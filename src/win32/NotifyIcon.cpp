#include "win32/NotifyIcon.h"

#include <shellapi.h>

#include <algorithm>

namespace telvane::win32 {
namespace {
constexpr UINT kIconId = 1;
} // namespace

TNotifyIcon::TNotifyIcon(HWND window, UINT callbackMessage, HICON normal, HICON unreachable)
    : Window_(window), Message_(callbackMessage), Normal_(normal), Unreachable_(unreachable),
      Tip_(L"Telvane") {}

TNotifyIcon::~TNotifyIcon() {
    Remove();
}

std::wstring TNotifyIcon::Fit(const std::wstring& text, std::size_t capacity) {
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

NOTIFYICONDATAW TNotifyIcon::Data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = Window_;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = Message_;
    data.hIcon = Reachable_ ? Normal_ : Unreachable_;
    const std::wstring tip = Fit(Tip_, std::size(data.szTip));
    std::copy(tip.begin(), tip.end(), data.szTip);
    return data;
}

void TNotifyIcon::Add() {
    if (Shown_) {
        return;
    }
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    Shown_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TNotifyIcon::Remove() {
    if (!Shown_) {
        return;
    }
    NOTIFYICONDATAW data = Data(0);
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    Shown_ = false;
}

void TNotifyIcon::SetKept(bool kept) {
    Kept_ = kept;
    if (kept) {
        Add();
    } else {
        Remove();
    }
}

void TNotifyIcon::SetTip(const std::wstring& tip) {
    Tip_ = tip;
    if (Shown_) {
        NOTIFYICONDATAW data = Data(NIF_TIP);
        ::Shell_NotifyIconW(NIM_MODIFY, &data);
    }
}

void TNotifyIcon::SetReachable(bool reachable) {
    Reachable_ = reachable;
    if (Shown_) {
        NOTIFYICONDATAW data = Data(NIF_ICON);
        ::Shell_NotifyIconW(NIM_MODIFY, &data);
    }
}

void TNotifyIcon::Balloon(const std::wstring& title, const std::wstring& text) {
    Add();
    if (!Shown_) {
        return;
    }
    NOTIFYICONDATAW data = Data(NIF_INFO);
    const std::wstring fittedTitle = Fit(title, std::size(data.szInfoTitle));
    const std::wstring fittedText = Fit(text, std::size(data.szInfo));
    std::copy(fittedTitle.begin(), fittedTitle.end(), data.szInfoTitle);
    std::copy(fittedText.begin(), fittedText.end(), data.szInfo);
    data.dwInfoFlags = NIIF_INFO;
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TNotifyIcon::BalloonEnded() {
    if (!Kept_) {
        Remove();
    }
}

} // namespace telvane::win32
