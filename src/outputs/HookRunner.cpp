#include "outputs/HookRunner.h"

#include <algorithm>

namespace telvane {

THookRunner::THookRunner(std::vector<std::string> arguments, std::string logFile, TReport report,
                         THookLimits limits)
    : Arguments_(std::move(arguments)), LogFile_(std::move(logFile)), Report_(std::move(report)),
      Limits_(limits), Log_(LogFile_, limits.LogCap, limits.RunCap), Thread_([this] { Run(); }) {}

THookRunner::~THookRunner() {
    {
        std::lock_guard lock(Mutex_);
        Stopping_ = true;
        Waiting_.clear();
    }
    Changed_.notify_all();
    Thread_.join();
}

std::vector<std::pair<std::string, std::string>> THookRunner::Environment(const TCallEvent& event) {
    return {{"TELVANE_EVENT", EventName(event.Kind)},
            {"TELVANE_NUMBER", event.Number},
            {"TELVANE_DISPLAY", event.Display},
            {"TELVANE_NAME", event.Name},
            {"TELVANE_AREA", event.Area},
            {"TELVANE_TIME", event.Time},
            {"TELVANE_PREVIOUS_POLL", event.PreviousPoll}};
}

void THookRunner::Post(const TCallEvent& event) {
    bool dropped = false;
    {
        std::lock_guard lock(Mutex_);
        if (Waiting_.size() >= Limits_.MaxWaiting) {
            Waiting_.pop_front();
            dropped = true;
        }
        Waiting_.push_back(event);
    }
    Changed_.notify_all();
    if (dropped) {
        Fail("hook command: more than " + std::to_string(Limits_.MaxWaiting) +
             " runs waiting, the oldest was dropped");
    }
}

bool THookRunner::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(Mutex_);
    return Changed_.wait_for(lock, timeout, [this] { return Waiting_.empty() && !Busy_; });
}

void THookRunner::Run() {
    std::unique_lock lock(Mutex_);
    for (;;) {
        Changed_.wait(lock, [this] { return Stopping_ || !Waiting_.empty(); });
        if (Stopping_) {
            return;
        }
        const TCallEvent event = std::move(Waiting_.front());
        Waiting_.pop_front();
        Busy_ = true;
        lock.unlock();
        RunOne(event);
        lock.lock();
        Busy_ = false;
        Changed_.notify_all();
    }
}

void THookRunner::RunOne(const TCallEvent& event) {
    Log_.Begin(std::string("--- ") + IsoNow() + " " + EventName(event.Kind));
    std::string error;
    auto child = SpawnProcess({Arguments_, Environment(event)}, error);
    if (!child) {
        Fail("hook command cannot start: " + error);
        return;
    }
    // Reads the output as it comes, so the hook never waits on a full pipe,
    // and sees between reads whether the program is closing.
    const auto deadline = std::chrono::steady_clock::now() + Limits_.Timeout;
    std::optional<int> status;
    std::string output;
    bool stopping = false;
    while (!status && !stopping) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        output.clear();
        status = child->Wait(std::min(left, std::chrono::milliseconds(500)), output);
        Log_.Write(output);
        std::lock_guard lock(Mutex_);
        stopping = Stopping_;
    }
    if (!status) {
        child->Kill();
    }
    Log_.End();
    if (!status && stopping) {
        return;
    }
    if (!status) {
        Fail("hook command ran longer than " + std::to_string(Limits_.Timeout.count() / 1000) +
             " s and was ended; its output is in " + LogFile_);
    } else if (*status != 0) {
        Fail("hook command ended with status " + std::to_string(*status) + "; its output is in " +
             LogFile_);
    } else if (!Log_.Written()) {
        Fail("hook command's output cannot be written to " + LogFile_);
    } else {
        std::lock_guard lock(Mutex_);
        Failed_ = false;
    }
}

void THookRunner::Fail(const std::string& line) {
    {
        std::lock_guard lock(Mutex_);
        if (Failed_) {
            return;
        }
        Failed_ = true;
    }
    if (Report_) {
        Report_(line);
    }
}

} // namespace telvane
