#include "win32/callers/NameDialog.h"

#include "monitor/WideText.h"
#include "service/Service.h"
#include "win32/Resource.h"
#include "win32/Translation.h"

#include <vector>

namespace telvane::win32 {

TNameDialog::TNameDialog(HINSTANCE instance, TService& service)
    : Instance_(instance), Service_(service) {}

TNameDialog::~TNameDialog() {
    if (Dialog_) {
        ::DestroyWindow(Dialog_);
    }
}

void TNameDialog::Ask(HWND owner, const std::string& callerText) {
    if (Dialog_) {
        ::ShowWindow(Dialog_, SW_SHOW);
        ::SetForegroundWindow(Dialog_);
        return;
    }
    const TCallerDescription caller = Service_.Describe(callerText);
    if (caller.MatchKey.empty()) {
        return;
    }
    CallerText_ = callerText;
    Prompt_ = UiText(TELVANE_TRANSLATE_NOOP("telvane::TNameDialog",
                                            "%1 の名前 (空にすると Telvane の電話帳から消します):"),
                     caller.Display);
    Name_ = WideFromUtf8(caller.Name);
    if (::CreateDialogParamW(Instance_, MAKEINTRESOURCEW(IDD_NAME), owner, &TNameDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this))) {
        ::ShowWindow(Dialog_, SW_SHOW);
        ::SetForegroundWindow(Dialog_);
    }
}

bool TNameDialog::PreTranslate(MSG& message) {
    return Dialog_ && ::IsDialogMessageW(Dialog_, &message);
}

void TNameDialog::Save() {
    const HWND edit = ::GetDlgItem(Dialog_, IDC_NAMEEDIT);
    std::vector<wchar_t> name(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1);
    const int length = ::GetWindowTextW(edit, name.data(), static_cast<int>(name.size()));
    const std::string error = Service_.NameCaller(
        CallerText_, Utf8FromWide(std::wstring(name.data(), length > 0 ? length : 0)));
    if (error.empty()) {
        ::DestroyWindow(Dialog_);
        return;
    }
    // The dialog stays, with the name typed, and says why.
    ::SetDlgItemTextW(
        Dialog_, IDC_NAMEPROMPT,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TNameDialog", "名前を保存できません: %1"), error)
            .c_str());
}

INT_PTR TNameDialog::Handle(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_INITDIALOG:
        ::SetWindowTextW(
            Dialog_,
            UiText(TELVANE_TRANSLATE_NOOP("telvane::TNameDialog", "名前を付ける")).c_str());
        ::SetDlgItemTextW(Dialog_, IDC_NAMEPROMPT, Prompt_.c_str());
        ::SetDlgItemTextW(Dialog_, IDC_NAMEEDIT, Name_.c_str());
        ::SetDlgItemTextW(
            Dialog_, IDCANCEL,
            UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TNameDialog", "キャンセル")).c_str());
        ::SendDlgItemMessageW(Dialog_, IDC_NAMEEDIT, EM_SETSEL, 0, -1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            Save();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::DestroyWindow(Dialog_);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK TNameDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<TNameDialog*>(lParam)->Dialog_ = dialog;
    }
    auto* self = reinterpret_cast<TNameDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        self->Dialog_ = nullptr;
        return FALSE;
    }
    return self->Handle(message, wParam);
}

} // namespace telvane::win32
