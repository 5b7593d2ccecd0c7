// Hands received bytes from the port's watch thread to the window thread.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

namespace telvane {

// A byte queue guarded by a mutex. The watch thread appends what it read;
// the window thread takes everything at once and feeds it to the reply
// reader, so the reader, the snapshots and the timer stay on one thread.
class TReceiveQueue {
public:
    // Appends bytes in arrival order. Returns true when the window thread has
    // to be woken: the first push after the queue was last emptied. Later
    // pushes ride on the same wake-up.
    bool Push(const char* bytes, std::size_t count);
    // Takes every queued byte, in order, and re-arms the wake-up.
    std::string TakeAll();

private:
    std::mutex Mutex_;
    std::string Bytes_;
    bool WakePending_ = false;
};

} // namespace telvane
