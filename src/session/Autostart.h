// Starting Telvane with the user's session. On Linux an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/jp.maruvo.Telvane.desktop), on Windows the
// value "Telvane" under HKCU\Software\Microsoft\Windows\CurrentVersion\Run.
// Toolkit-free; one implementation per platform.
#pragma once

#include <filesystem>
#include <string>

namespace telvane {

class TAutostart {
public:
    // program: the full path of the executable the session is to start.
    explicit TAutostart(std::filesystem::path program) : Program_(std::move(program)) {}

    bool Enabled() const;
    // Writes or removes the entry; raises std::runtime_error, with a message
    // naming the entry, when that fails. Removing a missing entry is no error.
    void SetEnabled(bool enabled);

private:
    std::filesystem::path Program_;
};

// The Exec value of a desktop entry that runs program with no arguments:
// quoted where it holds anything but plain path characters.
std::string DesktopExecValue(const std::filesystem::path& program);

} // namespace telvane
