// The one entry point of every front end. It owns the port and the serial
// component, the caller monitor and who hears of a call, the caller
// directory, the history, the hook and MQTT, and where each file lives; it
// decides every text a front end shows. A front end only draws (IFrontEnd),
// keeps the timer, the settings store and its window thread, and forwards
// the user's verbs here. Everything runs on the window's thread unless said.
#pragma once

#include "monitor/AddedSettings.h"
#include "monitor/CallSink.h"
#include "monitor/ProgramLocation.h"
#include "monitor/ReceiveWakeup.h"
#include "monitor/View.h"
#include "service/CallerDescription.h"
#include "service/Follower.h"
#include "service/FrontEnd.h"
#include "service/Places.h"
#include "service/Texts.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TComm;

namespace telvane {

class IClock;
class IPort;
class ISettingsStore;
class ITimer;
class TCallerDirectory;
struct TBookProblem;
struct TDirectorySnapshot;
class TCallerMonitor;
class THistory;
class TOutputs;

struct TServiceOptions {
    TPlaces Places = UserPlaces();
    bool English = false;
    // The front end watches the contacts files itself and calls
    // FilesChanged; otherwise they are looked at (time and size) at every
    // query's result.
    bool WatchesFiles = false;
    // A serial device that every port opens, whatever the Port setting
    // says (POSIX); empty: the Port setting's device.
    std::string Device;
    // For tests: a port and a clock of their own instead of the serial
    // component and the system's clock.
    IPort* Port = nullptr;
    IClock* Clock = nullptr;
};

class TService final : private IView,
                       private IReceiveWakeup,
                       private ICallSink,
                       private TFollower::IHost {
public:
    TService(IFrontEnd& frontEnd, ITimer& timer, ISettingsStore& store, TServiceOptions options);
    ~TService() override;
    TService(const TService&) = delete;
    TService& operator=(const TService&) = delete;

    // Loads the settings and starts the first query, or follows the
    // Telvane that Follow names.
    void Start();
    // Saves the settings and the last snapshot; returns whether they were
    // kept. A failure goes to the user's log, and while the user closes the
    // window also to the error box; never a box while the session or a
    // signal ends the program (ending), which a box would hold up.
    bool Close(bool ending);

    // The user's verbs and the timer's tick.
    void Tick();
    void CheckNow(); // 即刻, and a changed selector
    void ShowAll();  // 全部
    void Wait();     // 待機
    // The application was minimised or restored, by whatever means.
    void Minimized();
    void Restored();

    // Who called. callerText: Shift_JIS, as the monitor holds it.
    const std::string& CallerNumber() const;
    TCallerDescription Describe(const std::string& callerText) const;
    // Gives the caller a name in Telvane's own phonebook (an empty name
    // removes it); the failure in words, or empty.
    std::string NameCaller(const std::string& callerText, const std::string& name);
    // The contacts file the user reads: the Phonebook setting, or the own one.
    std::filesystem::path PhonebookPath() const;
    std::vector<std::filesystem::path> ContactsFiles() const;
    // A contacts file changed: read them again, off the window's thread.
    void FilesChanged();

    // The settings beside the seventeen.
    const TAddedSettings& Settings() const { return Settings_; }
    // Saves the values that differ from those stored and puts them to work;
    // the failure in words, or empty.
    std::string ChangeSettings(const TAddedSettings& settings);
    // Reads the settings beside the seventeen again, as someone changed them
    // in the store, and the contacts; the outputs start again where their
    // settings changed. The monitor's state stays as it is.
    void ReloadSettings();
    // What is wrong with settings the user is about to save, in words;
    // empty when they can work.
    std::string SettingsFault(const TAddedSettings& settings) const;
    // Whether this build can publish to MQTT at all.
    static bool MqttAvailable();
    // Another Telvane is followed (Follow) and the adapter is not polled.
    bool Following() const { return Follower_ != nullptr; }
    // What does not work now, one line each: values not understood, outputs
    // that cannot work, contacts files that cannot be read.
    std::vector<std::string> Problems() const;
    // Of those, the contacts files', as "file:line: what": a file that
    // cannot be read, and the first few cards or lines skipped in a file
    // read, with how many in all.
    std::vector<std::string> ContactsProblems() const;
    bool AutostartEnabled() const;
    // The failure in words, or empty.
    std::string SetAutostart(bool enabled);

    // The call history, read while a front end shows it and given back when
    // it closes.
    THistory& OpenHistory();
    void CloseHistory();
    THistory* History() { return History_.get(); }

    const TTexts& Texts() const { return Texts_; }
    const TPlaces& Places() const { return Places_; }
    // The tray's tooltip: the last caller, the last answered query, and
    // whether the adapter answers.
    std::string TrayTip() const;
    bool AdapterUp() const { return AdapterUp_; }

    // For tests and benchmarks.
    TCallerMonitor& Monitor() { return *Monitor_; }
    // The serial component; none when a test gave a port of its own.
    TComm* Comm();
    TOutputs& Outputs() { return *Outputs_; }
    TCallerDirectory& Directory() { return *Directory_; }

private:
    class TLocation;
    struct TFileStamp;

    // IView: the monitor's window, in Shift_JIS, turned into the front end's.
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
    // IReceiveWakeup: on the port's watch thread.
    void PostReceived() override;
    // ICallSink.
    void NewCaller(const std::string& number, const std::string& detectionTime,
                   const std::string& previousPollTime) override;
    void AdapterHealth(bool up) override;

    // TFollower::IHost; the rest of following is in ServiceFollowing.cpp.
    void PostToWindow(std::function<void()> task) override { Post(std::move(task)); }
    void ShowFollowedCall(const TCallEvent& call, bool quietly) override;
    void FollowedLinkChanged() override;
    // Starts or ends following as Follow says, and polling with it.
    void StartFollowing();
    // Why settings.Follow cannot be followed, in the user's words; empty
    // when it can.
    std::string FollowFault(const TAddedSettings& settings) const;
    // The caller on show as the window describes it.
    TCallerDescription DescribeShown(const std::string& callerText) const;
    // Tells the front end and the outputs of a new caller.
    void TellCall(const TCallShown& call);

    // Runs a handler of the monitor; what escapes it goes to the error box.
    template <typename Handler> void Handle(Handler&& handler);
    // A task for the window's thread that does nothing once this is gone.
    void Post(std::function<void()> task);
    void StartOutputs();
    // Puts changed settings to work.
    void ApplySettings(const TAddedSettings& before);
    void LoadContacts();
    void ContactsLoaded();
    void LookAtContactsFiles();
    void ShowWhatIsOnShow();
    void ShowTray();
    void KeepSecret();
    // Said once: numbers that need libphonenumber are read as their digits.
    void TellNumberPluginProblem();
    std::string ProblemText(const TBookProblem& problem) const;
    std::vector<std::string> SkipLines(const TDirectorySnapshot& snapshot) const;

    IFrontEnd& FrontEnd_;
    ITimer& Timer_;
    ISettingsStore& Store_;
    const TPlaces Places_;
    const TTexts Texts_;
    const bool WatchesFiles_;
    TAddedSettings Settings_;
    std::vector<std::string> SettingsProblems_;
    std::unique_ptr<IClock> OwnClock_;
    std::unique_ptr<IPort> OwnPort_;
    std::unique_ptr<IProgramLocation> Location_;
    std::unique_ptr<TOutputs> Outputs_;
    std::unique_ptr<TCallerDirectory> Directory_;
    std::vector<TFileStamp> Stamps_;
    std::vector<std::string> ToldSkips_;
    std::unique_ptr<THistory> History_;
    std::function<void()> Minimized_;
    std::function<void()> Restored_;
    std::string NumberCaption_; // Shift_JIS, as the monitor set it
    std::string LastCaller_;    // the tray's line
    bool AdapterUp_ = true;
    bool NumberPluginTold_ = false;
    std::string FollowProblem_; // why Follow cannot be followed
    std::shared_ptr<bool> Alive_ = std::make_shared<bool>(true);
    // Made once the rest is in place, gone first.
    std::unique_ptr<TFollower> Follower_;
    std::unique_ptr<TCallerMonitor> Monitor_;
};

} // namespace telvane
