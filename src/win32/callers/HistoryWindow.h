// The call history: a search, the calls of the call log newest first (a
// list view in virtual mode, rows read only when drawn), naming the caller
// and copying the number, and at its foot the count, the progress and what
// is wrong with the contacts. Modeless; it takes the history from the
// service when it opens and gives it back, with its memory, when it closes.
#pragma once

#include "service/History.h"

#include <functional>
#include <string>

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace telvane {
class TService;
}

namespace telvane::win32 {

class THistoryWindow final : private IHistoryView {
public:
    // nameCaller asks for a name for the caller text of a row.
    THistoryWindow(HINSTANCE instance, HWND owner, TService& service,
                   std::function<void(HWND, const std::string&)> nameCaller);
    // Closes the window if it is open.
    ~THistoryWindow() override;
    THistoryWindow(const THistoryWindow&) = delete;
    THistoryWindow& operator=(const THistoryWindow&) = delete;

    // Brings it forward.
    void Show();
    // The count, the progress and the contacts' problems.
    void ShowStatus();
    bool PreTranslate(MSG& message);
    // nullptr once the user closed it.
    HWND Handle() const { return Dialog_; }
    THistory* History() const { return History_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Init();
    void Layout();
    void Fill(NMLVDISPINFOW& item);
    void FillTip(NMLVGETINFOTIPW& tip);
    const THistoryRow& RowAt(int row);
    int Selected() const;
    void NameSelected();
    void CopyNumber();
    void Searched();
    void Closed();

    // IHistoryView.
    void RowsReset() override;
    void RowsAdded(std::size_t count) override;
    void RowsChanged() override;
    void Progress() override;

    HWND Control(int id) const { return ::GetDlgItem(Dialog_, id); }

    TService& Service_;
    THistory* History_ = nullptr;
    std::function<void(HWND, const std::string&)> NameCaller_;
    HWND Dialog_ = nullptr;
    // The row last asked for, its texts alive until the next request.
    int CachedRow_ = -1;
    THistoryRow Cached_;
    std::wstring CachedText_[5];
};

} // namespace telvane::win32
