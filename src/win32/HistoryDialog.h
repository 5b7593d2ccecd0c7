// The call history window: a list of the log's calls, newest first, that
// follows the log while it is open. Modeless; one at a time.
#pragma once

#include "win32/HistoryList.h"

#include <functional>
#include <memory>
#include <string>

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace telvane::win32 {

class THistoryDialog {
public:
    // nameCaller: gives the caller text of a row a name.
    THistoryDialog(HINSTANCE instance, HWND owner, const TWhoCalled& who, std::filesystem::path log,
                   std::function<void(HWND, const std::string&)> nameCaller);
    ~THistoryDialog();
    THistoryDialog(const THistoryDialog&) = delete;
    THistoryDialog& operator=(const THistoryDialog&) = delete;

    // Opens the window, or brings it forward.
    void Show();
    // Reads what the log gained and shows it (when open).
    void Refresh();
    bool PreTranslate(MSG& message);
    HWND Handle() const { return Dialog_; }
    const THistoryList& List() const { return List_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Init();
    void Layout();
    void ShowCount();
    void Fill(NMLVDISPINFOW& item);
    int Selected() const;
    void CopyNumber();

    HINSTANCE Instance_;
    HWND Owner_;
    HWND Dialog_ = nullptr;
    THistoryList List_;
    std::function<void(HWND, const std::string&)> NameCaller_;
    // The text of the last row asked for, alive until the next request.
    int CachedRow_ = -1;
    std::wstring Cached_[4];
};

} // namespace telvane::win32
