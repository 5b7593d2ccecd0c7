#include "service/Service.h"

#include "callers/CallerDirectory.h"
#include "callers/NumberReader.h"
#include "comm/Comm.h"
#include "monitor/CallerMonitor.h"
#include "monitor/Clock.h"
#include "monitor/ErrorReport.h"
#include "monitor/MonitorError.h"
#include "monitor/Settings.h"
#include "monitor/ShiftJisUtf8.h"
#include "monitor/Texts.h"
#include "outputs/CommandLine.h"
#include "outputs/MqttUrl.h"
#include "outputs/Outputs.h"
#include "port/CommPort.h"
#include "service/History.h"
#include "session/Autostart.h"

#include <algorithm>
#include <system_error>

namespace telvane {

// The call log's folder as the monitor sees it.
class TService::TLocation final : public IProgramLocation {
public:
    explicit TLocation(std::filesystem::path folder) : Folder_(std::move(folder)) {
        std::string text = Folder_.u8string();
        const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
        if (!text.empty() && text.back() != separator) {
            text += separator;
        }
        FolderText_ = ShiftJisFromUtf8(text);
    }
    std::filesystem::path Folder() const override {
        // The user's data folder may not be there yet; one that cannot be made
        // shows as the log's own failure.
        std::error_code ignored;
        std::filesystem::create_directories(Folder_, ignored);
        return Folder_;
    }
    std::string FolderText() const override { return FolderText_; }

private:
    std::filesystem::path Folder_;
    std::string FolderText_;
};

// When a contacts file was last looked at.
struct TService::TFileStamp {
    std::filesystem::path File;
    bool Exists = false;
    std::filesystem::file_time_type Time{};
    std::uintmax_t Size = 0;

    bool operator==(const TFileStamp& other) const {
        return File == other.File && Exists == other.Exists && Time == other.Time &&
               Size == other.Size;
    }
};

namespace {

// The serial component and the monitor's port on it.
class TSerialPort final : public IPort {
public:
    void SetPort(std::uint8_t number) override { Port_.SetPort(number); }
    void Open() override { Port_.Open(); }
    void WriteString(const std::string& text) override { Port_.WriteString(text); }
    void Close() override { Port_.Close(); }
    std::size_t Read(char* buffer, std::size_t count) override { return Port_.Read(buffer, count); }
    TComm& Comm() { return Comm_; }

private:
    TComm Comm_;
    TCommPort Port_{Comm_};
};

} // namespace

TService::TService(IFrontEnd& frontEnd, ITimer& timer, ISettingsStore& store,
                   TServiceOptions options)
    : FrontEnd_(frontEnd), Timer_(timer), Store_(store), Places_(std::move(options.Places)),
      Texts_(options.English), WatchesFiles_(options.WatchesFiles),
      Location_(std::make_unique<TLocation>(Places_.CallLogFolder)) {
    SettingsProblems_ = LoadAddedSettings(Store_, Settings_);
    for (const std::string& line : SettingsProblems_) {
        FrontEnd_.Report("settings: " + line);
    }
    if (!Places_.PortsFolder.empty()) {
        SetComPortsFolder(Places_.PortsFolder.string());
    }
    SetComDevice(options.Device);
    IClock* clock = options.Clock;
    if (clock == nullptr) {
        OwnClock_ = std::make_unique<TSystemClock>();
        clock = OwnClock_.get();
    }
    IPort* port = options.Port;
    if (port == nullptr) {
        auto serial = std::make_unique<TSerialPort>();
        serial->Comm().SetOnCommReceive(
            [this](TComm*, std::uint16_t size) { Monitor_->Comm1CommReceive(size); });
        port = serial.get();
        OwnPort_ = std::move(serial);
        // Errors of the port's watch thread are shown on the window's thread.
        SetCommErrorHandler([this](const std::exception& error) {
            Post([this, message = std::string(error.what())] {
                ShowError(ErrorReportText(message));
            });
        });
    }
    KeepSecret();
    StartOutputs();
    LoadContacts();
    TMonitorEnvironment environment{*this, Timer_, *port, *clock, *Location_, Store_, *this};
    environment.CallSink = this;
    environment.FixedDevice = !options.Device.empty();
    Monitor_ = std::make_unique<TCallerMonitor>(environment);
}

TService::~TService() {
    Follower_.reset();
    FrontEnd_.ServiceEnding();
    *Alive_ = false;
    if (OwnPort_) {
        // No notification may reach the monitor once it is gone.
        OwnPort_->Close();
        SetCommErrorHandler(nullptr);
    }
    History_.reset();
}

TComm* TService::Comm() {
    auto* serial = dynamic_cast<TSerialPort*>(OwnPort_.get());
    return serial != nullptr ? &serial->Comm() : nullptr;
}

void TService::Post(std::function<void()> task) {
    FrontEnd_.Post([alive = std::weak_ptr<bool>(Alive_), task = std::move(task)] {
        if (alive.lock()) {
            task();
        }
    });
}

template <typename Handler> void TService::Handle(Handler&& handler) {
    RunReportingErrors(*this, std::forward<Handler>(handler));
}

// ---- The monitor's verbs ----

void TService::Start() {
    Handle([this] {
        Monitor_->LoadStored();
        StartFollowing();
        if (!Following()) {
            Monitor_->Check();
        }
    });
}

bool TService::Close(bool ending) {
    try {
        const std::size_t followedLost = Follower_ ? Follower_->FlushLog() : 0;
        Monitor_->FormClose();
        if (followedLost != 0) {
            throw EMonitorError(texts::kRingLogDroppedBefore + std::to_string(followedLost) +
                                texts::kRingLogDroppedAfter);
        }
        return true;
    } catch (const std::exception& error) {
        const std::string text = Texts_.Shown(ErrorReportText(error.what()));
        FrontEnd_.Report(text);
        if (!ending) {
            FrontEnd_.ShowError(text);
        }
        return false;
    }
}

// While following, the poll controls do nothing.

void TService::Tick() {
    if (!Following()) {
        Handle([this] { Monitor_->Timer1Timer(); });
    }
}

void TService::CheckNow() {
    if (!Following()) {
        Handle([this] { Monitor_->CheckButtonClick(); });
    }
}

void TService::ShowAll() {
    if (!Following()) {
        Handle([this] { Monitor_->ShowButtonClick(); });
    }
}

void TService::Wait() {
    if (!Following()) {
        Handle([this] { Monitor_->WaitButtonClick(); });
    }
}

void TService::Minimized() {
    if (Minimized_) {
        Minimized_();
    }
}

void TService::Restored() {
    if (Restored_) {
        Restored_();
    }
}

void TService::PostReceived() {
    // One task per batch; the window's thread drains whatever has come.
    Post([this] { Handle([this] { Monitor_->DrainReceived(); }); });
}

// ---- IView: the monitor's window, through the front end ----

std::string TService::PortText() const {
    return ShiftJisFromUtf8(FrontEnd_.PortText());
}

void TService::SetPortText(const std::string& text) {
    FrontEnd_.SetPortText(Utf8FromShiftJis(text));
}

std::string TService::IntervalText() const {
    return ShiftJisFromUtf8(FrontEnd_.IntervalText());
}

void TService::SetIntervalText(const std::string& text) {
    FrontEnd_.SetIntervalText(Utf8FromShiftJis(text));
}

bool TService::LogRingChecked() const {
    return FrontEnd_.LogRingChecked();
}

void TService::SetLogRingChecked(bool checked) {
    FrontEnd_.SetLogRingChecked(checked);
}

void TService::SetLogRingHint(const std::string& hint) {
    FrontEnd_.SetLogRingHint(Texts_.Shown(hint));
}

void TService::SetNumberCaption(const std::string& text) {
    NumberCaption_ = text;
    FrontEnd_.SetNumberCaption(Texts_.Shown(text));
    // Every query's result sets the number: the time of the last answer,
    // and what is known of the caller, may have changed with it.
    if (!WatchesFiles_) {
        LookAtContactsFiles();
    }
    ShowWhatIsOnShow();
    ShowTray();
}

void TService::SetTimeCaption(const std::string& text) {
    FrontEnd_.SetTimeCaption(Utf8FromShiftJis(text));
}

void TService::SetStatusCaption(const std::string& text) {
    FrontEnd_.SetStatusCaption(Texts_.Shown(text));
}

void TService::ShowMessage(const std::string& text) {
    FrontEnd_.ShowMessage(Texts_.Shown(text));
}

void TService::ShowError(const std::string& text) {
    FrontEnd_.ShowError(Texts_.Shown(text));
}

void TService::ShowNotice(const std::string& text) {
    const std::string shown = Texts_.Shown(text);
    FrontEnd_.Report(shown);
    FrontEnd_.ShowNotice(shown);
}

void TService::MinimizeApplication() {
    FrontEnd_.MinimizeApplication();
}

void TService::RestoreApplication() {
    FrontEnd_.RestoreApplication();
}

void TService::SetStandbyHandlers(std::function<void()> minimized, std::function<void()> restored) {
    Minimized_ = std::move(minimized);
    Restored_ = std::move(restored);
}

// ---- Calls and the adapter's health ----

void TService::NewCaller(const std::string& number, const std::string& detectionTime,
                         const std::string& previousPollTime) {
    TCallShown call =
        ShownCall(Describe(number), number, Utf8FromShiftJis(detectionTime), Settings_.Notify);
    call.Event.Time = IsoTime(detectionTime);
    call.Event.PreviousPoll = IsoTime(previousPollTime);
    Outputs_->Post(call.Event);
    TellCall(call);
}

void TService::TellCall(const TCallShown& call) {
    LastCaller_ = call.TrayCaller;
    if (History_) {
        History_->Refresh();
    }
    // A call from abroad may have been the first to need libphonenumber.
    TellNumberPluginProblem();
    FrontEnd_.ShowCall(call);
}

void TService::TellNumberPluginProblem() {
    const std::string problem = NumberPluginProblem();
    if (!problem.empty() && !NumberPluginTold_) {
        NumberPluginTold_ = true;
        FrontEnd_.Report(problem);
    }
}

void TService::AdapterHealth(bool up) {
    AdapterUp_ = up;
    TCallEvent event;
    event.Kind = up ? TEventKind::AdapterUp : TEventKind::AdapterDown;
    event.Time = IsoNow();
    Outputs_->Post(event);
    ShowTray();
}

std::string TService::TrayTip() const {
    std::string tip = "Telvane";
    if (!LastCaller_.empty()) {
        tip += "\n" + LastCaller_;
    }
    const std::string& poll = Monitor_->GetLastPollTime();
    if (Following()) {
        tip += "\n" + Follower_->Caption();
    } else if (!poll.empty()) {
        tip += "\n" + Texts_.Text(TELVANE_TRANSLATE_NOOP("telvane::TTrayIcon", "最終確認 %1"),
                                  Utf8FromShiftJis(poll));
    }
    if (!AdapterUp_) {
        tip += "\n" + Texts_.Text(TELVANE_TRANSLATE_NOOP("telvane::TTrayIcon", "検出不可"));
    }
    return tip;
}

void TService::ShowTray() {
    FrontEnd_.ShowTray(TrayTip(), AdapterUp_);
}

// ---- Who called ----

const std::string& TService::CallerNumber() const {
    return Following() ? Follower_->Caller() : Monitor_->GetCallerNumber();
}

TCallerDescription TService::Describe(const std::string& callerText) const {
    return DescribeCaller(*Directory_, callerText);
}

void TService::ShowWhatIsOnShow() {
    const std::string& number = CallerNumber();
    // While the label shows "?" or a missing port, the caller is not on show.
    if (number.empty() || NumberCaption_ != number) {
        FrontEnd_.ShowGlance({}, {});
        return;
    }
    const TCallerDescription caller = DescribeShown(number);
    FrontEnd_.ShowGlance(caller.Glance(), caller.Details());
}

std::filesystem::path TService::PhonebookPath() const {
    return Settings_.Phonebook.empty() ? Places_.OwnPhonebook
                                       : std::filesystem::u8path(Settings_.Phonebook);
}

std::vector<std::filesystem::path> TService::ContactsFiles() const {
    std::vector<std::filesystem::path> files{Places_.OwnPhonebook};
    if (PhonebookPath() != Places_.OwnPhonebook) {
        files.push_back(PhonebookPath());
    }
    return files;
}

void TService::LoadContacts() {
    TDirectoryPlaces places;
    places.Region = Settings_.Region;
    places.Language = Texts_.Language();
    places.OwnFile = Places_.OwnPhonebook;
    places.UserFile = PhonebookPath();
    if (!Directory_) {
        Directory_ = std::make_unique<TCallerDirectory>(places, [this] {
            // On the directory's thread: the window's thread takes it from here.
            Post([this] { ContactsLoaded(); });
        });
    } else {
        Directory_->Load(places);
    }
    Stamps_.clear();
}

void TService::FilesChanged() {
    Directory_->Reload();
}

void TService::LookAtContactsFiles() {
    std::vector<TFileStamp> stamps;
    for (const std::filesystem::path& file : ContactsFiles()) {
        TFileStamp stamp;
        stamp.File = file;
        std::error_code error;
        stamp.Time = std::filesystem::last_write_time(file, error);
        stamp.Exists = !error;
        if (stamp.Exists) {
            stamp.Size = std::filesystem::file_size(file, error);
        }
        stamps.push_back(std::move(stamp));
    }
    if (!Stamps_.empty() && stamps != Stamps_) {
        Directory_->Reload();
    }
    Stamps_ = std::move(stamps);
}

void TService::ContactsLoaded() {
    // Said once per fault, where a desktop user looks too; the last good
    // book stays in use meanwhile.
    std::string unreadable;
    for (const TBookProblem& problem : Directory_->TakeNewProblems()) {
        const std::string text = ProblemText(problem);
        FrontEnd_.Report(text);
        unreadable += (unreadable.empty() ? "" : "\n") + text;
    }
    if (!unreadable.empty()) {
        FrontEnd_.NotifyProblem(
            Texts_.Text(TELVANE_TRANSLATE_NOOP("telvane::TWhoCalled", "電話帳を読めません")),
            unreadable);
    }
    // The skipped cards go to the log when they change.
    std::vector<std::string> skips = SkipLines(*Directory_->Snapshot());
    if (skips != ToldSkips_) {
        for (const std::string& line : skips) {
            FrontEnd_.Report(line);
        }
        ToldSkips_ = std::move(skips);
    }
    TellNumberPluginProblem();
    if (History_) {
        History_->CallersChanged();
    }
    ShowWhatIsOnShow();
    FrontEnd_.CallersChanged();
}

std::string TService::NameCaller(const std::string& callerText, const std::string& name) {
    std::error_code error;
    std::filesystem::create_directories(Places_.OwnPhonebook.parent_path(), error);
    if (error) {
        return Texts_.Text(
            TELVANE_TRANSLATE_NOOP("telvane::TWhoCalled", "フォルダ %1 を作れません"),
            Places_.OwnPhonebook.parent_path().u8string());
    }
    std::string trimmed = name;
    trimmed.erase(0, trimmed.find_first_not_of(" \t"));
    trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
    try {
        Directory_->AddName(trimmed, Utf8FromShiftJis(callerText));
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return {};
}

// ---- Settings ----

std::string TService::ChangeSettings(const TAddedSettings& settings) {
    TAddedSettings stored;
    LoadAddedSettings(Store_, stored);
    if (!SaveAddedSettings(Store_, stored, settings)) {
        return Texts_.Shown(texts::kSettingsNotSaved);
    }
    const TAddedSettings before = Settings_;
    Settings_ = settings;
    SettingsProblems_.clear();
    ApplySettings(before);
    if (before.Region != Settings_.Region || before.Phonebook != Settings_.Phonebook) {
        LoadContacts();
    }
    if (before.Follow != Settings_.Follow) {
        StartFollowing();
    }
    FrontEnd_.CallersChanged();
    return {};
}

void TService::ReloadSettings() {
    const TAddedSettings before = Settings_;
    TAddedSettings settings;
    SettingsProblems_ = LoadAddedSettings(Store_, settings);
    for (const std::string& line : SettingsProblems_) {
        FrontEnd_.Report("settings: " + line);
    }
    Settings_ = std::move(settings);
    ApplySettings(before);
    // The files may have changed as well as the settings that name them.
    LoadContacts();
    FrontEnd_.CallersChanged();
}

void TService::ApplySettings(const TAddedSettings& before) {
    KeepSecret();
    if (before.HookCommand != Settings_.HookCommand || before.MqttUrl != Settings_.MqttUrl ||
        before.MqttTopic != Settings_.MqttTopic) {
        StartOutputs();
    }
}

std::string TService::SettingsFault(const TAddedSettings& settings) const {
    const auto text = [this](const char* context, const char* source) {
        return Texts_.Text(context, source);
    };
    if (!SplitCommandLine(settings.HookCommand)) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog",
                                           "着信時のコマンドの引用符が閉じていません。"));
    }
    if (!settings.MqttUrl.empty() && !ParseMqttUrl(settings.MqttUrl)) {
        return text(TELVANE_TRANSLATE_NOOP(
            "telvane::TSettingsDialog",
            "MQTT ブローカーは mqtt://[ユーザー[:パスワード]@]ホスト[:ポート] "
            "または mqtts://... の形で入力してください。"));
    }
    if (!settings.MqttUrl.empty() && !MqttAvailable()) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog",
                                           "この Telvane は MQTT に対応していません。"));
    }
    // The same check as where the setting is read.
    switch (settings.MqttTopic.empty() ? TMqttTopicFault::None
                                       : CheckMqttTopic(MqttBaseTopic(settings.MqttTopic, {}))) {
    case TMqttTopicFault::Wildcard:
        return text(TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog",
                                           "MQTT トピックに + と # は使えません。"));
    case TMqttTopicFault::NotText:
        return text(TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog",
                                           "MQTT トピックに制御文字は使えません。"));
    case TMqttTopicFault::TooLong:
        return text(TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog",
                                           "MQTT トピックが長すぎるか、階層が多すぎます。"));
    case TMqttTopicFault::None:
        break;
    }
    if (!IsRegionCode(settings.Region)) {
        return text(TELVANE_TRANSLATE_NOOP(
            "telvane::TSettingsDialog", "地域は JP のような 2 文字の国コードで入力してください。"));
    }
    return FollowFault(settings);
}

bool TService::MqttAvailable() {
    return telvane::MqttAvailable();
}

std::vector<std::string> TService::Problems() const {
    std::vector<std::string> lines = SettingsProblems_;
    const std::string follow = Following() ? Follower_->Problem() : FollowProblem_;
    if (!follow.empty()) {
        lines.push_back(follow);
    }
    for (std::string& line : Outputs_->Problems()) {
        lines.push_back(std::move(line));
    }
    for (std::string& line : ContactsProblems()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> TService::ContactsProblems() const {
    const std::shared_ptr<const TDirectorySnapshot> snapshot = Directory_->Snapshot();
    std::vector<std::string> lines;
    if (const std::string plugin = NumberPluginProblem(); !plugin.empty()) {
        lines.push_back(plugin);
    }
    for (const TBookProblem& problem : snapshot->Problems) {
        lines.push_back(ProblemText(problem));
    }
    for (std::string& line : SkipLines(*snapshot)) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> TService::SkipLines(const TDirectorySnapshot& snapshot) const {
    // A few in detail keep the history's foot short; the count tells the rest.
    constexpr std::size_t kShownSkips = 3;
    std::vector<std::string> lines;
    for (const TBookSkips& skips : snapshot.Skips) {
        for (std::size_t i = 0; i < skips.First.size() && i < kShownSkips; ++i) {
            lines.push_back(ProblemText({skips.First[i], false}));
        }
        if (skips.Count > kShownSkips) {
            lines.push_back(skips.File + ": " +
                            Texts_.Text(TELVANE_TRANSLATE_NOOP("telvane::TWhoCalled",
                                                               "読み飛ばした連絡先は全部で %1 件"),
                                        std::to_string(skips.Count)));
        }
    }
    return lines;
}

std::string TService::ProblemText(const TBookProblem& problem) const {
    if (problem.Missing) {
        return Texts_.Text(
            TELVANE_TRANSLATE_NOOP("telvane::TWhoCalled", "%1: ファイルがありません"),
            problem.Error.File);
    }
    return problem.Error.File + ":" + std::to_string(problem.Error.Line) + ": " +
           problem.Error.What;
}

void TService::StartOutputs() {
    // The old ones finish (or end) their work before the new ones start.
    Outputs_.reset();
    TOutputSettings outputs;
    outputs.HookCommand = Settings_.HookCommand;
    outputs.HookLog = Places_.HookLog.u8string();
    if (!outputs.HookCommand.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(Places_.HookLog.parent_path(), ignored);
    }
    outputs.MqttUrl = Settings_.MqttUrl;
    outputs.MqttTopic = Settings_.MqttTopic;
    outputs.HostName = HostName();
    Outputs_ = std::make_unique<TOutputs>(
        outputs, [&frontEnd = FrontEnd_](const std::string& line) { frontEnd.Report(line); });
}

void TService::KeepSecret() {
    const auto url = ParseMqttUrl(Settings_.MqttUrl);
    const auto follow = ParseFollowUrl(Settings_.Follow);
    const bool password =
        (url && !url->Password.empty()) || (follow && !follow->Broker.Password.empty());
    std::error_code error;
    if (password && !Places_.SettingsFile.empty() &&
        std::filesystem::exists(Places_.SettingsFile, error)) {
        // A password in the settings: for the owner's eyes only.
        std::filesystem::permissions(Places_.SettingsFile,
                                     std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::replace, error);
    }
}

bool TService::AutostartEnabled() const {
    return TAutostart(ProgramFile()).Enabled();
}

std::string TService::SetAutostart(bool enabled) {
    try {
        TAutostart(ProgramFile()).SetEnabled(enabled);
    } catch (const std::exception& error) {
        return Texts_.Text(TELVANE_TRANSLATE_NOOP("telvane::TMainForm",
                                                  "ログイン時の起動を設定できません")) +
               "\n" + error.what();
    }
    return {};
}

// ---- The history ----

THistory& TService::OpenHistory() {
    if (!History_) {
        History_ = std::make_unique<THistory>(Places_.CallLog(), *Directory_,
                                              [&frontEnd = FrontEnd_](std::function<void()> task) {
                                                  frontEnd.Post(std::move(task));
                                              });
        History_->Refresh();
    }
    return *History_;
}

void TService::CloseHistory() {
    History_.reset();
}

} // namespace telvane
