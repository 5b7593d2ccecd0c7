// The main window on native controls: shows what the caller monitor finds and
// forwards the user's actions to it. The monitor's logic lives in
// TCallerMonitor; this class is its window, timer, port and settings store on
// Win32.
#pragma once

#include "comm/Comm.h"
#include "monitor/CallFanout.h"
#include "monitor/CallerMonitor.h"
#include "monitor/Clock.h"
#include "port/CommPort.h"
#include "win32/Layout.h"
#include "win32/RegistrySettingsStore.h"
#include "win32/Resource.h"
#include "win32/WinProgramLocation.h"
#include "win32/WinTimer.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <windows.h>

namespace telvane::win32 {

class TMainForm final : public IView, private IReceiveWakeup {
public:
    static constexpr wchar_t kClassName[] = L"TelvaneMainForm";
    static constexpr wchar_t kTitle[] = L"Telvane";

    explicit TMainForm(HINSTANCE instance);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // Creates the window and its controls, hidden. Returns whether it exists.
    bool Create();
    HWND Handle() const { return Window_; }
    // Every new caller and every change of the adapter's reachability goes
    // to the sinks added here.
    TCallFanout& CallSinks() { return CallSinks_; }
    // Loads the settings and starts the first query; called once before the
    // window is shown.
    void AllFormCreated();
    // The first showing centres the window.
    void Show(int showCommand);
    // Keyboard navigation of the controls: Tab, Enter for the default button.
    bool PreTranslate(MSG& message);
    // What AboutButton opens: the version dialog, modally.
    void SetAboutDialog(std::function<void()> showAbout) { ShowAbout_ = std::move(showAbout); }

    // For the added views (TCallerFeatures): called after each change of the
    // number or the status, and offered every window message first.
    void SetCaptionsChanged(std::function<void()> changed) {
        CaptionsChanged_ = std::move(changed);
    }
    using TMessageHook = std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)>;
    void SetMessageHook(TMessageHook hook) { MessageHook_ = std::move(hook); }
    HINSTANCE Instance() const { return Instance_; }
    HFONT WindowFont() const { return WindowFont_; }
    HWND NumberLabel() const { return Control(IDC_NUMBERLABEL); }
    std::wstring NumberCaption() const;
    const TCallerMonitor& Monitor() const { return *Monitor_; }
    ISettingsStore& SettingsStore() { return Settings_; }
    const IProgramLocation& Location() const { return Location_; }
    void SetHint(HWND control, const std::wstring& text);
    // Shows (restoring it when minimised) or hides the window.
    void ToggleVisible(bool visible);
    // What 即刻 does.
    void CheckNow();

    // IView.
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
    void MinimizeApplication() override;
    void RestoreApplication() override;
    void SetStandbyHandlers(std::function<void()> minimized,
                            std::function<void()> restored) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void OnCommand(int id, int notification);
    void SelectorChanged(int id, int notification);
    void MinimizedChanged(bool minimized);
    void ShowCommErrors();
    void FormClose();
    void PostReceived() override;
    // Runs a handler of the monitor; what escapes it is reported.
    template <typename Handler> void Handle(Handler&& handler);

    HWND Control(int id) const { return ::GetDlgItem(Window_, id); }
    std::string TextOf(int id) const;
    void SetTextOf(int id, const std::string& text);
    void SetCaption(int id, const std::string& text);

    HINSTANCE Instance_;
    HWND Window_ = nullptr;
    // Where the watch thread posts; cleared when the window goes.
    std::atomic<HWND> PostTarget_{nullptr};
    HWND ToolTip_ = nullptr;
    HFONT WindowFont_ = nullptr;
    HFONT NumberFont_ = nullptr;
    HFONT TimeFont_ = nullptr;
    std::map<HWND, std::wstring> Hints_;

    TComm Comm1;
    TCommPort Port_{Comm1};
    TWinTimer Timer1;
    TRegistrySettingsStore Settings_;
    TSystemClock Clock_;
    TWinProgramLocation Location_;
    TCallFanout CallSinks_;
    std::unique_ptr<TCallerMonitor> Monitor_;

    std::function<void()> ShowAbout_;
    std::function<void()> CaptionsChanged_;
    TMessageHook MessageHook_;
    std::function<void()> Minimized_;
    std::function<void()> Restored_;
    bool WasMinimized_ = false;
    bool Placed_ = false;
    HWND FocusControl_ = nullptr;

    // Errors of the port's watch thread, waiting for the window thread.
    std::mutex CommErrorsMutex_;
    std::deque<std::string> CommErrors_;
};

} // namespace telvane::win32
