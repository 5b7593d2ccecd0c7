// One thread of its own that runs tasks in order, for work that must not hold
// up the window's thread. Tasks waiting when it is destroyed are dropped; the
// one running is finished first.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace telvane {

class TWorker {
public:
    TWorker() : Thread_([this] { Loop(); }) {}
    ~TWorker() {
        {
            std::lock_guard lock(Mutex_);
            Stopping_ = true;
            Tasks_.clear();
        }
        Wake_.notify_all();
        Thread_.join();
    }
    TWorker(const TWorker&) = delete;
    TWorker& operator=(const TWorker&) = delete;

    void Run(std::function<void()> task) {
        {
            std::lock_guard lock(Mutex_);
            Tasks_.push_back(std::move(task));
        }
        Wake_.notify_all();
    }

private:
    void Loop() {
        std::unique_lock lock(Mutex_);
        for (;;) {
            Wake_.wait(lock, [this] { return Stopping_ || !Tasks_.empty(); });
            if (Stopping_) {
                return;
            }
            std::function<void()> task = std::move(Tasks_.front());
            Tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex Mutex_;
    std::condition_variable Wake_;
    std::deque<std::function<void()>> Tasks_;
    bool Stopping_ = false;
    std::thread Thread_; // last: starts once the rest is in place
};

} // namespace telvane
