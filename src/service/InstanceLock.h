// A lock on a file that the operating system lets go of when its holder
// ends, however it ends (a crash or SIGKILL included), so no stale lock can
// keep a later start out.
#pragma once

#include <string>

namespace telvane {

class TInstanceLock {
public:
    // Creates the file if needed and tries to take the lock without waiting.
    explicit TInstanceLock(const std::string& file);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // This process holds the lock.
    bool Held() const { return Held_; }
    // Another process holds it. False when the file could not be used at all.
    bool HeldElsewhere() const { return HeldElsewhere_; }
    // Why the file could not be used; empty when it could.
    const std::string& Error() const { return Error_; }

private:
    int Fd_ = -1;
    bool Held_ = false;
    bool HeldElsewhere_ = false;
    std::string Error_;
};

} // namespace telvane
