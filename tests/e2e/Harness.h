// What the end-to-end tests drive: the real telvane program in a folder of
// its own, and the ta-sim program playing the adapter behind COM1. Neither
// has a way to be asked what it is doing except what ta-sim prints, so the
// tests watch files: the call log, the settings file after the program ends,
// and ta-sim's event lines.
#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"

namespace e2e {

using telvane::testing::ReadFile;
using telvane::testing::TTempFolder;

using namespace std::chrono_literals;
using TDuration = std::chrono::milliseconds;

// Long enough for a loaded machine and a sanitizer build; waits end as soon
// as what they wait for is there.
constexpr TDuration kPatience = 40s;

// A program started with fork and exec. It dies with the test process.
class TChild {
public:
    struct TOptions {
        std::vector<std::string> Arguments;             // the program first
        std::map<std::string, std::string> Environment; // added to the test's own
        bool PipeStdin = false;
        bool PipeStdout = false;
        std::filesystem::path StderrFile; // empty: the test's own
    };
    explicit TChild(const TOptions& options);
    ~TChild();
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    int Pid() const { return Pid_; }
    int StdinFd() const { return Stdin_; }
    int StdoutFd() const { return Stdout_; }
    void Signal(int number) const;
    // The wait status once the program ended, nothing if it runs on.
    std::optional<int> Wait(TDuration timeout);
    bool Running();
    // CPU time the program used so far, user and system.
    TDuration CpuTime() const;

private:
    int Pid_ = -1;
    int Stdin_ = -1;
    int Stdout_ = -1;
    std::optional<int> Status_;
};

// Tells whether a program ended by itself with status 0.
std::string DescribeStatus(std::optional<int> status);
bool EndedCleanly(std::optional<int> status);

// The ta-sim program with its COM1 link in a ports folder.
class TTaSim {
public:
    TTaSim(const std::filesystem::path& configHome, const std::filesystem::path& folder,
           std::vector<std::string> options = {});
    ~TTaSim();

    // Sends a control line.
    void Send(const std::string& line);
    // Waits until an event line (without its time) satisfies the test, and
    // gives that line.
    std::optional<std::string> WaitFor(const std::function<bool(const std::string&)>& test,
                                       TDuration timeout = kPatience);
    // Waits for an event line that starts with the text.
    bool WaitForEvent(const std::string& start, TDuration timeout = kPatience);
    // Query commands that reached the adapter so far.
    int Commands() const;
    bool WaitForCommands(int count, TDuration timeout = kPatience);
    // Replies that ended (all of them sent) so far.
    int Sent() const;
    bool WaitForSent(int count, TDuration timeout = kPatience);
    std::vector<std::string> Events() const;
    TChild& Process() { return *Child_; }

private:
    void ReadEvents();

    std::unique_ptr<TChild> Child_;
    mutable std::mutex Mutex_;
    std::condition_variable Changed_;
    std::vector<std::string> Events_;
    int Commands_ = 0;
    int Sent_ = 0;
    std::thread Reader_;
};

// The telvane program, copied into a folder of its own so that its call log
// lands there, with a private settings folder.
class TTelvane {
public:
    TTelvane(const std::filesystem::path& configHome, const std::filesystem::path& folder);

    // Adds a variable to the environment of the next Start.
    void SetEnvironment(const std::string& name, const std::string& value) {
        Environment_[name] = value;
    }
    void Start();
    // Waits until the program can take termination signals; from then on a
    // signal makes it save its settings.
    bool WaitUntilReady(TDuration timeout = kPatience);
    // Sends the signal and waits for the end; the wait status.
    std::optional<int> Stop(int signalNumber);
    TChild& Process() { return *Child_; }

    const std::filesystem::path& CallLog() const { return CallLog_; }
    const std::filesystem::path& SettingsFile() const { return Settings_; }
    std::string Stderr() const;

private:
    std::filesystem::path ConfigHome_;
    std::filesystem::path Folder_;
    std::filesystem::path Program_;
    std::filesystem::path CallLog_;
    std::filesystem::path Settings_;
    std::map<std::string, std::string> Environment_;
    std::unique_ptr<TChild> Child_;
};

// The settings as stored: values by name, decoded to UTF-8.
using TSettings = std::map<std::string, std::string>;

// Writes a settings file the way the program's settings store reads it:
// section [1.0], texts quoted. Flags are given as their integer text.
void WriteSettings(const std::filesystem::path& file, const TSettings& values);
// Reads the section [1.0] of a settings file; nothing if there is none.
std::optional<TSettings> ReadSettings(const std::filesystem::path& file);

// The lines of the call log, each with its CR LF; a last line without
// one comes as it is.
std::vector<std::string> LogLines(const std::filesystem::path& file);
// Waits until the call log holds at least count lines.
bool WaitForLogLines(const std::filesystem::path& file, std::size_t count,
                     TDuration timeout = kPatience);
// The comma-separated fields of a log line without its line end.
std::vector<std::string> Fields(std::string line);
// How often a part occurs in a text.
std::size_t Count(const std::string& text, const std::string& part);
// A local date and time in the program's form "yyyy/mm/dd hh:nn:ss".
bool IsTimeText(const std::string& text);

// Fixed texts of the program, as the bytes it writes.
namespace sjis {
// 番号情報なし: no number information.
inline const std::string kNoNumber = "\x94\xd4\x8d\x86\x8f\xee\x95\xf1\x82\xc8\x82\xb5";
} // namespace sjis

} // namespace e2e
