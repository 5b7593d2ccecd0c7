// POSIX writers of the call log take an exclusive flock.
#include "FileFaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace telvane::testing {

const char* const kFolderInTheWay = "directory";

THeldFile::THeldFile(const std::filesystem::path& file)
    : Handle_(::open(file.c_str(), O_RDWR | O_CLOEXEC)) {
    Held_ = Handle_ >= 0 && ::flock(static_cast<int>(Handle_), LOCK_EX) == 0;
}

THeldFile::~THeldFile() {
    if (Handle_ >= 0) {
        ::close(static_cast<int>(Handle_));
    }
}

} // namespace telvane::testing
