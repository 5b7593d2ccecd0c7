// The adapter's end of a pseudo-terminal, for tests that let the program
// open the other end as its serial port.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace telvane::faults {

using namespace std::chrono_literals;

// Long enough for a loaded machine under a sanitizer; waits end as soon as
// what they wait for has happened.
constexpr std::chrono::milliseconds kPatience = 20s;

// The adapter's end of a pseudo-terminal. The test keeps a descriptor of the
// slave side as well, to hold it locked, stop its output or hang it up.
class TPtyDevice {
public:
    TPtyDevice() {
        char name[128];
        if (::openpty(&Master_, &Slave_, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty: " << std::strerror(errno);
            return;
        }
        SlavePath_ = name;
        ::fcntl(Master_, F_SETFL, O_NONBLOCK);
        ::fcntl(Master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(Slave_, F_SETFD, FD_CLOEXEC);
        termios raw{};
        ::tcgetattr(Slave_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(Slave_, TCSANOW, &raw);
    }
    ~TPtyDevice() { Unplug(); }
    TPtyDevice(const TPtyDevice&) = delete;
    TPtyDevice& operator=(const TPtyDevice&) = delete;

    const std::string& SlavePath() const { return SlavePath_; }
    int Slave() const { return Slave_; }

    // The device goes away: the line is hung up for whoever has it open.
    void Unplug() {
        for (int* fd : {&Master_, &Slave_}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }
    // After the slave side was hung up, the test needs a fresh descriptor.
    bool ReopenSlave() {
        ::close(Slave_);
        Slave_ = ::open(SlavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        return Slave_ >= 0;
    }

    // What the program sent, once count bytes came or the patience ran out.
    std::string Read(std::size_t count, std::chrono::milliseconds patience = kPatience) {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd fd{Master_, POLLIN, 0};
            if (::poll(&fd, 1, 20) <= 0) {
                continue;
            }
            char buffer[256];
            const ssize_t n =
                ::read(Master_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n > 0) {
                bytes.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return bytes;
    }

    void Write(const std::string& bytes) {
        std::size_t done = 0;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = ::write(Master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd fd{Master_, POLLOUT, 0};
                ::poll(&fd, 1, 20);
            }
        }
        ASSERT_EQ(done, bytes.size()) << "the program stopped reading";
    }
    // Writes what fits without waiting; returns how much that was.
    std::size_t WriteSome(const std::string& bytes) {
        const ssize_t n = ::write(Master_, bytes.data(), bytes.size());
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    // Throws away whatever the program sent so far.
    void Discard() {
        char buffer[4096];
        while (::read(Master_, buffer, sizeof buffer) > 0) {
        }
    }

private:
    int Master_ = -1;
    int Slave_ = -1;
    std::string SlavePath_;
};

} // namespace telvane::faults
