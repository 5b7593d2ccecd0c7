// XDG autostart: a desktop entry in $XDG_CONFIG_HOME/autostart that the
// session starts at login.
#include "session/Autostart.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace telvane {
namespace {

std::filesystem::path EntryFile() {
    std::filesystem::path config;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        config = configHome;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        config = std::filesystem::path(home) / ".config";
    } else {
        throw std::runtime_error("Neither XDG_CONFIG_HOME nor HOME names a folder");
    }
    return config / "autostart" / "jp.maruvo.Telvane.desktop";
}

[[noreturn]] void Fail(const std::filesystem::path& file, const std::error_code& error) {
    throw std::runtime_error(file.string() + ": " + error.message());
}

} // namespace

std::string DesktopExecValue(const std::filesystem::path& program) {
    const std::string path = program.string();
    if (path.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                               "0123456789/._+-") == std::string::npos) {
        return path;
    }
    // Inside double quotes ", `, $ and \ take a backslash; then the value's
    // own escapes double every backslash, and % is doubled for field codes.
    std::string value = "\"";
    for (const char c : path) {
        if (c == '\n' || c == '\r' || c == '\t') {
            throw std::runtime_error("The program's path cannot be written in a desktop entry");
        }
        if (c == '"' || c == '`' || c == '$') {
            value += "\\\\";
        } else if (c == '\\') {
            value += "\\\\\\";
        } else if (c == '%') {
            value += '%';
        }
        value += c;
    }
    return value + "\"";
}

bool TAutostart::Enabled() const {
    try {
        std::error_code ignored;
        return std::filesystem::is_regular_file(EntryFile(), ignored);
    } catch (const std::runtime_error&) {
        return false; // no folder to hold an entry: none is there
    }
}

void TAutostart::SetEnabled(bool enabled) {
    const std::filesystem::path file = EntryFile();
    std::error_code error;
    if (!enabled) {
        std::filesystem::remove(file, error);
        if (error) {
            Fail(file, error);
        }
        return;
    }
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        Fail(file, error);
    }
    // Written beside and renamed over, so a session never sees half an entry.
    const std::filesystem::path part = file.string() + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Telvane\n"
               "Exec="
            << DesktopExecValue(Program_)
            << "\n"
               "Icon=jp.maruvo.Telvane\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n";
        out.close();
        if (out.fail()) {
            std::filesystem::remove(part, error);
            Fail(file, std::make_error_code(std::errc::io_error));
        }
    }
    std::filesystem::rename(part, file, error);
    if (error) {
        Fail(file, error);
    }
}

} // namespace telvane
