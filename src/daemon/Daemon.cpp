#include "daemon/Daemon.h"

#include "daemon/DaemonFrontEnd.h"
#include "daemon/DaemonStart.h"
#include "daemon/EventLoop.h"
#include "daemon/LoopTimer.h"
#include "daemon/SignalWatch.h"
#include "monitor/ShiftJisUtf8.h"
#include "service/InstanceLock.h"
#include "service/Service.h"

#include "comm/Comm.h"

#include <csignal>
#include <cstdio>
#include <cstring>

namespace telvane {
namespace {

class TDaemon {
public:
    TDaemon(const TDaemonOptions& options, const TPlaces& places,
            std::unique_ptr<ISettingsStore> store, TSignalWatch& signals);
    // Monitors until a signal ends it; the exit status.
    int Run();

private:
    void OnSignal(int number);
    void End(int number);
    // Reads the settings file again, and the contacts; the monitor goes on.
    void Reload();
    std::string Watching() const;

    const TDaemonOptions Options_;
    const TPlaces Places_;
    std::unique_ptr<ISettingsStore> Store_;
    TEventLoop Loop_;
    TDaemonFrontEnd FrontEnd_{Loop_};
    TLoopTimer Timer_{Loop_, [this] { Service_->Tick(); }};
    // Last: gone before what it uses.
    std::unique_ptr<TService> Service_;
    bool Ending_ = false;
    bool Saved_ = false;
};

TDaemon::TDaemon(const TDaemonOptions& options, const TPlaces& places,
                 std::unique_ptr<ISettingsStore> store, TSignalWatch& signals)
    : Options_(options), Places_(places), Store_(std::move(store)) {
    TServiceOptions service;
    service.Places = Places_;
    service.English = EnglishFromEnvironment();
    service.Device = Options_.Device;
    Service_ = std::make_unique<TService>(FrontEnd_, Timer_, *Store_, service);
    signals.Attach(Loop_, [this](int number) { OnSignal(number); });
}

std::string TDaemon::Watching() const {
    std::string text = "watching " +
                       DeviceText(ShiftJisFromUtf8(FrontEnd_.PortText()), Options_.Device) +
                       " every " + FrontEnd_.IntervalText();
    if (FrontEnd_.LogRingChecked()) {
        return text + ", call log " + Places_.CallLog().string();
    }
    return text + ", no call log (LogRing is off)";
}

int TDaemon::Run() {
    Service_->Start();
    std::string settings = "settings " + Places_.SettingsFile.string();
    if (!Options_.StateDir.empty()) {
        settings += ", what it saves in " + StateFile(Options_, Places_).string();
    }
    ReportLine(Watching() + "; " + settings);
    Loop_.Run();
    Service_.reset();
    return Saved_ ? 0 : kDaemonSaveFailed;
}

void TDaemon::OnSignal(int number) {
    if (Ending_) {
        return;
    }
    if (number == SIGHUP) {
        Reload();
    } else {
        End(number);
    }
}

void TDaemon::End(int number) {
    Ending_ = true;
    // A failure is said by the service, as a line; never a box.
    Saved_ = Service_->Close(true);
    const char* name = ::sigabbrev_np(number);
    ReportLine(std::string("SIG") + (name != nullptr ? name : "?") +
               (Saved_ ? ": saved, ending" : ": ending without the last listing saved"));
    Loop_.Quit();
}

void TDaemon::Reload() {
    const std::string fault = SettingsFileFault(Places_.SettingsFile, !Options_.Config.empty());
    if (!fault.empty()) {
        ReportLine("SIGHUP: " + fault + "; the settings in use stay");
        return;
    }
    TStoredSettings controls;
    controls.Port = ShiftJisFromUtf8(FrontEnd_.PortText());
    controls.Interval = ShiftJisFromUtf8(FrontEnd_.IntervalText());
    controls.LogRing = FrontEnd_.LogRingChecked();
    const TStoredSettings before = controls;
    // Only the controls are taken: the listing the monitor holds is newer.
    LoadSettings(*Store_, controls);
    const std::string unusable = ControlsFault(controls, !Options_.Device.empty(), Places_);
    const bool changed =
        unusable.empty() && (controls.Port != before.Port || controls.Interval != before.Interval);
    if (unusable.empty()) {
        FrontEnd_.SetPortText(Utf8FromShiftJis(controls.Port));
        FrontEnd_.SetIntervalText(Utf8FromShiftJis(controls.Interval));
    } else {
        ReportLine("SIGHUP: " + unusable + "; Port and Interval stay as they were");
    }
    FrontEnd_.SetLogRingChecked(controls.LogRing);
    Service_->ReloadSettings();
    ReportLine("SIGHUP: settings and contacts read again; " + Watching());
    if (changed) {
        // As a changed selector in the window: the new port or interval now.
        Service_->CheckNow();
    }
}

} // namespace

int RunDaemon(const std::vector<std::string>& arguments, TSignalWatch& signals) {
    const TParsedOptions parsed = ParseDaemonOptions(arguments);
    if (!parsed.Fault.empty()) {
        ReportLine(parsed.Fault + " (telvaned --help lists the options)");
        return kDaemonBadStart;
    }
    const TDaemonOptions& options = parsed.Options;
    if (options.Help) {
        std::fputs(kDaemonUsage, stdout);
        return 0;
    }
    const TPlaces places = DaemonPlaces(options);
    std::string fault = SettingsFileFault(places.SettingsFile, !options.Config.empty());
    if (fault.empty() && !options.StateDir.empty()) {
        fault = StateFolderFault(options.StateDir);
    }
    std::unique_ptr<ISettingsStore> store = DaemonStore(options, places);
    if (fault.empty()) {
        SetComPortsFolder(places.PortsFolder.string());
        TStoredSettings controls;
        controls.Interval = ShiftJisFromUtf8(kDefaultInterval);
        LoadSettings(*store, controls);
        fault = ControlsFault(controls, !options.Device.empty(), places);
    }
    if (!fault.empty()) {
        ReportLine(fault);
        return kDaemonBadStart;
    }
    std::error_code ignored;
    std::filesystem::create_directories(places.InstanceLock.parent_path(), ignored);
    const TInstanceLock lock(places.InstanceLock.string());
    if (lock.HeldElsewhere()) {
        ReportLine("Telvane is already running with the settings " + places.SettingsFile.string() +
                   " (" + places.InstanceLock.string() + " is locked)");
        return kDaemonBadStart;
    }
    if (!lock.Error().empty()) {
        ReportLine("cannot guard against a second start (" + lock.Error() + ")");
    }
    TDaemon daemon(options, places, std::move(store), signals);
    return daemon.Run();
}

} // namespace telvane
