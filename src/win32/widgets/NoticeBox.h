// A notice that does not wait: one box at most, owned by the main window,
// made once and its text replaced by a newer notice; the program goes on
// polling while it is open.
#pragma once

#include <string>

#include <windows.h>

namespace telvane::win32 {

class TNoticeBox {
public:
    TNoticeBox(HINSTANCE instance, HWND owner);
    ~TNoticeBox();
    TNoticeBox(const TNoticeBox&) = delete;
    TNoticeBox& operator=(const TNoticeBox&) = delete;

    // text: UTF-8, its lines as they are.
    void Show(const std::string& text);
    bool PreTranslate(MSG& message);
    // nullptr while no notice is open.
    HWND Handle() const { return Dialog_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE Instance_;
    HWND Owner_;
    HWND Dialog_ = nullptr;
};

} // namespace telvane::win32
