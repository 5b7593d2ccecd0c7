// The main window on native controls: draws what the service decides and
// forwards the user's actions to it. The program's logic lives in TService;
// this class is its window, timer and window thread on Win32, with the
// context menu, the glance, the balloon, the tray icon, the history, the
// naming dialog, the settings dialog and the notice box beside it.
#pragma once

#include "service/FrontEnd.h"
#include "win32/Layout.h"
#include "win32/Timer.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <windows.h>

namespace telvane {
class TService;
}

namespace telvane::win32 {

class TGlance;
class THistoryWindow;
class TNameDialog;
class TNoticeBox;
class TNotifier;
class TSettingsDialog;
class TTrayIcon;

class TMainForm final : public IFrontEnd {
public:
    static constexpr wchar_t kClassName[] = L"TelvaneMainForm";
    static constexpr wchar_t kTitle[] = L"Telvane";
    // Messages of the notification-area icon.
    static constexpr UINT kTrayMessage = WM_APP + 10;

    explicit TMainForm(HINSTANCE instance);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // Creates the window and its controls, hidden. Returns whether it exists.
    bool Create();
    // The service the window draws for, once the window exists and before
    // anything is shown; Detach before the service goes.
    void Attach(TService& service);
    void Detach();
    HWND Handle() const { return Window_; }
    ITimer& Timer() { return Timer1; }
    // The first showing centres the window.
    void Show(int showCommand);
    // Keyboard navigation of the window and its dialogs.
    bool PreTranslate(MSG& message);
    // What AboutButton opens: the version dialog, modally.
    void SetAboutDialog(std::function<void()> showAbout) { ShowAbout_ = std::move(showAbout); }
    // Shows (restoring it when minimised) or hides the window.
    void ToggleVisible(bool visible);

    // The context menu as it would open now; the caller destroys it.
    HMENU BuildContextMenu() const;
    // A command of the context menu or the tray icon's menu.
    void Command(int id);
    THistoryWindow& ShowHistory();
    void NameCaller(HWND owner, const std::string& callerText);
    // For tests: the parts as the user meets them.
    THistoryWindow* History() const;
    TNameDialog* Naming() const { return Naming_.get(); }
    TSettingsDialog* Settings() const { return Settings_.get(); }
    TGlance& Glance() const { return *Glance_; }
    TTrayIcon& Tray() const { return *Tray_; }
    TNotifier& Notifier() const { return *Notifier_; }
    TNoticeBox& Notice() const { return *Notice_; }

    // IFrontEnd.
    std::string PortText() const override;
    void SetPortText(const std::string& text) override;
    std::string IntervalText() const override;
    void SetIntervalText(const std::string& text) override;
    bool LogRingChecked() const override;
    void SetLogRingChecked(bool checked) override;
    void SetLogRingHint(const std::string& hint) override;
    void SetNumberCaption(const std::string& text) override;
    void SetTimeCaption(const std::string& text) override;
    void SetStatusCaption(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    void Report(const std::string& line) override;
    void MinimizeApplication() override;
    void RestoreApplication() override;
    void Post(std::function<void()> task) override;
    void ShowGlance(const std::string& glance, const std::string& details) override;
    void ShowCall(const TCallShown& call) override;
    void ShowTray(const std::string& tooltip, bool adapterUp) override;
    void CallersChanged() override;
    void NotifyProblem(const std::string& title, const std::string& body) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> HandleLifecycle(UINT message, WPARAM wParam);
    void ContextMenuAt(LPARAM lParam);
    void CreateControls();
    void CreateToolTip();
    void CreateControl(const TControlLayout& layout);
    void OnCommand(int id, int notification);
    void SelectorChanged(int id, int notification);
    void MinimizedChanged(bool minimized);
    void TrayEvent(UINT event);
    void ShowMenu(HMENU menu, POINT at);
    void ToggleSetting(int id);
    void OpenPhonebook();
    void ChoosePhonebook();
    void ApplySettings();
    void RunTasks();
    void Warn(const std::wstring& text, UINT icon);
    void SetHint(HWND control, const std::wstring& text);

    HWND Control(int id) const { return ::GetDlgItem(Window_, id); }
    std::string TextOf(int id) const;
    void SetTextOf(int id, const std::string& text);
    void SetCaption(int id, const std::string& text);

    HINSTANCE Instance_;
    HWND Window_ = nullptr;
    // Where Post sends; cleared when the window goes.
    std::atomic<HWND> PostTarget_{nullptr};
    HWND ToolTip_ = nullptr;
    HFONT WindowFont_ = nullptr;
    HFONT NumberFont_ = nullptr;
    HFONT TimeFont_ = nullptr;
    std::map<HWND, std::wstring> Hints_;
    TTimer Timer1;
    TService* Service_ = nullptr;

    std::unique_ptr<TGlance> Glance_;
    std::unique_ptr<TTrayIcon> Tray_;
    std::unique_ptr<TNotifier> Notifier_;
    std::unique_ptr<TNoticeBox> Notice_;
    std::unique_ptr<TNameDialog> Naming_;
    std::unique_ptr<TSettingsDialog> Settings_;
    std::unique_ptr<THistoryWindow> History_;

    std::function<void()> ShowAbout_;
    // Destroyed by the user or the session, not by the destructor: the
    // message loop ends with it.
    bool EndsLoop_ = true;
    bool WasMinimized_ = false;
    bool Placed_ = false;
    HWND FocusControl_ = nullptr;

    // Tasks for the window's thread, in the order posted.
    std::mutex TasksMutex_;
    std::deque<std::function<void()>> Tasks_;
};

} // namespace telvane::win32
