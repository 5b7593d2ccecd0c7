#include "daemon/DaemonStart.h"

#include "comm/Comm.h"
#include "daemon/StateSettingsStore.h"
#include "monitor/CallLogFolder.h"
#include "monitor/MonitorError.h"
#include "monitor/PollInterval.h"
#include "monitor/PortText.h"
#include "monitor/ShiftJisUtf8.h"
#include "store/IniSettingsStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace telvane {
namespace {

std::filesystem::path LogFolder(const TDaemonOptions& options) {
    if (!options.LogDir.empty()) {
        return std::filesystem::absolute(options.LogDir);
    }
    // systemd's StateDirectory=; several are separated by colons.
    const char* state = std::getenv("STATE_DIRECTORY");
    if (state != nullptr && state[0] == '/') {
        const std::string folders = state;
        return folders.substr(0, folders.find(':'));
    }
    return CallLogFolder(ProgramFile().parent_path());
}

std::string Quoted(const std::string& shiftJis) {
    return "\"" + Utf8FromShiftJis(shiftJis) + "\"";
}

std::string IntervalFault(const std::string& interval) {
    const auto factor = IntervalUnitFactor(interval);
    if (!factor) {
        return "Interval " + Quoted(interval) + " is no interval such as \"15秒\" or \" 5分\"";
    }
    try {
        if (PollIntervalMs(interval, *factor) == 0) {
            return "Interval " + Quoted(interval) + " would never poll";
        }
    } catch (const EMonitorError&) {
        return "Interval " + Quoted(interval) + " is no interval such as \"15秒\" or \" 5分\"";
    }
    return {};
}

} // namespace

TPlaces DaemonPlaces(const TDaemonOptions& options) {
    const std::filesystem::path logFolder = LogFolder(options);
    TPlaces places = options.Config.empty()
                         ? UserPlaces()
                         : PlacesBeside(std::filesystem::absolute(options.Config), logFolder);
    places.CallLogFolder = logFolder;
    if (!options.StateDir.empty()) {
        const std::filesystem::path state = std::filesystem::absolute(options.StateDir);
        places.HookLog = state / "hook.log";
        places.InstanceLock = state / places.SettingsFile.stem();
        places.InstanceLock += ".instance";
    }
    return places;
}

std::filesystem::path StateFile(const TDaemonOptions& options, const TPlaces& places) {
    std::filesystem::path file = std::filesystem::absolute(options.StateDir);
    file /= places.SettingsFile.stem();
    return file += ".state";
}

std::unique_ptr<ISettingsStore> DaemonStore(const TDaemonOptions& options, const TPlaces& places) {
    if (options.StateDir.empty()) {
        return std::make_unique<TIniSettingsStore>(places.SettingsFile);
    }
    return std::make_unique<TStateSettingsStore>(places.SettingsFile, StateFile(options, places));
}

std::string SettingsFileFault(const std::filesystem::path& file, bool named) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT && !named ? std::string()
                                         : file.string() + ": " + std::strerror(errno);
    }
    struct stat info {};
    char byte = 0;
    std::string fault;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        fault = file.string() + ": not a file";
    } else if (::read(fd, &byte, 1) < 0) {
        fault = file.string() + ": " + std::strerror(errno);
    }
    ::close(fd);
    return fault;
}

std::string StateFolderFault(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return folder.string() + ": " + error.message();
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return folder.string() + ": " + std::strerror(errno);
    }
    return {};
}

std::string ControlsFault(const TStoredSettings& controls, bool fixedDevice,
                          const TPlaces& places) {
    if (!fixedDevice) {
        if (controls.Port.empty()) {
            return "no device: " + places.SettingsFile.string() +
                   " sets no Port (COM1 to COM9) and no --device was given";
        }
        try {
            const std::uint8_t number = PortNumberFromText(controls.Port);
            if (ComDevicePath("COM" + std::to_string(number)).empty()) {
                return "no device: Port " + Quoted(controls.Port) + " has none (link COM" +
                       std::to_string(number) + " in " + places.PortsFolder.string() +
                       " or give --device)";
            }
        } catch (const EMonitorError&) {
            return "no device: Port " + Quoted(controls.Port) + " is no port COM1 to COM9";
        }
    }
    return IntervalFault(controls.Interval);
}

std::string DeviceText(const std::string& port, const std::string& fixedDevice) {
    if (!fixedDevice.empty()) {
        return fixedDevice;
    }
    const std::string name = "COM" + std::to_string(PortNumberFromText(port));
    return name + " (" + ComDevicePath(name) + ")";
}

bool EnglishFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            const std::string locale = value;
            return locale != "C" && locale != "POSIX" && locale.rfind("C.", 0) != 0 &&
                   locale.rfind("ja", 0) != 0;
        }
    }
    return false;
}

} // namespace telvane
