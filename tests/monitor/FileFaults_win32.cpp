// Windows writers keep each other out with the share mode: open without
// sharing, nobody else may open the file.
#include "FileFaults.h"

#include <windows.h>

namespace telvane::testing {

const char* const kFolderInTheWay = "denied";

THeldFile::THeldFile(const std::filesystem::path& file)
    : Handle_(reinterpret_cast<std::intptr_t>(CreateFileW(
          file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))) {
    Held_ = reinterpret_cast<HANDLE>(Handle_) != INVALID_HANDLE_VALUE;
}

THeldFile::~THeldFile() {
    if (Held_) {
        CloseHandle(reinterpret_cast<HANDLE>(Handle_));
    }
}

} // namespace telvane::testing
