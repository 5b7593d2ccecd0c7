// Starting a program directly, without a shell, with extra environment
// values and its output read through a pipe.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvane {

struct TSpawnRequest {
    std::vector<std::string> Arguments; // the program first, looked up in PATH
    // Added to this process's environment, replacing values of the same name.
    std::vector<std::pair<std::string, std::string>> Environment;
};

class TChildProcess {
public:
    virtual ~TChildProcess() = default;
    // Waits up to timeout for output or for the end of the program; what it
    // wrote to its standard output and error meanwhile is appended to output
    // (at most one pipe's worth a call, so call again until the status comes).
    // The exit status comes once the program ended and the output it left
    // in the pipe was read; a program ended by a signal gives 128 + the
    // signal's number. What it started and left running keeps running, but
    // its output is no longer read.
    virtual std::optional<int> Wait(std::chrono::milliseconds timeout, std::string& output) = 0;
    // Ends the program and whatever it started, then reaps it.
    virtual void Kill() = 0;
};

// Nothing, with the reason in error, when the program could not be started.
std::unique_ptr<TChildProcess> SpawnProcess(const TSpawnRequest& request, std::string& error);

} // namespace telvane
