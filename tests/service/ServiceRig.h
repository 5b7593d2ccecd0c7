// The service on the simulated clock, adapter and port, with a front end
// that records what it is told: a whole program, fast and the same every
// run, on any platform. Work of the service's own threads (contacts, the
// history) comes back through Post and is run by Settle().
#pragma once

#include "TempFolder.h"

#include "monitor/CallerMonitor.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/SimAdapter.h"
#include "monitor/sim/SimClock.h"
#include "monitor/sim/SimTimer.h"
#include "service/Service.h"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace telvane::testing {

class TRecordingFrontEnd final : public IFrontEnd {
public:
    explicit TRecordingFrontEnd(sim::TSimScheduler& scheduler) : Scheduler_(scheduler) {}

    std::string PortText() const override { return Port; }
    void SetPortText(const std::string& text) override { Port = text; }
    std::string IntervalText() const override { return Interval; }
    void SetIntervalText(const std::string& text) override { Interval = text; }
    bool LogRingChecked() const override { return LogRing; }
    void SetLogRingChecked(bool checked) override { LogRing = checked; }
    void SetLogRingHint(const std::string& hint) override { Hint = hint; }
    void SetNumberCaption(const std::string& text) override {
        Number = text;
        ++Results;
    }
    void SetTimeCaption(const std::string& text) override { Time = text; }
    void SetStatusCaption(const std::string& text) override { Status = text; }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void ShowNotice(const std::string& text) override { Notices.push_back(text); }
    void Report(const std::string& line) override {
        std::lock_guard lock(Mutex_);
        Reports.push_back(line);
    }
    void MinimizeApplication() override { Minimized = true; }
    void RestoreApplication() override { Minimized = false; }
    void Post(std::function<void()> task) override {
        if (std::this_thread::get_id() == Window_) {
            // The window thread's next event.
            Scheduler_.PostAt(Scheduler_.Now(), std::move(task));
            return;
        }
        std::lock_guard lock(Mutex_);
        Posted_.push_back(std::move(task));
    }
    void ShowGlance(const std::string& glance, const std::string& details) override {
        Glance = glance;
        Details = details;
    }
    void ShowCall(const TCallShown& call) override { Calls.push_back(call); }
    void ShowTray(const std::string& tooltip, bool adapterUp) override {
        Tray = tooltip;
        AdapterUp = adapterUp;
    }
    void CallersChanged() override { ++CallersChangedCount; }
    void SetFollowing(bool following) override { Following = following; }
    void NotifyProblem(const std::string& title, const std::string& body) override {
        Alerts.push_back(title + "\n" + body);
    }

    // Runs what other threads posted until done() holds, for up to 20 s.
    bool Settle(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < end) {
            std::deque<std::function<void()>> tasks;
            {
                std::lock_guard lock(Mutex_);
                tasks.swap(Posted_);
            }
            for (auto& task : tasks) {
                task();
            }
            Scheduler_.RunFor(0);
            if (tasks.empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return done();
    }
    std::vector<std::string> TakeReports() {
        std::lock_guard lock(Mutex_);
        return std::exchange(Reports, {});
    }

    std::string Port = "COM1", Interval = " 5\xE5\x88\x86"; // " 5分"
    bool LogRing = true;
    std::string Hint, Number, Time, Status, Glance, Details, Tray;
    bool AdapterUp = true, Minimized = false, Following = false;
    int Results = 0, CallersChangedCount = 0;
    std::vector<std::string> Messages, Errors, Notices, Alerts;
    std::vector<TCallShown> Calls;

private:
    sim::TSimScheduler& Scheduler_;
    const std::thread::id Window_ = std::this_thread::get_id();
    std::mutex Mutex_;
    std::vector<std::string> Reports;
    std::deque<std::function<void()>> Posted_;
};

// The service over the simulation, its files in a temporary folder.
struct TServiceRig {
    explicit TServiceRig(bool english = false)
        : Clock(Scheduler, sim::TSimClock::kDefaultStart),
          Timer(Scheduler, [this] { Service->Tick(); }), Port(Scheduler), FrontEnd(Scheduler) {
        Port.Responder = [this](std::uint8_t) {
            sim::TSimReply reply;
            reply.Bytes = Adapter.Listing();
            return Silent ? std::nullopt : std::optional<sim::TSimReply>(reply);
        };
        Options.Places = PlacesBeside(Folder.Path() / "Telvane.conf", Folder.Path());
        Options.English = english;
        Options.Port = &Port;
        Options.Clock = &Clock;
    }
    ~TServiceRig() {
        Port.OnReceive = nullptr;
        Port.Close();
    }
    // Made once the test has set the options and the store up.
    TService& Start() {
        Service = std::make_unique<TService>(FrontEnd, Timer, Store, Options);
        Port.OnReceive = [this](std::uint16_t size) { Service->Monitor().Comm1CommReceive(size); };
        Service->Start();
        return *Service;
    }
    // Runs the simulated clock until the next query's result is shown.
    bool NextResult() {
        const int before = FrontEnd.Results;
        return Scheduler.RunUntilTrue([&] { return FrontEnd.Results > before; }, 3600 * 1000);
    }
    // A call from number, shown by the next result.
    bool Call(const std::string& number) {
        Adapter.Ring(number);
        Service->CheckNow();
        return NextResult();
    }

    TTempFolder Folder;
    sim::TSimScheduler Scheduler;
    sim::TSimClock Clock;
    sim::TSimTimer Timer;
    sim::TSimAdapter Adapter;
    sim::TSimPort Port;
    sim::TMemorySettingsStore Store;
    TRecordingFrontEnd FrontEnd;
    TServiceOptions Options;
    bool Silent = false;
    std::unique_ptr<TService> Service;
};

} // namespace telvane::testing
