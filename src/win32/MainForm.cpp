#include "win32/MainForm.h"

#include "monitor/WideText.h"
#include "service/Service.h"
#include "win32/Layout.h"
#include "win32/Resource.h"
#include "win32/Translation.h"
#include "win32/callers/Glance.h"
#include "win32/callers/HistoryWindow.h"
#include "win32/callers/NameDialog.h"
#include "win32/outputs/Notifier.h"
#include "win32/outputs/SettingsDialog.h"
#include "win32/outputs/TrayIcon.h"
#include "win32/widgets/Fonts.h"
#include "win32/widgets/NoticeBox.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace telvane::win32 {
namespace {

// Posted by any thread: tasks wait for the window's thread.
constexpr UINT WM_TELVANE_TASKS = WM_APP + 1;

// Fixed single border, minimise but no maximise, no sizing.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST | WS_EX_APPWINDOW;

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int got = ::GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

} // namespace

TMainForm::TMainForm(HINSTANCE instance)
    : Instance_(instance), Timer1([this] {
          if (Service_) {
              Service_->Tick();
          }
      }) {}

TMainForm::~TMainForm() {
    Detach();
    EndsLoop_ = false;
    if (Window_) {
        ::DestroyWindow(Window_);
    }
    for (HFONT font : {WindowFont_, NumberFont_, TimeFont_}) {
        if (font) {
            ::DeleteObject(font);
        }
    }
}

bool TMainForm::Create() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TMainForm::WindowProc;
    windowClass.hInstance = Instance_;
    windowClass.hIcon = ::LoadIconW(Instance_, MAKEINTRESOURCEW(IDI_TELVANE));
    windowClass.hIconSm = static_cast<HICON>(
        ::LoadImageW(Instance_, MAKEINTRESOURCEW(IDI_TELVANE), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);

    RECT outer{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
    ::AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    Window_ = ::CreateWindowExW(kExStyle, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                nullptr, Instance_, this);
    if (!Window_) {
        return false;
    }
    CreateControls();
    Glance_ = std::make_unique<TGlance>(
        Window_, Control(IDC_NUMBERLABEL), WindowFont_,
        [this](HWND control, const std::wstring& text) { SetHint(control, text); });
    Tray_ = std::make_unique<TTrayIcon>(
        Window_, kTrayMessage,
        static_cast<HICON>(::LoadImageW(Instance_, MAKEINTRESOURCEW(IDI_TELVANE), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON),
                                        ::GetSystemMetrics(SM_CYSMICON), LR_SHARED)));
    Notifier_ = std::make_unique<TNotifier>(Window_, *Tray_);
    Notice_ = std::make_unique<TNoticeBox>(Instance_, Window_);
    PostTarget_.store(Window_);
    // Tasks posted before the window was there.
    const std::lock_guard<std::mutex> lock(TasksMutex_);
    if (!Tasks_.empty()) {
        ::PostMessageW(Window_, WM_TELVANE_TASKS, 0, 0);
    }
    return true;
}

namespace {

// The window class and style of a control of the layout.
std::pair<const wchar_t*, DWORD> ClassAndStyle(const TControlLayout& layout) {
    const DWORD style = WS_CHILD | WS_VISIBLE;
    switch (layout.Kind) {
    case TControlKind::ckLabel:
        // The number's tooltip tells what is known of it.
        return {L"STATIC", style | SS_LEFTNOWORDWRAP | SS_NOPREFIX |
                               (layout.Id == IDC_NUMBERLABEL ? SS_NOTIFY : 0)};
    case TControlKind::ckCheckBox:
        return {L"BUTTON", style | BS_AUTOCHECKBOX | WS_TABSTOP};
    case TControlKind::ckComboBox:
        return {L"COMBOBOX", style | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP};
    case TControlKind::ckButton:
        return {L"BUTTON", style | BS_PUSHBUTTON | WS_TABSTOP};
    case TControlKind::ckDefaultButton:
        break;
    }
    return {L"BUTTON", style | BS_DEFPUSHBUTTON | WS_TABSTOP};
}

// A selector's items and its text; at most eight rows open.
void FillSelector(HWND combo, const TControlLayout& layout) {
    const auto add = [combo](const auto& items) {
        for (const wchar_t* item : items) {
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
    };
    if (layout.Id == IDC_PORTSELECTOR) {
        add(kPortItems);
    } else {
        add(kIntervalItems);
    }
    ::SetWindowTextW(combo, layout.Text);
    // The common controls count rows; older versions take the height of
    // the open list.
    ::SendMessageW(combo, CB_SETMINVISIBLE, kDropDownRows, 0);
    const auto row = static_cast<int>(::SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    ::SetWindowPos(combo, nullptr, 0, 0, Scaled(layout.Width),
                   Scaled(layout.Height) + kDropDownRows * row + 2,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void TMainForm::CreateControls() {
    WindowFont_ = CreateJapaneseFont(TFace::fcGothic, 12, false, false);
    NumberFont_ = CreateJapaneseFont(TFace::fcGothic, 24, true, false);
    TimeFont_ = CreateJapaneseFont(TFace::fcMincho, 13, false, false);
    ::SendMessageW(Window_, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont_), FALSE);
    CreateToolTip();
    // Created in tab order: the z-order of the children is the tab order.
    for (const TControlLayout& layout : kMainControls) {
        CreateControl(layout);
    }
    FocusControl_ = Control(IDC_CHECKBUTTON);
}

void TMainForm::CreateToolTip() {
    ToolTip_ =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, Window_, nullptr, Instance_, nullptr);
    if (ToolTip_) {
        // Long hints wrap instead of running off the screen.
        ::SendMessageW(ToolTip_, TTM_SETMAXTIPWIDTH, 0, Scaled(400));
        // Its own font may lack Japanese where the system's language is another.
        ::SendMessageW(ToolTip_, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont_), FALSE);
    }
}

void TMainForm::CreateControl(const TControlLayout& layout) {
    const auto [windowClass, style] = ClassAndStyle(layout);
    // The shown texts in the user's language; the selectors' texts are
    // stored values and have no translation.
    const std::wstring text = UiText("TMainForm", Utf8FromWide(layout.Text).c_str());
    const HWND control = ::CreateWindowExW(
        0, windowClass, text.c_str(), style, Scaled(layout.Left), Scaled(layout.Top),
        Scaled(layout.Width), Scaled(layout.Height), Window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.Id)), Instance_, nullptr);
    const HFONT font = layout.Font == TFontKind::fkNumber ? NumberFont_
                       : layout.Font == TFontKind::fkTime ? TimeFont_
                                                          : WindowFont_;
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (layout.Kind == TControlKind::ckComboBox) {
        FillSelector(control, layout);
    }
    if (layout.Hint) {
        SetHint(control, UiText("TMainForm", Utf8FromWide(layout.Hint).c_str()));
    }
    if (layout.Kind == TControlKind::ckLabel) {
        SizeLabelToText(control);
    }
}

void TMainForm::Attach(TService& service) {
    Service_ = &service;
    Naming_ = std::make_unique<TNameDialog>(Instance_, service);
    Settings_ = std::make_unique<TSettingsDialog>(Instance_, service);
    ApplySettings();
    Tray_->Show(WideFromUtf8(service.TrayTip()), service.AdapterUp());
}

void TMainForm::Detach() {
    // The history goes back before the service it reads does.
    History_.reset();
    Naming_.reset();
    Settings_.reset();
    Service_ = nullptr;
}

void TMainForm::SetHint(HWND control, const std::wstring& text) {
    if (!ToolTip_ || !control) {
        return;
    }
    // A combo box's text field is a window of its own under the mouse.
    std::vector<HWND> targets{control};
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    if (::GetComboBoxInfo(control, &combo) && combo.hwndItem) {
        targets.push_back(combo.hwndItem);
    }
    for (HWND target : targets) {
        const bool known = Hints_.count(target) != 0;
        std::wstring& stored = Hints_[target];
        stored = text;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Window_;
        tool.uId = reinterpret_cast<UINT_PTR>(target);
        tool.hinst = Instance_;
        tool.lpszText = stored.data();
        ::SendMessageW(ToolTip_, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
                       reinterpret_cast<LPARAM>(&tool));
    }
}

void TMainForm::Show(int showCommand) {
    if (!Placed_) {
        // Centred the first time it is shown; where the user puts it later,
        // it stays, also across standby.
        Placed_ = true;
        RECT outer{};
        ::GetWindowRect(Window_, &outer);
        const TPoint origin =
            CentredOrigin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                          outer.right - outer.left, outer.bottom - outer.top);
        ::SetWindowPos(Window_, nullptr, origin.X, origin.Y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::ShowWindow(Window_, showCommand);
    ::UpdateWindow(Window_);
    ::SetFocus(FocusControl_);
}

bool TMainForm::PreTranslate(MSG& message) {
    return (History_ && History_->PreTranslate(message)) ||
           (Naming_ && Naming_->PreTranslate(message)) ||
           (Settings_ && Settings_->PreTranslate(message)) ||
           (Notice_ && Notice_->PreTranslate(message)) ||
           (Window_ && ::IsDialogMessageW(Window_, &message));
}

// ---- The user's verbs ----

void TMainForm::OnCommand(int id, int notification) {
    if (!Service_) {
        return;
    }
    switch (id) {
    case IDC_CHECKBUTTON:
        if (notification == BN_CLICKED) {
            Service_->CheckNow();
        }
        break;
    case IDC_SHOWBUTTON:
        if (notification == BN_CLICKED) {
            Service_->ShowAll();
        }
        break;
    case IDC_ABOUTBUTTON:
        if (notification == BN_CLICKED && ShowAbout_) {
            ShowAbout_();
        }
        break;
    case IDC_WAITBUTTON:
        if (notification == BN_CLICKED) {
            Service_->Wait();
        }
        break;
    case IDC_PORTSELECTOR:
    case IDC_INTERVALSELECTOR:
        SelectorChanged(id, notification);
        break;
    default:
        // IDCANCEL from Escape among them: the window has no cancel button.
        break;
    }
}

void TMainForm::SelectorChanged(int id, int notification) {
    const HWND combo = Control(id);
    if (notification == CBN_SELCHANGE) {
        // The text field shows the chosen item only after this notification;
        // the service must already see it.
        const auto index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR) {
            return;
        }
        const auto length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        std::vector<wchar_t> item(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(item.data()));
        ::SetWindowTextW(combo, item.data());
    } else if (notification != CBN_EDITCHANGE) {
        return;
    }
    Service_->CheckNow();
}

HMENU TMainForm::BuildContextMenu() const {
    const HMENU menu = ::CreatePopupMenu();
    if (!Service_) {
        return menu;
    }
    const TAddedSettings& settings = Service_->Settings();
    // Only a caller with a number can be given a name.
    const bool nameable = !Service_->Describe(Service_->CallerNumber()).MatchKey.empty();
    const auto add = [menu](UINT flags, UINT id, const std::wstring& text) {
        ::AppendMenuW(menu, MF_STRING | flags, id, text.c_str());
    };
    add(Service_->AutostartEnabled() ? MF_CHECKED : 0, IDM_AUTOSTART,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "ログイン時に起動")));
    add(nameable ? 0 : MF_GRAYED, IDM_NAMECALLER,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "名前を付ける...")));
    add(0, IDM_HISTORY, UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "着信履歴...")));
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(0, IDM_OPENPHONEBOOK, UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "電話帳を開く")));
    add(0, IDM_CHOOSEPHONEBOOK,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "電話帳を選ぶ...")));
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(settings.Notify ? MF_CHECKED : 0, IDM_NOTIFY,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TMainForm", "着信を通知")));
    add(settings.Tray ? MF_CHECKED : 0, IDM_TRAY,
        UiText(TELVANE_TRANSLATE_NOOP("telvane::win32::TMainForm", "通知領域にアイコン")));
    add(0, IDM_SETTINGS, UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "設定...")));
    return menu;
}

void TMainForm::ShowMenu(HMENU menu, POINT at) {
    // The menu closes when the user clicks elsewhere only if the window is
    // in front.
    ::SetForegroundWindow(Window_);
    const int id = static_cast<int>(::TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, Window_, nullptr));
    ::DestroyMenu(menu);
    ::PostMessageW(Window_, WM_NULL, 0, 0);
    if (id != 0) {
        Command(id);
    }
}

void TMainForm::Command(int id) {
    if (!Service_) {
        return;
    }
    switch (id) {
    case IDM_NAMECALLER:
        NameCaller(Window_, Service_->CallerNumber());
        break;
    case IDM_HISTORY:
        ShowHistory();
        break;
    case IDM_NOTIFY:
    case IDM_TRAY:
        ToggleSetting(id);
        break;
    case IDM_AUTOSTART: {
        const std::string error = Service_->SetAutostart(!Service_->AutostartEnabled());
        if (!error.empty()) {
            Warn(WideFromUtf8(error), MB_ICONERROR);
        }
        break;
    }
    case IDM_OPENPHONEBOOK:
        OpenPhonebook();
        break;
    case IDM_CHOOSEPHONEBOOK:
        ChoosePhonebook();
        break;
    case IDM_SETTINGS:
        Settings_->Open(Window_);
        break;
    case IDM_SHOW:
        ToggleVisible(true);
        break;
    case IDM_CHECK:
        Service_->CheckNow();
        break;
    case IDM_QUIT:
        ::PostMessageW(Window_, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

void TMainForm::ToggleSetting(int id) {
    TAddedSettings settings = Service_->Settings();
    bool& flag = id == IDM_NOTIFY ? settings.Notify : settings.Tray;
    flag = !flag;
    // Only the value that changed is written; CallersChanged applies it.
    const std::string error = Service_->ChangeSettings(settings);
    if (!error.empty()) {
        Warn(WideFromUtf8(error), MB_ICONWARNING);
    }
}

void TMainForm::ApplySettings() {
    const bool kept = Service_->Settings().Tray;
    Tray_->SetKept(kept);
    // Without the icon a hidden window could not be found again.
    if (!kept && !::IsWindowVisible(Window_) && Placed_) {
        ToggleVisible(true);
    }
}

void TMainForm::Warn(const std::wstring& text, UINT icon) {
    ::MessageBoxW(Window_, text.c_str(), kTitle, MB_OK | icon);
}

THistoryWindow& TMainForm::ShowHistory() {
    if (!History_ || !History_->Handle()) {
        // A window the user closed has given its history back already.
        History_.reset();
        History_ = std::make_unique<THistoryWindow>(
            Instance_, Window_, *Service_,
            [this](HWND owner, const std::string& number) { NameCaller(owner, number); });
    }
    History_->Show();
    return *History_;
}

THistoryWindow* TMainForm::History() const {
    return History_ && History_->Handle() ? History_.get() : nullptr;
}

void TMainForm::NameCaller(HWND owner, const std::string& callerText) {
    if (Naming_) {
        Naming_->Ask(owner, callerText);
    }
}

void TMainForm::OpenPhonebook() {
    const std::filesystem::path file = Service_->PhonebookPath();
    std::error_code error;
    if (std::filesystem::exists(file, error)) {
        ::ShellExecuteW(Window_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    // No file yet: the folder where it belongs.
    std::filesystem::create_directories(file.parent_path(), error);
    ::ShellExecuteW(Window_, L"open", file.parent_path().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TMainForm::ChoosePhonebook() {
    wchar_t file[MAX_PATH * 4] = {};
    // The filter as the Qt front end words it ("description (patterns);;..."),
    // made pairs of a description and patterns, each ended by a null; a
    // second null ends the list.
    const std::wstring qtFilter =
        UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm",
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
    const std::wstring title = UiText(TELVANE_TRANSLATE_NOOP("telvane::TMainForm", "電話帳を選ぶ"));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = static_cast<DWORD>(std::size(file));
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&dialog)) {
        return;
    }
    TAddedSettings settings = Service_->Settings();
    settings.Phonebook = Utf8FromWide(file);
    const std::string error = Service_->ChangeSettings(settings);
    if (!error.empty()) {
        Warn(WideFromUtf8(error), MB_ICONWARNING);
    }
}

// ---- The window's messages ----

void TMainForm::TrayEvent(UINT event) {
    switch (event) {
    case WM_LBUTTONUP:
        ToggleVisible(!::IsWindowVisible(Window_) || ::IsIconic(Window_));
        break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {
        const HMENU menu = ::CreatePopupMenu();
        const auto add = [menu](UINT id, const std::wstring& text) {
            ::AppendMenuW(menu, MF_STRING, id, text.c_str());
        };
        add(IDM_SHOW, UiText(TELVANE_TRANSLATE_NOOP("telvane::TTrayIcon", "表示")));
        add(IDM_CHECK, UiText(TELVANE_TRANSLATE_NOOP("telvane::TTrayIcon", "即刻")));
        add(IDM_HISTORY, UiText(TELVANE_TRANSLATE_NOOP("telvane::TTrayIcon", "履歴")));
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        add(IDM_QUIT, UiText(TELVANE_TRANSLATE_NOOP("telvane::TTrayIcon", "終了")));
        POINT at{};
        ::GetCursorPos(&at);
        ShowMenu(menu, at);
        break;
    }
    case NIN_BALLOONUSERCLICK:
        ToggleVisible(true);
        Notifier_->Ended();
        break;
    case NIN_BALLOONTIMEOUT:
    case NIN_BALLOONHIDE:
        Notifier_->Ended();
        break;
    default:
        break;
    }
}

void TMainForm::MinimizedChanged(bool minimized) {
    if (minimized == WasMinimized_ || !Service_) {
        return;
    }
    WasMinimized_ = minimized;
    if (minimized) {
        Service_->Minimized();
    } else {
        Service_->Restored();
    }
}

void TMainForm::RunTasks() {
    // One at a time from the queue, so that a task that opens a modal box
    // (whose loop runs the tasks after it) keeps their order.
    for (;;) {
        std::function<void()> task;
        {
            const std::lock_guard<std::mutex> lock(TasksMutex_);
            if (Tasks_.empty()) {
                return;
            }
            task = std::move(Tasks_.front());
            Tasks_.pop_front();
        }
        task();
    }
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto handled = HandleLifecycle(message, wParam)) {
        return *handled;
    }
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_CHECKBUTTON, DC_HASDEFID);
    case WM_TELVANE_TASKS:
        RunTasks();
        return 0;
    case kTrayMessage:
        TrayEvent(LOWORD(lParam));
        return 0;
    case WM_CONTEXTMENU:
        ContextMenuAt(lParam);
        return 0;
    case WM_TIMER:
        if (wParam == TNotifier::kBalloonTimer) {
            Notifier_->Ended();
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Control(IDC_STATUSLABEL)) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, RGB(255, 0, 0));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            MinimizedChanged(true);
        } else if (wParam == SIZE_RESTORED) {
            MinimizedChanged(false);
        }
        return 0;
    case WM_ACTIVATE:
        // Like a dialog: the focus leaves with the window and comes back to
        // the same control.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = ::GetFocus();
            if (focus && ::IsChild(Window_, focus)) {
                FocusControl_ = focus;
            }
        }
        break;
    case WM_SETFOCUS:
        if (FocusControl_) {
            ::SetFocus(FocusControl_);
        }
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(Window_, message, wParam, lParam);
}

void TMainForm::ContextMenuAt(LPARAM lParam) {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (at.x == -1 && at.y == -1) {
        // From the keyboard: at the window's corner.
        RECT window{};
        ::GetWindowRect(Window_, &window);
        at = {window.left + Scaled(16), window.top + Scaled(16)};
    }
    ShowMenu(BuildContextMenu(), at);
}

// Closing, the end of the session and the window's end.
std::optional<LRESULT> TMainForm::HandleLifecycle(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_CLOSE:
        // The history goes back before the service saves and ends.
        History_.reset();
        if (Service_) {
            // A failure is shown in a box while the window is up; hidden to
            // the tray, it goes to the log only.
            Service_->Close(!::IsWindowVisible(Window_));
        }
        ::DestroyWindow(Window_);
        return 0;
    case WM_QUERYENDSESSION:
        // The session may end without a WM_CLOSE: save now, without a box
        // that would hold up the log-off.
        if (Service_) {
            Service_->Close(true);
        }
        return TRUE;
    case WM_ENDSESSION:
        if (wParam && Service_) {
            Service_->Close(true);
        }
        return 0;
    case WM_DESTROY:
        // The icon and the boxes go with the window.
        Notifier_.reset();
        Tray_.reset();
        Notice_.reset();
        if (EndsLoop_) {
            ::PostQuitMessage(0);
        }
        return 0;
    case WM_NCDESTROY:
        PostTarget_.store(nullptr);
        ::SetWindowLongPtrW(Window_, GWLP_USERDATA, 0);
        Window_ = nullptr;
        return 0;
    default:
        return std::nullopt;
    }
}

LRESULT CALLBACK TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* form = static_cast<TMainForm*>(create->lpCreateParams);
        form->Window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TMainForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return form->HandleMessage(message, wParam, lParam);
}

// ---- IFrontEnd ----

std::string TMainForm::TextOf(int id) const {
    return Utf8FromWide(WindowText(Control(id)));
}

void TMainForm::SetTextOf(int id, const std::string& text) {
    // WM_SETTEXT raises no CBN_EDITCHANGE: no user change, no query.
    ::SetWindowTextW(Control(id), WideFromUtf8(text).c_str());
}

void TMainForm::SetCaption(int id, const std::string& text) {
    const HWND label = Control(id);
    ::SetWindowTextW(label, WideFromUtf8(text).c_str());
    // Labels size themselves to their text, growing to the right.
    SizeLabelToText(label);
}

std::string TMainForm::PortText() const {
    return TextOf(IDC_PORTSELECTOR);
}

void TMainForm::SetPortText(const std::string& text) {
    SetTextOf(IDC_PORTSELECTOR, text);
}

std::string TMainForm::IntervalText() const {
    return TextOf(IDC_INTERVALSELECTOR);
}

void TMainForm::SetIntervalText(const std::string& text) {
    SetTextOf(IDC_INTERVALSELECTOR, text);
}

bool TMainForm::LogRingChecked() const {
    return ::SendMessageW(Control(IDC_LOGRINGFLAG), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TMainForm::SetLogRingChecked(bool checked) {
    ::SendMessageW(Control(IDC_LOGRINGFLAG), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TMainForm::SetLogRingHint(const std::string& hint) {
    SetHint(Control(IDC_LOGRINGFLAG), WideFromUtf8(hint));
}

void TMainForm::SetNumberCaption(const std::string& text) {
    SetCaption(IDC_NUMBERLABEL, text);
}

void TMainForm::SetTimeCaption(const std::string& text) {
    SetCaption(IDC_TIMELABEL, text);
}

void TMainForm::SetStatusCaption(const std::string& text) {
    SetCaption(IDC_STATUSLABEL, text);
}

void TMainForm::ShowMessage(const std::string& text) {
    ::MessageBoxW(Window_, WideFromUtf8(text).c_str(), kTitle, MB_OK);
}

void TMainForm::ShowError(const std::string& text) {
    ::MessageBoxW(Window_, WideFromUtf8(text).c_str(), kTitle, MB_OK | MB_ICONERROR);
}

void TMainForm::ShowNotice(const std::string& text) {
    // Gone with the window; the service has reported the line already.
    if (Notice_) {
        Notice_->Show(text);
    }
}

void TMainForm::Report(const std::string& line) {
    // For the debugger's or a log viewer's eyes; one call per line, so that
    // lines from other threads do not mix.
    ::OutputDebugStringW((L"Telvane: " + WideFromUtf8(line) + L"\n").c_str());
}

void TMainForm::MinimizeApplication() {
    if (!::IsIconic(Window_)) {
        ::ShowWindow(Window_, SW_MINIMIZE);
    }
}

void TMainForm::RestoreApplication() {
    // Hidden through the notification-area icon: a new caller shows it again.
    if (!::IsWindowVisible(Window_)) {
        ::ShowWindow(Window_, SW_SHOWNOACTIVATE);
    }
    if (::IsIconic(Window_)) {
        ::ShowWindow(Window_, SW_RESTORE);
        ::SetForegroundWindow(Window_);
    }
}

void TMainForm::ToggleVisible(bool visible) {
    if (!visible) {
        ::ShowWindow(Window_, SW_HIDE);
        return;
    }
    ::ShowWindow(Window_, ::IsIconic(Window_) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(Window_);
}

void TMainForm::Post(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(TasksMutex_);
        Tasks_.push_back(std::move(task));
    }
    // One message per task; each runs whatever is waiting by then.
    if (const HWND target = PostTarget_.load()) {
        ::PostMessageW(target, WM_TELVANE_TASKS, 0, 0);
    }
}

void TMainForm::ShowGlance(const std::string& glance, const std::string& details) {
    Glance_->Show(glance, details);
}

void TMainForm::ShowCall(const TCallShown& call) {
    if (History_) {
        History_->ShowStatus();
    }
    if (call.Notify && Notifier_) {
        Notifier_->Show(call.Title, call.Body);
    }
}

void TMainForm::ShowTray(const std::string& tooltip, bool adapterUp) {
    if (Tray_) {
        Tray_->Show(WideFromUtf8(tooltip), adapterUp);
    }
}

void TMainForm::CallersChanged() {
    if (Service_ && Tray_) {
        ApplySettings();
    }
    if (History_) {
        History_->ShowStatus();
    }
    if (Settings_) {
        Settings_->ShowProblems();
    }
}

void TMainForm::NotifyProblem(const std::string& title, const std::string& body) {
    // Gone with the window; the service has reported the lines already.
    if (Notifier_) {
        Notifier_->Show(title, body, true);
    }
}

} // namespace telvane::win32
