#include "win32/MainForm.h"

#include "monitor/ErrorReport.h"
#include "monitor/WideText.h"
#include "win32/Fonts.h"
#include "win32/Resource.h"
#include "win32/UiText.h"

#include <commctrl.h>

#include <thread>
#include <vector>

namespace telvane::win32 {
namespace {

// Posted by the watch thread: received bytes wait for the window thread.
constexpr UINT WM_TELVANE_RECEIVED = WM_APP + 1;
// Posted by the watch thread: an error waits to be reported.
constexpr UINT WM_TELVANE_COMMERROR = WM_APP + 2;

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
    : Instance_(instance), Timer1([this] { Handle([this] { Monitor_->Timer1Timer(); }); }) {
    TMonitorEnvironment environment{*this, Timer1, Port_, Clock_, Location_, Settings_, *this};
    environment.CallSink = &CallSinks_;
    Monitor_ = std::make_unique<TCallerMonitor>(environment);
    Comm1.SetOnCommReceive(
        [this](TComm*, std::uint16_t size) { Monitor_->Comm1CommReceive(size); });
    // Errors of the port's watch thread are shown on the window thread.
    SetCommErrorHandler([this](const std::exception& error) {
        {
            const std::lock_guard<std::mutex> lock(CommErrorsMutex_);
            CommErrors_.emplace_back(error.what());
        }
        ::PostMessageW(PostTarget_.load(), WM_TELVANE_COMMERROR, 0, 0);
    });
}

TMainForm::~TMainForm() {
    // No notification may reach the monitor once it is gone.
    Comm1.Close();
    SetCommErrorHandler(nullptr);
    if (Window_) {
        ::SetWindowLongPtrW(Window_, GWLP_USERDATA, 0);
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
    PostTarget_.store(Window_);
    CreateControls();
    return true;
}

void TMainForm::CreateControls() {
    WindowFont_ = CreateJapaneseFont(TFace::fcGothic, 12, false, false);
    NumberFont_ = CreateJapaneseFont(TFace::fcGothic, 24, true, false);
    TimeFont_ = CreateJapaneseFont(TFace::fcMincho, 13, false, false);
    ::SendMessageW(Window_, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont_), FALSE);

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

    // Created in tab order: the z-order of the children is the tab order.
    for (const TControlLayout& layout : kMainControls) {
        const wchar_t* windowClass = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        switch (layout.Kind) {
        case TControlKind::ckLabel:
            style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
            // The number's tooltip tells what is known of it.
            if (layout.Id == IDC_NUMBERLABEL) {
                style |= SS_NOTIFY;
            }
            break;
        case TControlKind::ckCheckBox:
            windowClass = L"BUTTON";
            style |= BS_AUTOCHECKBOX | WS_TABSTOP;
            break;
        case TControlKind::ckComboBox:
            windowClass = L"COMBOBOX";
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
            break;
        case TControlKind::ckButton:
            windowClass = L"BUTTON";
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case TControlKind::ckDefaultButton:
            windowClass = L"BUTTON";
            style |= BS_DEFPUSHBUTTON | WS_TABSTOP;
            break;
        }
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
            const auto add = [control](const auto& items) {
                for (const wchar_t* item : items) {
                    ::SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
                }
            };
            if (layout.Id == IDC_PORTSELECTOR) {
                add(kPortItems);
            } else {
                add(kIntervalItems);
            }
            ::SetWindowTextW(control, layout.Text);
            // At most eight rows: the common controls count rows; older
            // versions take the height of the open list.
            ::SendMessageW(control, CB_SETMINVISIBLE, kDropDownRows, 0);
            const auto row = static_cast<int>(::SendMessageW(control, CB_GETITEMHEIGHT, 0, 0));
            ::SetWindowPos(control, nullptr, 0, 0, Scaled(layout.Width),
                           Scaled(layout.Height) + kDropDownRows * row + 2,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (layout.Hint) {
            SetHint(control, UiText("TMainForm", Utf8FromWide(layout.Hint).c_str()));
        }
        if (layout.Kind == TControlKind::ckLabel) {
            SizeLabelToText(control);
        }
    }
    FocusControl_ = Control(IDC_CHECKBUTTON);
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
    return Window_ && ::IsDialogMessageW(Window_, &message);
}

template <typename Handler> void TMainForm::Handle(Handler&& handler) {
    RunReportingErrors(*this, std::forward<Handler>(handler));
}

void TMainForm::AllFormCreated() {
    Handle([this] { Monitor_->AllFormCreated(); });
}

void TMainForm::FormClose() {
    Handle([this] { Monitor_->FormClose(); });
}

void TMainForm::PostReceived() {
    // One message per batch; the window thread drains whatever has arrived.
    ::PostMessageW(PostTarget_.load(), WM_TELVANE_RECEIVED, 0, 0);
}

void TMainForm::ShowCommErrors() {
    for (;;) {
        std::string message;
        {
            const std::lock_guard<std::mutex> lock(CommErrorsMutex_);
            if (CommErrors_.empty()) {
                return;
            }
            message = std::move(CommErrors_.front());
            CommErrors_.pop_front();
        }
        ShowError(ErrorReportText(message));
    }
}

void TMainForm::OnCommand(int id, int notification) {
    switch (id) {
    case IDC_CHECKBUTTON:
        if (notification == BN_CLICKED) {
            Handle([this] { Monitor_->CheckButtonClick(); });
        }
        break;
    case IDC_SHOWBUTTON:
        if (notification == BN_CLICKED) {
            Handle([this] { Monitor_->ShowButtonClick(); });
        }
        break;
    case IDC_ABOUTBUTTON:
        if (notification == BN_CLICKED && ShowAbout_) {
            ShowAbout_();
        }
        break;
    case IDC_WAITBUTTON:
        if (notification == BN_CLICKED) {
            Handle([this] { Monitor_->WaitButtonClick(); });
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
        // the handler must already see it.
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
    Handle([this] { Monitor_->CheckButtonClick(); });
}

void TMainForm::MinimizedChanged(bool minimized) {
    if (minimized == WasMinimized_) {
        return;
    }
    WasMinimized_ = minimized;
    const auto& handler = minimized ? Minimized_ : Restored_;
    if (handler) {
        handler();
    }
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (MessageHook_) {
        if (const auto handled = MessageHook_(message, wParam, lParam)) {
            return *handled;
        }
    }
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_CHECKBUTTON, DC_HASDEFID);
    case WM_TELVANE_RECEIVED:
        Handle([this] { Monitor_->DrainReceived(); });
        return 0;
    case WM_TELVANE_COMMERROR:
        ShowCommErrors();
        return 0;
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
    case WM_CLOSE:
        FormClose();
        ::DestroyWindow(Window_);
        return 0;
    case WM_QUERYENDSESSION:
        // The session may end without a WM_CLOSE: save now.
        FormClose();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            FormClose();
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        PostTarget_.store(nullptr);
        ::SetWindowLongPtrW(Window_, GWLP_USERDATA, 0);
        Window_ = nullptr;
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(Window_, message, wParam, lParam);
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

std::string TMainForm::TextOf(int id) const {
    return ShiftJisFromWide(WindowText(Control(id)));
}

void TMainForm::SetTextOf(int id, const std::string& text) {
    // WM_SETTEXT raises no CBN_EDITCHANGE: no user change, no query.
    ::SetWindowTextW(Control(id), WideFromShiftJis(text).c_str());
}

void TMainForm::SetCaption(int id, const std::string& text) {
    const HWND label = Control(id);
    ::SetWindowTextW(label, ShownText(text).c_str());
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
    SetHint(Control(IDC_LOGRINGFLAG), ShownText(hint));
}

void TMainForm::SetNumberCaption(const std::string& text) {
    SetCaption(IDC_NUMBERLABEL, text);
    if (CaptionsChanged_) {
        CaptionsChanged_();
    }
}

std::wstring TMainForm::NumberCaption() const {
    return WindowText(Control(IDC_NUMBERLABEL));
}

void TMainForm::SetTimeCaption(const std::string& text) {
    SetCaption(IDC_TIMELABEL, text);
}

void TMainForm::SetStatusCaption(const std::string& text) {
    SetCaption(IDC_STATUSLABEL, text);
    if (CaptionsChanged_) {
        CaptionsChanged_();
    }
}

void TMainForm::ShowMessage(const std::string& text) {
    ::MessageBoxW(Window_, ShownText(text).c_str(), kTitle, MB_OK);
}

void TMainForm::ShowError(const std::string& text) {
    ::MessageBoxW(Window_, ShownText(text).c_str(), kTitle, MB_OK | MB_ICONERROR);
}

void TMainForm::ShowNotice(const std::string& text) {
    // A box of its own on a thread of its own: the window thread goes on
    // polling while the user has not read it.
    std::thread([wide = ShownText(text)] {
        ::MessageBoxW(nullptr, wide.c_str(), kTitle, MB_OK | MB_ICONWARNING | MB_TOPMOST);
    }).detach();
}

void TMainForm::MinimizeApplication() {
    if (!::IsIconic(Window_)) {
        ::ShowWindow(Window_, SW_MINIMIZE);
    }
}

void TMainForm::RestoreApplication() {
    // Hidden from the notification-area icon: a new caller shows it again.
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

void TMainForm::CheckNow() {
    Handle([this] { Monitor_->CheckButtonClick(); });
}

void TMainForm::SetStandbyHandlers(std::function<void()> minimized,
                                   std::function<void()> restored) {
    Minimized_ = std::move(minimized);
    Restored_ = std::move(restored);
}

} // namespace telvane::win32
