#include "monitor/ReceiveQueue.h"

namespace telvane {

bool TReceiveQueue::Push(const char* bytes, std::size_t count) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Bytes_.append(bytes, count);
    if (WakePending_) {
        return false;
    }
    WakePending_ = true;
    return true;
}

std::string TReceiveQueue::TakeAll() {
    std::string taken;
    std::lock_guard<std::mutex> lock(Mutex_);
    taken.swap(Bytes_);
    WakePending_ = false;
    return taken;
}

} // namespace telvane
