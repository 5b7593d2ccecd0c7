// Starting a program directly, without a shell, with extra environment
// values and its output appended to a file.
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
    std::string OutputFile; // standard output and error, appended
};

class TChildProcess {
public:
    virtual ~TChildProcess() = default;
    // The exit status once the program ended within the time; a program
    // ended by a signal gives 128 + the signal's number.
    virtual std::optional<int> Wait(std::chrono::milliseconds timeout) = 0;
    // Ends the program and whatever it started, then reaps it.
    virtual void Kill() = 0;
};

// Nothing, with the reason in error, when the program could not be started.
std::unique_ptr<TChildProcess> SpawnProcess(const TSpawnRequest& request, std::string& error);

} // namespace telvane
