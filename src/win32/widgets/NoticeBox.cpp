#include "win32/widgets/NoticeBox.h"

#include "monitor/WideText.h"
#include "win32/Resource.h"

namespace telvane::win32 {

TNoticeBox::TNoticeBox(HINSTANCE instance, HWND owner) : Instance_(instance), Owner_(owner) {}

TNoticeBox::~TNoticeBox() {
    if (Dialog_) {
        ::DestroyWindow(Dialog_);
    }
}

void TNoticeBox::Show(const std::string& text) {
    if (!Dialog_) {
        Dialog_ = ::CreateDialogParamW(Instance_, MAKEINTRESOURCEW(IDD_NOTICE), Owner_,
                                       &TNoticeBox::DialogProc, reinterpret_cast<LPARAM>(this));
        if (!Dialog_) {
            return;
        }
    }
    // Windows' static controls break lines at CR LF.
    std::wstring shown;
    for (const wchar_t c : WideFromUtf8(text)) {
        shown += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    }
    ::SetDlgItemTextW(Dialog_, IDC_NOTICETEXT, shown.c_str());
    ::ShowWindow(Dialog_, SW_SHOWNA);
    ::MessageBeep(MB_ICONWARNING);
}

bool TNoticeBox::PreTranslate(MSG& message) {
    return Dialog_ && ::IsDialogMessageW(Dialog_, &message);
}

INT_PTR CALLBACK TNoticeBox::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<TNoticeBox*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::DestroyWindow(dialog);
            return TRUE;
        }
        return FALSE;
    case WM_NCDESTROY:
        self->Dialog_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace telvane::win32
