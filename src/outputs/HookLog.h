// hook.log, the output of the hook's runs. It stays bounded while a run
// writes: before a write would take it past its cap it is renamed to
// hook.log.1 (one older file kept), and a run's output past its own cap is
// counted and dropped rather than written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace telvane {

class THookLog {
public:
    THookLog(std::string path, std::uintmax_t fileCap, std::uintmax_t runCap);

    // Starts a run's part with a line of Telvane's own.
    void Begin(const std::string& line);
    // The run's output as it comes.
    void Write(std::string_view output);
    // Ends the run's part with a line saying how much output was dropped.
    void End();
    // Whether every write since Begin reached the file.
    bool Written() const { return Written_; }

private:
    void Append(std::string_view bytes);

    const std::string Path_;
    const std::uintmax_t FileCap_;
    const std::uintmax_t RunCap_;
    std::uintmax_t RunBytes_ = 0;
    bool EndsLine_ = true;
    bool Written_ = true;
};

} // namespace telvane
