// The caller monitor wired to a simulated clock, timer, port, adapter,
// window and settings store: a whole program on the simulated clock.
#pragma once

#include "monitor/CallerMonitor.h"
#include "monitor/ErrorReport.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/RecordingView.h"
#include "monitor/sim/SimAdapter.h"
#include "monitor/sim/SimClock.h"
#include "monitor/sim/SimScheduler.h"
#include "monitor/sim/SimTimer.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace telvane::sim {

// The program's folder, fixed: its text is the path with a trailing "/".
class TFixedLocation final : public IProgramLocation {
public:
    explicit TFixedLocation(std::filesystem::path folder) : Folder_(std::move(folder)) {}
    std::filesystem::path Folder() const override { return Folder_; }
    std::string FolderText() const override { return (Folder_ / "").string(); }

private:
    std::filesystem::path Folder_;
};

// Records what the monitor tells its call sink, one line per event:
// "call <number> <detection time> <previous poll>" or "adapter up|down".
class TRecordingCallSink final : public ICallSink {
public:
    void NewCaller(const std::string& number, const std::string& detectionTime,
                   const std::string& previousPollTime) override {
        Events.push_back("call " + number + " " + detectionTime + " " + previousPollTime);
    }
    void AdapterHealth(bool up) override { Events.push_back(up ? "adapter up" : "adapter down"); }

    std::vector<std::string> Events;
};

class TSimRig : private IReceiveWakeup {
public:
    // folder: where the call log goes. store: the settings store to use
    // instead of the in-memory one.
    explicit TSimRig(const std::filesystem::path& folder, ISettingsStore* store = nullptr,
                     std::int64_t startSeconds = TSimClock::kDefaultStart);
    ~TSimRig() override;

    // The adapter answers every query on an existing port with its listing.
    void AnswerWithListing();

    // Runs a handler as the window would: errors go to the error report.
    template <typename Handler> void Handle(Handler&& handler) {
        RunReportingErrors(View, std::forward<Handler>(handler));
    }
    // Start-up: settings loaded, first query started.
    void Start() {
        Handle([this] { Monitor->AllFormCreated(); });
    }

    // Runs until the next result phase has set its status, or time passes.
    bool RunUntilResult(std::uint64_t timeLimit = 3600 * 1000);

    TSimScheduler Scheduler;
    TSimClock Clock;
    TSimTimer Timer1;
    TSimAdapter Adapter;
    TSimPort Port;
    TRecordingView View;
    TMemorySettingsStore Settings;
    TFixedLocation Location;
    TRecordingCallSink CallSink;
    std::unique_ptr<TCallerMonitor> Monitor;
    int ResultPhases = 0;

private:
    void PostReceived() override;
};

} // namespace telvane::sim
