#include "daemon/EventLoop.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace telvane {

TEventLoop::TEventLoop() {
    WakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (WakeFd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

TEventLoop::~TEventLoop() {
    ::close(WakeFd_);
}

void TEventLoop::Post(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(Mutex_);
        Tasks_.push_back(std::move(task));
    }
    // The counter only grows, so a write never fails while the loop lives.
    const std::uint64_t one = 1;
    while (::write(WakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TEventLoop::Watch(int fd, std::function<void()> handler) {
    Watched_.emplace_back(fd, std::move(handler));
}

void TEventLoop::RunTasks() {
    std::uint64_t count = 0;
    while (::read(WakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    // Tasks posted while these run ring the eventfd again for the next round.
    std::deque<std::function<void()>> tasks;
    {
        const std::lock_guard<std::mutex> lock(Mutex_);
        tasks.swap(Tasks_);
    }
    for (auto& task : tasks) {
        if (Quitting_) {
            return;
        }
        task();
    }
}

void TEventLoop::Run() {
    Quitting_ = false;
    while (!Quitting_) {
        std::vector<pollfd> fds{{WakeFd_, POLLIN, 0}};
        for (const auto& watched : Watched_) {
            fds.push_back({watched.first, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        // Watched descriptors first: a signal to end goes before more work.
        for (std::size_t i = 1; i < fds.size() && !Quitting_; ++i) {
            if (fds[i].revents != 0) {
                Watched_[i - 1].second();
            }
        }
        if (fds[0].revents != 0 && !Quitting_) {
            RunTasks();
        }
    }
}

} // namespace telvane
