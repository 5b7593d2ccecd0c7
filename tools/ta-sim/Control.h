// The control language of ta-sim: one command per line, from stdin, a FIFO
// or a scenario file, telling the simulated adapter what to do next.
#pragma once

#include "PtyAdapter.h"

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>

namespace tasim {

// Runs control lines in the order they came. "wait", "wait-commands" and
// "wait-replies" hold back the lines after them until their time has come.
class TControl {
public:
    using TClock = std::chrono::steady_clock;
    using TPrint = std::function<void(const std::string& line)>;

    TControl(TPtyAdapter& adapter, TPrint print, std::uint32_t seed);

    // Queues one line; run by the next Run.
    void Add(const std::string& line);
    // Runs queued lines until one waits or none is left.
    void Run();
    // When Run should be called again at the latest (a wait or the next
    // ring), or nothing when only a new line or command can move things.
    std::optional<TClock::time_point> NextDeadline() const;
    bool QuitRequested() const { return Quit_; }

    // A made-up telephone number.
    std::string MadeUpNumber();

    static const char* Help();

private:
    // Runs one line; "wait" and "wait-commands" only note what to wait for.
    void Execute(const std::string& line);
    void RingIfDue();

    TPtyAdapter& Adapter_;
    TPrint Print_;
    std::mt19937 Random_;
    std::deque<std::string> Lines_;
    std::optional<TClock::time_point> WaitUntil_;
    int WaitCommands_ = 0;
    int WaitReplies_ = 0;
    std::chrono::milliseconds RingEvery_{0};
    TClock::time_point NextRing_{};
    bool Quit_ = false;
};

} // namespace tasim
