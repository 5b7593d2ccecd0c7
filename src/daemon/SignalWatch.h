// The signals that end the daemon or make it read its settings again,
// taken as readable data on a signalfd in the event loop, never in a
// handler. They are blocked in every thread for that: make this first in
// main, before any thread starts, so that each thread inherits the mask.
// The hook's programs start with no signal blocked (the supervisor clears
// the mask), so they get these signals as usual.
#pragma once

#include <functional>

namespace telvane {

class TEventLoop;

class TSignalWatch {
public:
    // Blocks SIGTERM, SIGINT, SIGQUIT and SIGHUP and ignores SIGPIPE (a
    // standard error that has gone away must not end the daemon). Raises
    // std::system_error when the signalfd cannot be made.
    TSignalWatch();
    ~TSignalWatch();
    TSignalWatch(const TSignalWatch&) = delete;
    TSignalWatch& operator=(const TSignalWatch&) = delete;

    // From now on onSignal gets each signal's number on the loop's thread.
    void Attach(TEventLoop& loop, std::function<void(int)> onSignal);

private:
    void Read();

    int Fd_ = -1;
    std::function<void(int)> OnSignal_;
};

} // namespace telvane
