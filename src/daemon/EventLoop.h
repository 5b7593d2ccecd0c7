// The daemon's main thread: one poll(2) over the descriptors it watches and
// an eventfd that other threads ring when they post a task. It sleeps in
// poll until one of them is ready: no time-out, no periodic wake-up.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace telvane {

class TEventLoop {
public:
    // Raises std::system_error when the eventfd cannot be made.
    TEventLoop();
    ~TEventLoop();
    TEventLoop(const TEventLoop&) = delete;
    TEventLoop& operator=(const TEventLoop&) = delete;

    // Runs task on the loop's thread soon, in the order posted. Any thread.
    void Post(std::function<void()> task);
    // Calls handler on the loop's thread whenever fd is readable; the handler
    // must read what makes it so. Before Run.
    void Watch(int fd, std::function<void()> handler);
    // Runs until Quit, then returns; tasks still waiting are dropped.
    void Run();
    // Ends Run after the handler or task that calls it. Loop's thread.
    void Quit() { Quitting_ = true; }

private:
    void RunTasks();

    int WakeFd_ = -1;
    std::mutex Mutex_;
    std::deque<std::function<void()>> Tasks_;
    std::vector<std::pair<int, std::function<void()>>> Watched_;
    bool Quitting_ = false;
};

} // namespace telvane
