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
    // One control line: its first word, the rest trimmed, and the rest as it
    // stands (a caller's text keeps its blanks).
    struct TCommandLine {
        std::string Word;
        std::string Argument;
        std::string Text;
    };
    // Runs one command; false when its argument is not understood.
    using THandler = bool (TControl::*)(const TCommandLine& command);

    // Runs one line; "wait" and "wait-commands" only note what to wait for.
    void Execute(const std::string& line);
    bool RunCaller(const TCommandLine& command);
    bool RunRing(const TCommandLine& command);
    bool RunEmpty(const TCommandLine& command);
    bool RunCalled(const TCommandLine& command);
    bool RunIdentity(const TCommandLine& command);
    bool RunReplyMode(const TCommandLine& command);
    bool RunListing(const TCommandLine& command);
    bool RunStyleSwitch(const TCommandLine& command);
    bool RunLineEnd(const TCommandLine& command);
    bool RunRingLines(const TCommandLine& command);
    bool RunByteDelay(const TCommandLine& command);
    bool RunRingEvery(const TCommandLine& command);
    bool RunWait(const TCommandLine& command);
    bool RunStatus(const TCommandLine& command);
    bool RunQuit(const TCommandLine& command);
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
