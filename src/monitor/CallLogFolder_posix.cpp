#include "monitor/CallLogFolder.h"

#include <cstdlib>
#include <unistd.h>

namespace telvane {

bool FolderWritable(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::filesystem::path UserDataFolder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
    std::filesystem::path base;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        return {};
    }
    return base / "Maruvo" / "Telvane";
}

} // namespace telvane
