// What the Windows shell adds to the monitor's window: who called at a
// glance, the call history, naming a caller, the notification-area icon and
// balloon, and starting at logon. The libraries decide; this presents.
#pragma once

#include "monitor/AddedSettings.h"
#include "monitor/CallSink.h"
#include "win32/HistoryDialog.h"
#include "win32/NotifyIcon.h"
#include "win32/WhoCalled.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace telvane {
class ISettingsStore;
class TCallerMonitor;
} // namespace telvane

namespace telvane::win32 {

class TMainForm;

class TCallerFeatures final : public ICallSink {
public:
    // Messages of the notification-area icon and its balloon timer.
    static constexpr UINT kNotifyMessage = WM_APP + 10;
    static constexpr UINT_PTR kBalloonTimer = 10;
    static constexpr UINT kProblemMessage = WM_APP + 11;
    // A read of the contacts came in.
    static constexpr UINT kContactsMessage = WM_APP + 12;

    // ownPhonebook: Telvane's own phonebook.vcf; program: for the Run value.
    TCallerFeatures(TMainForm& form, std::filesystem::path ownPhonebook,
                    std::filesystem::path program);
    ~TCallerFeatures() override;
    TCallerFeatures(const TCallerFeatures&) = delete;
    TCallerFeatures& operator=(const TCallerFeatures&) = delete;

    // Shows what is known of the caller on show; after each result phase.
    void Update();
    // The window's messages this part handles (context menu, icon, timers).
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool PreTranslate(MSG& message);

    // For tests: the parts as the user meets them.
    // Made when there is first something to show; nullptr until then.
    HWND Glance() const { return Glance_; }
    THistoryDialog& History() { return History_; }
    TNotifyIcon& Icon() { return Icon_; }
    const TWhoCalled& Who() const { return *Who_; }
    const TAddedSettings& Settings() const { return Settings_; }
    // The context menu as it would open now; the caller destroys it.
    HMENU BuildContextMenu() const;
    void Command(int id);

    // ICallSink.
    void NewCaller(const std::string& number, const std::string& detectionTime,
                   const std::string& previousPollTime) override;
    void AdapterHealth(bool up) override;

private:
    void NameCaller(HWND owner, const std::string& callerText);
    void OpenPhonebook();
    void ChoosePhonebook();
    void ShowMenu(HMENU menu, POINT at);
    void SaveFlag(const char* name, bool value);
    void UpdateTip();
    void ShowProblem(const std::string& problem);

    TMainForm& Form_;
    TAddedSettings Settings_;
    std::filesystem::path Program_;
    // Problems with contacts files, shown once the monitor's handler is done.
    std::vector<std::string> Problems_;
    std::unique_ptr<TWhoCalled> Who_;
    HWND Glance_ = nullptr;
    THistoryDialog History_;
    TNotifyIcon Icon_;
    bool Reachable_ = true;
};

} // namespace telvane::win32
