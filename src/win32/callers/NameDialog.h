// Naming a caller: asks for a name and has the service write it into
// Telvane's own phonebook. One dialog at a time, brought to the front when
// asked again; modeless, so the program goes on polling while it is open,
// and no second dialog can stack on the first.
#pragma once

#include <string>

#include <windows.h>

namespace telvane {
class TService;
}

namespace telvane::win32 {

class TNameDialog {
public:
    TNameDialog(HINSTANCE instance, TService& service);
    ~TNameDialog();
    TNameDialog(const TNameDialog&) = delete;
    TNameDialog& operator=(const TNameDialog&) = delete;

    // callerText: Shift_JIS, as the monitor holds it. A text without a
    // number gets no dialog.
    void Ask(HWND owner, const std::string& callerText);
    bool PreTranslate(MSG& message);
    // nullptr while no dialog is open.
    HWND Handle() const { return Dialog_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam);
    void Save();

    HINSTANCE Instance_;
    TService& Service_;
    HWND Dialog_ = nullptr;
    std::string CallerText_;
    std::wstring Prompt_;
    std::wstring Name_;
};

} // namespace telvane::win32
