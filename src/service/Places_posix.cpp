#include "service/Places.h"

#include "monitor/CallLogFolder.h"
#include "store/StoreFile.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace telvane {

std::filesystem::path ProgramFile() {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) {
        return std::filesystem::current_path() / "telvane";
    }
    return std::string(path, static_cast<std::size_t>(length));
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return "localhost";
    }
    return name;
}

std::filesystem::path ShowSocketFor(const std::filesystem::path& settingsFile) {
    // The user's runtime folder; without one, /tmp with the user's number.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string name = "telvane-" + SettingsHash(settingsFile);
    if (runtime != nullptr && runtime[0] == '/') {
        return std::filesystem::path(runtime) / name;
    }
    return std::filesystem::path("/tmp") / (name + "-" + std::to_string(::getuid()));
}

TPlaces UserPlaces() {
    // $XDG_CONFIG_HOME/Maruvo/Telvane.conf, as the settings always were.
    return PlacesBeside(detail::ConfigHome() / "Maruvo" / "Telvane.conf",
                        CallLogFolder(ProgramFile().parent_path()));
}

} // namespace telvane
