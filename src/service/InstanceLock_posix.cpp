// flock() on an open descriptor: the kernel drops the lock with the last
// descriptor, that is when the process ends, by whatever means.
#include "service/InstanceLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace telvane {

TInstanceLock::TInstanceLock(const std::string& file) {
    do {
        Fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (Fd_ < 0 && errno == EINTR);
    if (Fd_ < 0) {
        Error_ = file + ": " + std::strerror(errno);
        return;
    }
    int result;
    do {
        result = ::flock(Fd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        Held_ = true;
    } else if (errno == EWOULDBLOCK) {
        HeldElsewhere_ = true;
    } else {
        Error_ = file + ": " + std::strerror(errno);
    }
}

TInstanceLock::~TInstanceLock() {
    if (Fd_ >= 0) {
        ::close(Fd_);
    }
}

} // namespace telvane
