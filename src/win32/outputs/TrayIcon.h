// Telvane's icon in the notification area: the service's tooltip, the
// program's icon greyed while the adapter does not answer, kept while the
// Tray setting is on, or added only for a balloon and removed when the
// balloon goes.
#pragma once

#include <string>

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace telvane::win32 {

class TTrayIcon {
public:
    // Messages about the icon go to window as callbackMessage, with the
    // mouse or balloon event in the low word of lParam.
    TTrayIcon(HWND window, UINT callbackMessage, HICON icon);
    ~TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // The icon on its own (the Tray setting).
    void SetKept(bool kept);
    bool Kept() const { return Kept_; }
    bool Shown() const { return Shown_; }
    void Show(const std::wstring& tip, bool adapterUp);
    const std::wstring& Tip() const { return Tip_; }
    bool AdapterUp() const { return Up_; }
    // Shows a balloon (icon: NIIF_INFO or NIIF_WARNING); without a kept icon
    // one is added for it.
    void Balloon(const std::wstring& title, const std::wstring& text, DWORD icon = NIIF_INFO);
    // The balloon went (timed out, clicked or closed): a temporary icon goes.
    void BalloonEnded();

    // Cut to the fields' sizes, at a character boundary.
    static std::wstring Fit(const std::wstring& text, std::size_t capacity);

private:
    NOTIFYICONDATAW Data(UINT flags) const;
    void Add();
    void Remove();
    void Modify(UINT flags);

    HWND Window_;
    UINT Message_;
    HICON Normal_;
    HICON Greyed_;
    bool Kept_ = false;
    bool Shown_ = false;
    bool Up_ = true;
    std::wstring Tip_;
};

} // namespace telvane::win32
