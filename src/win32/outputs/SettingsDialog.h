// The settings beside the seventeen that are no switch of the context menu:
// the hook command, MQTT, the region and the contacts file, below what does
// not work now (read only, kept up to date while open). The service checks
// them before they are saved; what it refuses is said in the dialog, not in
// a box. Modeless and one at a time, like the naming dialog: polling goes
// on while it is open.
#pragma once

#include <string>

#include <windows.h>

namespace telvane {
class TService;
}

namespace telvane::win32 {

class TSettingsDialog {
public:
    TSettingsDialog(HINSTANCE instance, TService& service);
    ~TSettingsDialog();
    TSettingsDialog(const TSettingsDialog&) = delete;
    TSettingsDialog& operator=(const TSettingsDialog&) = delete;

    // Opens it, or brings the open one to the front.
    void Open(HWND owner);
    // What does not work now, again: the contacts were read or the settings
    // changed.
    void ShowProblems();
    bool PreTranslate(MSG& message);
    // nullptr while no dialog is open.
    HWND Handle() const { return Dialog_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam);
    void Init();
    void Save();

    HINSTANCE Instance_;
    TService& Service_;
    HWND Dialog_ = nullptr;
};

} // namespace telvane::win32
