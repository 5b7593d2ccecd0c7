#include "service/ShowChannel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace telvane {
namespace {

bool AddressOf(const std::filesystem::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

TShowChannel::~TShowChannel() {
    if (Fd_ >= 0) {
        ::close(Fd_);
        ::unlink(Socket_.c_str());
    }
}

int TShowChannel::Listen() {
    sockaddr_un address{};
    if (!AddressOf(Socket_, address)) {
        return -1;
    }
    Fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (Fd_ < 0) {
        return -1;
    }
    // Holding the lock, a socket of that name is a leftover.
    ::unlink(Socket_.c_str());
    // For the user alone.
    const mode_t mask = ::umask(0077);
    const bool bound =
        ::bind(Fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(Fd_, 4) != 0) {
        ::close(Fd_);
        Fd_ = -1;
    }
    return Fd_;
}

bool TShowChannel::TakeRequests() {
    bool asked = false;
    for (;;) {
        const int peer = ::accept4(Fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) {
            if (errno == EINTR) {
                continue;
            }
            return asked;
        }
        ::close(peer);
        asked = true;
    }
}

bool TShowChannel::Ask() const {
    sockaddr_un address{};
    if (!AddressOf(Socket_, address)) {
        return false;
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        const bool reached =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (reached) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace telvane
