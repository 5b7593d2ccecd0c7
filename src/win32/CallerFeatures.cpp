#include "win32/CallerFeatures.h"

#include "monitor/CallerMonitor.h"
#include "monitor/Settings.h"
#include "monitor/Texts.h"
#include "monitor/WideText.h"
#include "session/Autostart.h"
#include "win32/Fonts.h"
#include "win32/MainForm.h"
#include "win32/Resource.h"
#include "win32/UiText.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

namespace telvane::win32 {
namespace {

// The free row left of the log check box, below the time.
constexpr int kGlanceLeft = 16, kGlanceTop = 58, kGlanceWidth = 162, kGlanceHeight = 14;
// A balloon's own icon goes at the latest after this, should the shell not
// say that the balloon went.
constexpr UINT kBalloonMilliseconds = 30000;

// Texts: those the Qt shell shows too are taken from its contexts, so that
// each has one translation; the rest are under telvane::win32::TCallerFeatures.

// Naming a caller: the dialog's prompt and text in, the name out.
struct TNameRequest {
    std::wstring Prompt;
    std::wstring Name;
};

INT_PTR CALLBACK NameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* request = reinterpret_cast<TNameRequest*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        request = reinterpret_cast<TNameRequest*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ::SetWindowTextW(
            dialog,
            UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature", "名前を付ける")).c_str());
        ::SetDlgItemTextW(dialog, IDC_NAMEPROMPT, request->Prompt.c_str());
        ::SetDlgItemTextW(dialog, IDC_NAMEEDIT, request->Name.c_str());
        ::SetDlgItemTextW(
            dialog, IDCANCEL,
            UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TCallerFeatures", "キャンセル"))
                .c_str());
        ::SendDlgItemMessageW(dialog, IDC_NAMEEDIT, EM_SETSEL, 0, -1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && request) {
            const HWND edit = ::GetDlgItem(dialog, IDC_NAMEEDIT);
            std::wstring name(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
            name.resize(static_cast<std::size_t>(
                ::GetWindowTextW(edit, name.data(), static_cast<int>(name.size()))));
            request->Name = std::move(name);
            ::EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

TAddedSettings LoadedSettings(ISettingsStore& store) {
    TAddedSettings settings;
    LoadAddedSettings(store, settings);
    return settings;
}

std::wstring Trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t\u3000");
    if (first == std::wstring::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(L" \t\u3000");
    return text.substr(first, last - first + 1);
}

} // namespace

TCallerFeatures::TCallerFeatures(TMainForm& form, std::filesystem::path ownPhonebook,
                                 std::filesystem::path program)
    : Form_(form), Settings_(LoadedSettings(form.SettingsStore())), Program_(std::move(program)),
      Who_(std::make_unique<TWhoCalled>(
          std::move(ownPhonebook), Settings_,
          [this](const std::string& problem) { ShowProblem(problem); },
          [window = form.Handle()] { ::PostMessageW(window, kContactsMessage, 0, 0); })),
      History_(form.Instance(), form.Handle(), *Who_,
               form.Location().Folder() / texts::kRingLogFileName,
               [this](HWND owner, const std::string& number) { NameCaller(owner, number); }),
      Icon_(form.Handle(), kNotifyMessage,
            static_cast<HICON>(::LoadImageW(form.Instance(), MAKEINTRESOURCEW(IDI_TELVANE),
                                            IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                            ::GetSystemMetrics(SM_CYSMICON), LR_SHARED)),
            ::LoadIconW(nullptr, IDI_WARNING)) {
    Icon_.SetKept(Settings_.Tray);
    Form_.CallSinks().Add(this);
    UpdateTip();
}

TCallerFeatures::~TCallerFeatures() {
    Form_.CallSinks().Remove(this);
}

void TCallerFeatures::ShowProblem(const std::string& problem) {
    // Said once per fault; the last good phonebook stays in use. The box
    // waits until the monitor's handler that found it has returned.
    ::OutputDebugStringW((L"Telvane: " + WideFromUtf8(problem) + L"\n").c_str());
    Problems_.push_back(problem);
    ::PostMessageW(Form_.Handle(), kProblemMessage, 0, 0);
}

void TCallerFeatures::Update() {
    Who_->Refresh();
    const TCallerMonitor& monitor = Form_.Monitor();
    const std::string number = monitor.GetCallerNumber();
    // While the label shows "?" or a missing port, no caller is on show.
    const bool onShow = !number.empty() && Form_.NumberCaption() == WideFromShiftJis(number);
    const TCallerView view = onShow ? Who_->Describe(number) : TCallerView{};
    const std::wstring details = WideFromUtf8(view.Details());
    const std::wstring glance = WideFromUtf8(view.Glance());
    Form_.SetHint(Form_.NumberLabel(), details);
    if (!Glance_ && glance.empty()) {
        // Until there is something to tell, the window has exactly the
        // controls it always had.
        UpdateTip();
        return;
    }
    if (!Glance_) {
        Glance_ = ::CreateWindowExW(
            0, L"STATIC", L"",
            WS_CHILD | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY | SS_ENDELLIPSIS,
            Scaled(kGlanceLeft), Scaled(kGlanceTop), Scaled(kGlanceWidth), Scaled(kGlanceHeight),
            Form_.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CALLERGLANCE)),
            Form_.Instance(), nullptr);
        ::SendMessageW(Glance_, WM_SETFONT, reinterpret_cast<WPARAM>(Form_.WindowFont()), FALSE);
    }
    Form_.SetHint(Glance_, details);
    ::SetWindowTextW(Glance_, glance.c_str());
    ::ShowWindow(Glance_, glance.empty() ? SW_HIDE : SW_SHOWNA);
    UpdateTip();
}

void TCallerFeatures::UpdateTip() {
    const TCallerMonitor& monitor = Form_.Monitor();
    std::wstring tip = L"Telvane";
    const std::string number = monitor.GetCallerNumber();
    if (!number.empty()) {
        const TCallerView view = Who_->Describe(number);
        const std::string who = view.NameOrArea();
        tip += L"\n" + WideFromUtf8(view.Info.Display) +
               (who.empty() ? L"" : L" " + WideFromUtf8(who));
    }
    if (!monitor.GetLastPollTime().empty()) {
        tip += L"\n" +
               UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TCallerFeatures", "最終応答")) +
               L" " + WideFromShiftJis(monitor.GetLastPollTime());
    }
    if (!Reachable_) {
        tip += L"\n" + UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TCallerFeatures",
                                                     "アダプタが応答しません"));
    }
    Icon_.SetTip(tip);
}

void TCallerFeatures::NewCaller(const std::string& number, const std::string& detectionTime,
                                const std::string&) {
    History_.Refresh();
    if (!Settings_.Notify) {
        return;
    }
    Who_->Refresh();
    const TCallerView view = Who_->Describe(number);
    const std::string who = view.NameOrArea();
    const std::wstring display = WideFromUtf8(view.Info.Display);
    const std::wstring title = who.empty() ? display : WideFromUtf8(who);
    Icon_.Balloon(title, display + L"\n" + WideFromShiftJis(detectionTime));
    if (!Icon_.Kept() && Icon_.Shown()) {
        ::SetTimer(Form_.Handle(), kBalloonTimer, kBalloonMilliseconds, nullptr);
    }
}

void TCallerFeatures::AdapterHealth(bool up) {
    Reachable_ = up;
    Icon_.SetReachable(up);
    UpdateTip();
}

HMENU TCallerFeatures::BuildContextMenu() const {
    const HMENU menu = ::CreatePopupMenu();
    const bool named = !Who_->CallerKey(Form_.Monitor().GetCallerNumber()).empty();
    ::AppendMenuW(
        menu, MF_STRING | (named ? 0 : MF_GRAYED), IDM_NAMECALLER,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature", "名前を付ける...")).c_str());
    ::AppendMenuW(
        menu, MF_STRING, IDM_HISTORY,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature", "着信履歴...")).c_str());
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(
        menu, MF_STRING, IDM_OPENPHONEBOOK,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature", "電話帳を開く")).c_str());
    ::AppendMenuW(
        menu, MF_STRING, IDM_CHOOSEPHONEBOOK,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature", "電話帳を選ぶ...")).c_str());
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(
        menu, MF_STRING | (Settings_.Notify ? MF_CHECKED : 0), IDM_NOTIFY,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TCallerFeatures", "着信を通知")).c_str());
    ::AppendMenuW(
        menu, MF_STRING | (Settings_.Tray ? MF_CHECKED : 0), IDM_TRAY,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TCallerFeatures", "通知領域にアイコン"))
            .c_str());
    ::AppendMenuW(menu, MF_STRING | (TAutostart(Program_).Enabled() ? MF_CHECKED : 0),
                  IDM_AUTOSTART,
                  UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "ログイン時に起動")).c_str());
    return menu;
}

void TCallerFeatures::ShowMenu(HMENU menu, POINT at) {
    // The menu closes when the user clicks elsewhere only if the window is
    // in front.
    ::SetForegroundWindow(Form_.Handle());
    const int id =
        static_cast<int>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                          at.x, at.y, 0, Form_.Handle(), nullptr));
    ::DestroyMenu(menu);
    ::PostMessageW(Form_.Handle(), WM_NULL, 0, 0);
    if (id != 0) {
        Command(id);
    }
}

void TCallerFeatures::SaveFlag(const char* name, bool value) {
    ISettingsStore& store = Form_.SettingsStore();
    // Only this value: the others stay unwritten until the user sets them.
    if (store.OpenKey(SettingsKey, true)) {
        store.WriteFlag(name, value);
        store.CloseKey();
    }
}

void TCallerFeatures::Command(int id) {
    switch (id) {
    case IDM_NAMECALLER:
        NameCaller(Form_.Handle(), Form_.Monitor().GetCallerNumber());
        break;
    case IDM_HISTORY:
        History_.Show();
        break;
    case IDM_NOTIFY:
        Settings_.Notify = !Settings_.Notify;
        SaveFlag("Notify", Settings_.Notify);
        break;
    case IDM_TRAY:
        Settings_.Tray = !Settings_.Tray;
        SaveFlag("Tray", Settings_.Tray);
        Icon_.SetKept(Settings_.Tray);
        // Without the icon a hidden window could not be found again.
        if (!Settings_.Tray && !::IsWindowVisible(Form_.Handle())) {
            Form_.ToggleVisible(true);
        }
        UpdateTip();
        break;
    case IDM_AUTOSTART:
        try {
            TAutostart autostart(Program_);
            autostart.SetEnabled(!autostart.Enabled());
        } catch (const std::exception& error) {
            ::MessageBoxW(Form_.Handle(),
                          (UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm",
                                                         "ログイン時の起動を設定できません")) +
                           L"\n" + WideFromUtf8(error.what()))
                              .c_str(),
                          TMainForm::kTitle, MB_OK | MB_ICONERROR);
        }
        break;
    case IDM_OPENPHONEBOOK:
        OpenPhonebook();
        break;
    case IDM_CHOOSEPHONEBOOK:
        ChoosePhonebook();
        break;
    case IDM_SHOW:
        Form_.ToggleVisible(true);
        break;
    case IDM_CHECK:
        Form_.CheckNow();
        break;
    case IDM_QUIT:
        ::PostMessageW(Form_.Handle(), WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

void TCallerFeatures::OpenPhonebook() {
    const std::filesystem::path file = Who_->PhonebookPath();
    std::error_code error;
    if (std::filesystem::exists(file, error)) {
        ::ShellExecuteW(Form_.Handle(), L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    // No file yet: the folder where it belongs.
    std::filesystem::create_directories(file.parent_path(), error);
    ::ShellExecuteW(Form_.Handle(), L"open", file.parent_path().c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
}

void TCallerFeatures::ChoosePhonebook() {
    wchar_t file[MAX_PATH * 4] = {};
    // The Qt shell's filter text ("description (patterns);;..."), as pairs of
    // a description and patterns, each ended by a null; a second null ends
    // the list.
    const std::wstring qtFilter =
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature",
                                      "連絡先 (*.vcf *.vcard *.csv);;すべてのファイル (*)")) +
        L";;";
    std::wstring filter;
    for (std::size_t from = 0, to; (to = qtFilter.find(L";;", from)) != std::wstring::npos;
         from = to + 2) {
        const std::wstring entry = qtFilter.substr(from, to - from);
        const std::size_t open = entry.rfind(L'(');
        std::wstring patterns =
            open == std::wstring::npos ? L"*" : entry.substr(open + 1, entry.size() - open - 2);
        std::replace(patterns.begin(), patterns.end(), L' ', L';');
        filter += entry + L'\0' + patterns + L'\0';
    }
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Form_.Handle();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = static_cast<DWORD>(std::size(file));
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&dialog)) {
        return;
    }
    Settings_.Phonebook = Utf8FromWide(file);
    ISettingsStore& store = Form_.SettingsStore();
    // Only this value, as the other switches do.
    if (store.OpenKey(SettingsKey, true)) {
        store.WriteUtf8Text("Phonebook", Settings_.Phonebook);
        store.CloseKey();
    }
    Who_->SetUserPhonebook(Settings_.Phonebook);
    Update();
}

void TCallerFeatures::NameCaller(HWND owner, const std::string& callerText) {
    const TCallerView view = Who_->Describe(callerText);
    if (view.Info.MatchKey.empty()) {
        return;
    }
    TNameRequest request;
    request.Prompt =
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature",
                                      "%1 の名前 (空にすると Telvane の電話帳から消します):"),
               WideFromUtf8(view.Info.Display));
    request.Name = WideFromUtf8(view.Name);
    if (::DialogBoxParamW(Form_.Instance(), MAKEINTRESOURCEW(IDD_NAME), owner, &NameDialogProc,
                          reinterpret_cast<LPARAM>(&request)) != IDOK) {
        return;
    }
    try {
        Who_->AddName(Utf8FromWide(Trimmed(request.Name)), callerText);
    } catch (const std::exception& error) {
        ::MessageBoxW(
            owner,
            UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature", "名前を保存できません: %1"),
                   WideFromUtf8(error.what()))
                .c_str(),
            TMainForm::kTitle, MB_OK | MB_ICONWARNING);
    }
    Update();
}

std::optional<LRESULT> TCallerFeatures::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CONTEXTMENU: {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (at.x == -1 && at.y == -1) {
            // From the keyboard: at the window's corner.
            RECT window{};
            ::GetWindowRect(Form_.Handle(), &window);
            at = {window.left + Scaled(16), window.top + Scaled(16)};
        }
        ShowMenu(BuildContextMenu(), at);
        return 0;
    }
    case kNotifyMessage:
        switch (LOWORD(lParam)) {
        case WM_LBUTTONUP:
            Form_.ToggleVisible(!::IsWindowVisible(Form_.Handle()) || ::IsIconic(Form_.Handle()));
            break;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU: {
            const HMENU menu = ::CreatePopupMenu();
            ::AppendMenuW(
                menu, MF_STRING, IDM_SHOW,
                UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TCallerFeatures", "表示")).c_str());
            ::AppendMenuW(menu, MF_STRING, IDM_CHECK,
                          UiText(TELVANE_TRANSLATE_NOOP("TMainForm", "即刻")).c_str());
            ::AppendMenuW(
                menu, MF_STRING, IDM_HISTORY,
                UiText(TELVANE_TRANSLATE_NOOP("telvane::TCallersFeature", "着信履歴...")).c_str());
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(
                menu, MF_STRING, IDM_QUIT,
                UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TCallerFeatures", "終了")).c_str());
            POINT at{};
            ::GetCursorPos(&at);
            ShowMenu(menu, at);
            break;
        }
        case NIN_BALLOONUSERCLICK:
            Form_.ToggleVisible(true);
            Icon_.BalloonEnded();
            break;
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONHIDE:
            Icon_.BalloonEnded();
            break;
        default:
            break;
        }
        return 0;
    case kContactsMessage:
        Update();
        return 0;
    case kProblemMessage:
        while (!Problems_.empty()) {
            const std::wstring text = WideFromUtf8(Problems_.front());
            Problems_.erase(Problems_.begin());
            ::MessageBoxW(Form_.Handle(), text.c_str(), TMainForm::kTitle, MB_OK | MB_ICONWARNING);
        }
        return 0;
    case WM_DESTROY:
        // The icon goes with the window.
        ::KillTimer(Form_.Handle(), kBalloonTimer);
        Icon_.SetKept(false);
        return std::nullopt;
    case WM_TIMER:
        if (wParam == kBalloonTimer) {
            ::KillTimer(Form_.Handle(), kBalloonTimer);
            Icon_.BalloonEnded();
            return 0;
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

bool TCallerFeatures::PreTranslate(MSG& message) {
    return History_.PreTranslate(message);
}

} // namespace telvane::win32
