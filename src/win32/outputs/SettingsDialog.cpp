#include "win32/outputs/SettingsDialog.h"

#include "monitor/WideText.h"
#include "service/Service.h"
#include "win32/Resource.h"
#include "win32/Translation.h"

#include <cwctype>
#include <vector>

namespace telvane::win32 {
namespace {

// The fields, with the Qt dialog's labels.
struct TField {
    int Label;
    int Edit;
    const char* Context;
    const char* Text;
    std::string TAddedSettings::*Member;
};

constexpr TField kFields[] = {
    {IDC_SETTINGSHOOKLABEL, IDC_SETTINGSHOOK,
     TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog", "着信時のコマンド:"),
     &TAddedSettings::HookCommand},
    {IDC_SETTINGSMQTTURLLABEL, IDC_SETTINGSMQTTURL,
     TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog", "MQTT ブローカー:"),
     &TAddedSettings::MqttUrl},
    {IDC_SETTINGSMQTTTOPICLABEL, IDC_SETTINGSMQTTTOPIC,
     TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog", "MQTT トピック:"),
     &TAddedSettings::MqttTopic},
    {IDC_SETTINGSREGIONLABEL, IDC_SETTINGSREGION,
     TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog", "地域 (国コード):"),
     &TAddedSettings::Region},
    {IDC_SETTINGSPHONEBOOKLABEL, IDC_SETTINGSPHONEBOOK,
     TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog", "電話帳ファイル:"),
     &TAddedSettings::Phonebook},
};

// Line ends as edit controls break lines: CR LF.
std::wstring Lines(const std::vector<std::string>& lines) {
    std::wstring text;
    for (const std::string& line : lines) {
        text += (text.empty() ? L"" : L"\r\n") + WideFromUtf8(line);
    }
    return text;
}

std::wstring Trimmed(HWND edit) {
    std::vector<wchar_t> text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1);
    const int length = ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
    std::wstring value(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
    value.erase(0, value.find_first_not_of(L" \t"));
    value.erase(value.find_last_not_of(L" \t") + 1);
    return value;
}

} // namespace

TSettingsDialog::TSettingsDialog(HINSTANCE instance, TService& service)
    : Instance_(instance), Service_(service) {}

TSettingsDialog::~TSettingsDialog() {
    if (Dialog_) {
        ::DestroyWindow(Dialog_);
    }
}

void TSettingsDialog::Open(HWND owner) {
    if (!Dialog_ &&
        !::CreateDialogParamW(Instance_, MAKEINTRESOURCEW(IDD_SETTINGS), owner,
                              &TSettingsDialog::DialogProc, reinterpret_cast<LPARAM>(this))) {
        return;
    }
    ::ShowWindow(Dialog_, SW_SHOW);
    ::SetForegroundWindow(Dialog_);
}

bool TSettingsDialog::PreTranslate(MSG& message) {
    return Dialog_ && ::IsDialogMessageW(Dialog_, &message);
}

void TSettingsDialog::ShowProblems() {
    if (!Dialog_) {
        return;
    }
    const std::wstring problems = Lines(Service_.Problems());
    const HWND box = ::GetDlgItem(Dialog_, IDC_SETTINGSPROBLEMS);
    ::SetWindowTextW(box, problems.c_str());
    ::ShowWindow(box, problems.empty() ? SW_HIDE : SW_SHOWNA);
}

void TSettingsDialog::Init() {
    ::SetWindowTextW(Dialog_,
                     UiText(TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog", "設定")).c_str());
    const TAddedSettings& settings = Service_.Settings();
    for (const TField& field : kFields) {
        ::SetDlgItemTextW(Dialog_, field.Label, UiText(field.Context, field.Text).c_str());
        ::SetDlgItemTextW(Dialog_, field.Edit, WideFromUtf8(settings.*field.Member).c_str());
    }
    // As in the Qt dialog: a build without MQTT keeps a stored broker editable
    // only to clear it.
    const bool mqtt = TService::MqttAvailable() || !settings.MqttUrl.empty();
    ::EnableWindow(::GetDlgItem(Dialog_, IDC_SETTINGSMQTTURL), mqtt);
    ::SetDlgItemTextW(
        Dialog_, IDCANCEL,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TNameDialog", "キャンセル")).c_str());
    ShowProblems();
}

void TSettingsDialog::Save() {
    TAddedSettings settings = Service_.Settings();
    for (const TField& field : kFields) {
        std::wstring value = Trimmed(::GetDlgItem(Dialog_, field.Edit));
        if (field.Edit == IDC_SETTINGSREGION) {
            for (wchar_t& c : value) {
                c = static_cast<wchar_t>(std::towupper(c));
            }
        }
        settings.*field.Member = Utf8FromWide(value);
    }
    std::string fault = Service_.SettingsFault(settings);
    if (fault.empty()) {
        fault = Service_.ChangeSettings(settings);
    }
    if (fault.empty()) {
        ::DestroyWindow(Dialog_);
        return;
    }
    // The dialog stays, with what was typed, and says why.
    ::SetDlgItemTextW(Dialog_, IDC_SETTINGSFAULT, WideFromUtf8(fault).c_str());
}

INT_PTR TSettingsDialog::Handle(UINT message, WPARAM wParam) {
    if (message != WM_COMMAND) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
        Save();
        return TRUE;
    case IDCANCEL:
        ::DestroyWindow(Dialog_);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK TSettingsDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TSettingsDialog*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->Dialog_ = dialog;
        self->Init();
        return TRUE;
    }
    auto* self = reinterpret_cast<TSettingsDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->Dialog_ = nullptr;
        return FALSE;
    }
    return self->Handle(message, wParam);
}

} // namespace telvane::win32
