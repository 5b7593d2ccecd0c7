#include "monitor/CallLogFolder.h"

namespace telvane {

std::filesystem::path CallLogFolder(const std::filesystem::path& programFolder) {
    if (FolderWritable(programFolder)) {
        return programFolder;
    }
    std::filesystem::path data = UserDataFolder();
    return data.empty() ? programFolder : data;
}

} // namespace telvane
