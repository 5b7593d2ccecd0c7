// Runs the user's hook command for each call event, one at a time on a
// thread of its own, so that a slow or hanging hook never holds up polling.
#pragma once

#include "outputs/CallEvent.h"
#include "outputs/HookLog.h"
#include "outputs/Spawn.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace telvane {

// Gets one line about something that went wrong; called from any thread.
using TReport = std::function<void(const std::string& line)>;

struct THookLimits {
    std::chrono::milliseconds Timeout{30000};
    std::size_t MaxWaiting = 100;
    std::uintmax_t LogCap = 256 * 1024;
    // Output of one run past this is counted and dropped: a runaway hook
    // then pushes at most one file's worth of older runs out of the log.
    std::uintmax_t RunCap = 256 * 1024;
};

class THookRunner {
public:
    // arguments: the command as SplitCommandLine gave it (not empty). The
    // hook's output goes to logFile (see THookLog).
    THookRunner(std::vector<std::string> arguments, std::string logFile, TReport report,
                THookLimits limits = {});
    // A hook still running is ended; those waiting are dropped.
    ~THookRunner();
    THookRunner(const THookRunner&) = delete;
    THookRunner& operator=(const THookRunner&) = delete;

    // Queues a run. With MaxWaiting runs already waiting, the oldest waiting
    // one is dropped: the newest call matters most.
    void Post(const TCallEvent& event);
    // Waits until nothing is running or waiting (for tests and benchmarks).
    bool WaitIdle(std::chrono::milliseconds timeout);

    // The environment a run gets.
    static std::vector<std::pair<std::string, std::string>> Environment(const TCallEvent& event);

private:
    void Run();
    void RunOne(const TCallEvent& event);
    void Fail(const std::string& line);

    const std::vector<std::string> Arguments_;
    const std::string LogFile_;
    const TReport Report_;
    const THookLimits Limits_;
    THookLog Log_; // the hook thread's only
    std::mutex Mutex_;
    std::condition_variable Changed_;
    std::deque<TCallEvent> Waiting_;
    bool Busy_ = false;
    bool Stopping_ = false;
    bool Failed_ = false; // a failure was reported; silent until a run succeeds
    std::thread Thread_;
};

} // namespace telvane
