#include "win32/callers/HistoryWindow.h"

#include "monitor/WideText.h"
#include "service/Service.h"
#include "win32/Resource.h"
#include "win32/Translation.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace telvane::win32 {
namespace {

enum TColumn { hcTime, hcNumber, hcWho, hcCount, hcColumns };

std::wstring WindowText(HWND window) {
    std::vector<wchar_t> text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1);
    const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

int HeightOf(HWND control) {
    RECT box{};
    ::GetWindowRect(control, &box);
    return box.bottom - box.top;
}

} // namespace

THistoryWindow::THistoryWindow(HINSTANCE instance, HWND owner, TService& service,
                               std::function<void(HWND, const std::string&)> nameCaller)
    : Service_(service), History_(&service.OpenHistory()), NameCaller_(std::move(nameCaller)) {
    History_->SetView(this);
    if (!::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_HISTORY), owner,
                              &THistoryWindow::DialogProc, reinterpret_cast<LPARAM>(this))) {
        Closed();
    }
}

THistoryWindow::~THistoryWindow() {
    if (Dialog_) {
        ::DestroyWindow(Dialog_);
    }
}

void THistoryWindow::Show() {
    if (Dialog_) {
        ::ShowWindow(Dialog_, SW_SHOW);
        ::SetForegroundWindow(Dialog_);
    }
}

bool THistoryWindow::PreTranslate(MSG& message) {
    return Dialog_ && ::IsDialogMessageW(Dialog_, &message);
}

void THistoryWindow::Init() {
    ::SetWindowTextW(
        Dialog_,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "着信履歴 - Telvane")).c_str());
    ::SendMessageW(
        Control(IDC_HISTORYSEARCH), EM_SETCUEBANNER, TRUE,
        reinterpret_cast<LPARAM>(UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow",
                                                               "検索 (時刻、番号、名前、地域)"))
                                     .c_str()));
    ::SetDlgItemTextW(
        Dialog_, IDC_HISTORYNAME,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "名前を付ける...")).c_str());
    ::SetDlgItemTextW(
        Dialog_, IDC_HISTORYCOPY,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "番号をコピー")).c_str());
    ::SetDlgItemTextW(
        Dialog_, IDCANCEL,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::THistoryWindow", "閉じる")).c_str());
    const HWND list = Control(IDC_HISTORYLIST);
    ListView_SetExtendedListViewStyle(list,
                                      LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP);
    const struct {
        std::wstring Title;
        int Width;
        int Format;
    } columns[hcColumns] = {
        {UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryModel", "着信時刻")), 150, LVCFMT_LEFT},
        {UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryModel", "番号")), 110, LVCFMT_LEFT},
        {UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryModel", "名前・地域")), 140, LVCFMT_LEFT},
        {UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryModel", "回数")), 50, LVCFMT_RIGHT},
    };
    int index = 0;
    for (const auto& column : columns) {
        std::wstring title = column.Title;
        LVCOLUMNW data{};
        data.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        data.fmt = column.Format;
        data.cx = column.Width;
        data.pszText = title.data();
        ::SendMessageW(list, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&data));
    }
    RowsReset();
}

void THistoryWindow::Layout() {
    RECT client{};
    ::GetClientRect(Dialog_, &client);
    const int margin = 6;
    const int width = client.right - 2 * margin;
    const int buttonHeight = HeightOf(Control(IDCANCEL));
    const int searchHeight = HeightOf(Control(IDC_HISTORYSEARCH));
    // The status takes as many lines as it has, up to six.
    const HWND status = Control(IDC_HISTORYSTATUS);
    const std::wstring text = WindowText(status);
    const int lines =
        std::min<int>(6, 1 + static_cast<int>(std::count(text.begin(), text.end(), L'\n')));
    TEXTMETRICW metrics{};
    const HDC dc = ::GetDC(status);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(status, WM_GETFONT, 0, 0)));
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(status, dc);
    const int statusHeight = lines * metrics.tmHeight;

    const int buttonsTop = client.bottom - margin - buttonHeight;
    const int statusTop = buttonsTop - margin - statusHeight;
    const int listTop = 2 * margin + searchHeight;
    ::MoveWindow(Control(IDC_HISTORYSEARCH), margin, margin, width, searchHeight, TRUE);
    ::MoveWindow(Control(IDC_HISTORYLIST), margin, listTop, width,
                 std::max(0, statusTop - margin - listTop), TRUE);
    ::MoveWindow(status, margin, statusTop, width, statusHeight, TRUE);
    int left = margin;
    for (int id : {IDC_HISTORYNAME, IDC_HISTORYCOPY}) {
        RECT box{};
        const HWND control = Control(id);
        ::GetWindowRect(control, &box);
        ::MoveWindow(control, left, buttonsTop, box.right - box.left, buttonHeight, TRUE);
        left += box.right - box.left + margin;
    }
    RECT close{};
    ::GetWindowRect(Control(IDCANCEL), &close);
    ::MoveWindow(Control(IDCANCEL), client.right - margin - (close.right - close.left), buttonsTop,
                 close.right - close.left, buttonHeight, TRUE);
}

void THistoryWindow::ShowStatus() {
    if (!Dialog_ || !History_) {
        return;
    }
    std::wstring text;
    if (History_->Reading()) {
        text = UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "読み込み中..."));
    } else {
        text = UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::THistoryWindow", "%1 件の着信"),
                      std::to_string(History_->Calls()));
        if (History_->Skipped() > 0) {
            text +=
                UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::THistoryWindow", "、読めない行 %1"),
                       std::to_string(History_->Skipped()));
        }
    }
    if (History_->Searching()) {
        text += UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "、検索中..."));
    }
    std::string problems;
    for (const std::string& line : Service_.ContactsProblems()) {
        problems += (problems.empty() ? "" : "\n") + line;
    }
    if (!problems.empty()) {
        text += L"\n" +
                UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "電話帳: %1"), problems);
    }
    // Windows' static controls break lines at CR LF.
    std::wstring shown;
    for (const wchar_t c : text) {
        shown += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    }
    if (WindowText(Control(IDC_HISTORYSTATUS)) != shown) {
        ::SetDlgItemTextW(Dialog_, IDC_HISTORYSTATUS, shown.c_str());
        Layout();
    }
}

const THistoryRow& THistoryWindow::RowAt(int row) {
    if (row != CachedRow_) {
        Cached_ = History_->Row(static_cast<std::size_t>(row));
        CachedRow_ = row;
        CachedText_[hcTime] = WideFromUtf8(Cached_.Time);
        CachedText_[hcNumber] = WideFromUtf8(Cached_.Display);
        CachedText_[hcWho] = WideFromUtf8(Cached_.Who);
        CachedText_[hcCount] = std::to_wstring(Cached_.Count);
        CachedText_[hcColumns] = WideFromUtf8(Cached_.Details);
    }
    return Cached_;
}

void THistoryWindow::Fill(NMLVDISPINFOW& item) {
    if (!History_ || !(item.item.mask & LVIF_TEXT) || item.item.iItem < 0 ||
        static_cast<std::size_t>(item.item.iItem) >= History_->Rows() || item.item.iSubItem < 0 ||
        item.item.iSubItem >= hcColumns) {
        return;
    }
    RowAt(item.item.iItem);
    item.item.pszText = CachedText_[item.item.iSubItem].data();
}

void THistoryWindow::FillTip(NMLVGETINFOTIPW& tip) {
    if (!History_ || tip.iItem < 0 || static_cast<std::size_t>(tip.iItem) >= History_->Rows() ||
        tip.cchTextMax <= 0) {
        return;
    }
    RowAt(tip.iItem);
    const std::wstring& details = CachedText_[hcColumns];
    const std::size_t length =
        std::min(details.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
    std::copy_n(details.begin(), length, tip.pszText);
    tip.pszText[length] = L'\0';
}

int THistoryWindow::Selected() const {
    return static_cast<int>(::SendMessageW(Control(IDC_HISTORYLIST), LVM_GETNEXTITEM,
                                           static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void THistoryWindow::NameSelected() {
    const int row = Selected();
    if (row >= 0 && History_ && static_cast<std::size_t>(row) < History_->Rows() && NameCaller_) {
        NameCaller_(Dialog_, History_->NumberAt(static_cast<std::size_t>(row)));
    }
}

void THistoryWindow::CopyNumber() {
    const int row = Selected();
    if (row < 0 || !History_ || static_cast<std::size_t>(row) >= History_->Rows() ||
        !::OpenClipboard(Dialog_)) {
        return;
    }
    const std::wstring number = WideFromUtf8(RowAt(row).Text);
    ::EmptyClipboard();
    const std::size_t bytes = (number.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(::GlobalLock(memory), number.c_str(), bytes);
        ::GlobalUnlock(memory);
        if (!::SetClipboardData(CF_UNICODETEXT, memory)) {
            ::GlobalFree(memory);
        }
    }
    ::CloseClipboard();
}

void THistoryWindow::Searched() {
    if (History_) {
        History_->SetFilter(Utf8FromWide(WindowText(Control(IDC_HISTORYSEARCH))));
        ShowStatus();
    }
}

void THistoryWindow::RowsReset() {
    if (!Dialog_ || !History_) {
        return;
    }
    CachedRow_ = -1;
    const HWND list = Control(IDC_HISTORYLIST);
    ::SendMessageW(list, LVM_SETITEMCOUNT, History_->Rows(), 0);
    ::InvalidateRect(list, nullptr, TRUE);
    // The newest call is the one most often named or copied.
    if (History_->Rows() > 0 && Selected() < 0) {
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    ShowStatus();
}

void THistoryWindow::RowsAdded(std::size_t) {
    RowsReset();
}

void THistoryWindow::RowsChanged() {
    if (Dialog_) {
        CachedRow_ = -1;
        ::InvalidateRect(Control(IDC_HISTORYLIST), nullptr, TRUE);
        ShowStatus();
    }
}

void THistoryWindow::Progress() {
    ShowStatus();
}

void THistoryWindow::Closed() {
    // The history and its memory go back to the service with the window.
    if (History_) {
        History_->SetView(nullptr);
        History_ = nullptr;
        Service_.CloseHistory();
    }
    Dialog_ = nullptr;
    CachedRow_ = -1;
}

INT_PTR THistoryWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_HISTORYLIST) {
            return FALSE;
        }
        if (header->code == LVN_GETDISPINFOW) {
            Fill(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
        } else if (header->code == LVN_GETINFOTIPW) {
            FillTip(*reinterpret_cast<NMLVGETINFOTIPW*>(lParam));
        } else if (header->code == NM_DBLCLK) {
            NameSelected();
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            ::DestroyWindow(Dialog_);
            return TRUE;
        case IDC_HISTORYNAME:
            NameSelected();
            return TRUE;
        case IDC_HISTORYCOPY:
            CopyNumber();
            return TRUE;
        case IDC_HISTORYSEARCH:
            if (HIWORD(wParam) == EN_CHANGE) {
                Searched();
            }
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK THistoryWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<THistoryWindow*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->Dialog_ = dialog;
        self->Init();
        return TRUE;
    }
    auto* self = reinterpret_cast<THistoryWindow*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->Closed();
        return FALSE;
    }
    return self->Handle(message, wParam, lParam);
}

} // namespace telvane::win32
