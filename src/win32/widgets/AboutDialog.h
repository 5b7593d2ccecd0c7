// The version dialog: the program icon doubled, the product name and the
// version. Created once, hidden; each showing is modal and maximised.
#pragma once

#include "win32/widgets/ImageIconStreched.h"

#include <memory>

#include <windows.h>

namespace telvane::win32 {

class TMyAboutDialogBox {
public:
    TMyAboutDialogBox(HINSTANCE instance, HWND owner);
    ~TMyAboutDialogBox();
    TMyAboutDialogBox(const TMyAboutDialogBox&) = delete;
    TMyAboutDialogBox& operator=(const TMyAboutDialogBox&) = delete;

    HWND Handle() const { return Window_; }
    // Returns when the dialog is closed; the owner takes no input meanwhile.
    void ShowModalMaximized();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void FormCreate();

    HINSTANCE Instance_;
    HWND Owner_;
    HWND Window_ = nullptr;
    HFONT ProductFont_ = nullptr;
    HFONT DialogFont_ = nullptr;
    std::unique_ptr<TImageIconStreched> ImageIconStreched1;
    bool Closed_ = false;
};

} // namespace telvane::win32
