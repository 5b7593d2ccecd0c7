#include "win32/HistoryDialog.h"

#include "monitor/WideText.h"
#include "win32/Resource.h"
#include "win32/UiText.h"

#include <commctrl.h>

#include <cstring>

namespace telvane::win32 {
THistoryDialog::THistoryDialog(HINSTANCE instance, HWND owner, const TWhoCalled& who,
                               std::filesystem::path log,
                               std::function<void(HWND, const std::string&)> nameCaller)
    : Instance_(instance), Owner_(owner), List_(who, std::move(log)),
      NameCaller_(std::move(nameCaller)) {}

THistoryDialog::~THistoryDialog() {
    if (Dialog_) {
        ::SetWindowLongPtrW(Dialog_, DWLP_USER, 0);
        ::DestroyWindow(Dialog_);
    }
}

void THistoryDialog::Show() {
    if (!Dialog_) {
        Dialog_ = ::CreateDialogParamW(Instance_, MAKEINTRESOURCEW(IDD_HISTORY), Owner_,
                                       &THistoryDialog::DialogProc, reinterpret_cast<LPARAM>(this));
        if (!Dialog_) {
            return;
        }
        List_.Refresh();
        ShowCount();
    }
    Refresh();
    ::ShowWindow(Dialog_, SW_SHOW);
    ::SetForegroundWindow(Dialog_);
}

void THistoryDialog::Refresh() {
    // Read only while open: a closed window holds nothing of a long log.
    if (Dialog_ && List_.Refresh()) {
        ShowCount();
    }
}

void THistoryDialog::ShowCount() {
    CachedRow_ = -1;
    const HWND list = ::GetDlgItem(Dialog_, IDC_HISTORYLIST);
    ::SendMessageW(list, LVM_SETITEMCOUNT, List_.size(), 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

bool THistoryDialog::PreTranslate(MSG& message) {
    return Dialog_ && ::IsDialogMessageW(Dialog_, &message);
}

void THistoryDialog::Init() {
    ::SetWindowTextW(
        Dialog_,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "着信履歴 - Telvane")).c_str());
    ::SetDlgItemTextW(
        Dialog_, IDC_HISTORYNAME,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "名前を付ける...")).c_str());
    ::SetDlgItemTextW(
        Dialog_, IDC_HISTORYCOPY,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::THistoryWindow", "番号をコピー")).c_str());
    ::SetDlgItemTextW(
        Dialog_, IDCANCEL,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::THistoryDialog", "閉じる")).c_str());
    const HWND list = ::GetDlgItem(Dialog_, IDC_HISTORYLIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const struct {
        std::wstring Title;
        int Width;
        int Format;
    } columns[] = {
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
    Layout();
}

void THistoryDialog::Layout() {
    RECT client{};
    ::GetClientRect(Dialog_, &client);
    RECT button{};
    ::GetWindowRect(::GetDlgItem(Dialog_, IDCANCEL), &button);
    const int buttonHeight = button.bottom - button.top;
    const int margin = 6;
    const int listHeight = client.bottom - 3 * margin - buttonHeight;
    ::MoveWindow(::GetDlgItem(Dialog_, IDC_HISTORYLIST), margin, margin, client.right - 2 * margin,
                 listHeight > 0 ? listHeight : 0, TRUE);
    const int top = client.bottom - margin - buttonHeight;
    int left = margin;
    for (int id : {IDC_HISTORYNAME, IDC_HISTORYCOPY}) {
        RECT r{};
        const HWND control = ::GetDlgItem(Dialog_, id);
        ::GetWindowRect(control, &r);
        ::MoveWindow(control, left, top, r.right - r.left, buttonHeight, TRUE);
        left += r.right - r.left + margin;
    }
    const int width = button.right - button.left;
    ::MoveWindow(::GetDlgItem(Dialog_, IDCANCEL), client.right - margin - width, top, width,
                 buttonHeight, TRUE);
}

void THistoryDialog::Fill(NMLVDISPINFOW& item) {
    if (!(item.item.mask & LVIF_TEXT) || item.item.iItem < 0 ||
        static_cast<std::size_t>(item.item.iItem) >= List_.size() || item.item.iSubItem < 0 ||
        item.item.iSubItem > 3) {
        return;
    }
    if (item.item.iItem != CachedRow_) {
        const THistoryRow row = List_.Row(static_cast<std::size_t>(item.item.iItem));
        Cached_[0] = WideFromShiftJis(row.Time);
        Cached_[1] = WideFromUtf8(row.Display);
        Cached_[2] = WideFromUtf8(row.Who);
        Cached_[3] = std::to_wstring(row.Count);
        CachedRow_ = item.item.iItem;
    }
    item.item.pszText = Cached_[item.item.iSubItem].data();
}

int THistoryDialog::Selected() const {
    return static_cast<int>(::SendMessageW(::GetDlgItem(Dialog_, IDC_HISTORYLIST), LVM_GETNEXTITEM,
                                           static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void THistoryDialog::CopyNumber() {
    const int row = Selected();
    if (row < 0 || !::OpenClipboard(Dialog_)) {
        return;
    }
    const std::wstring number = WideFromShiftJis(List_.NumberAt(static_cast<std::size_t>(row)));
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

INT_PTR THistoryDialog::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            ::DestroyWindow(Dialog_);
            return TRUE;
        case IDC_HISTORYNAME:
            if (const int row = Selected(); row >= 0 && NameCaller_) {
                NameCaller_(Dialog_, List_.NumberAt(static_cast<std::size_t>(row)));
                CachedRow_ = -1;
                ::InvalidateRect(::GetDlgItem(Dialog_, IDC_HISTORYLIST), nullptr, TRUE);
            }
            return TRUE;
        case IDC_HISTORYCOPY:
            CopyNumber();
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK THistoryDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<THistoryDialog*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->Dialog_ = dialog;
        self->Init();
        return TRUE;
    }
    auto* self = reinterpret_cast<THistoryDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == IDC_HISTORYLIST && header->code == LVN_GETDISPINFOW) {
            self->Fill(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        self->Dialog_ = nullptr;
        self->CachedRow_ = -1;
        return FALSE;
    }
    return self->Handle(message, wParam, lParam);
}

} // namespace telvane::win32
