#pragma once

namespace telvane {

// Asks the window thread to hand the received bytes to the reply reader.
// Called on the port's watch thread; the window thread then calls
// TCallerMonitor::DrainReceived. One call may stand for many batches.
class IReceiveWakeup {
public:
    virtual ~IReceiveWakeup() = default;
    virtual void PostReceived() = 0;
};

} // namespace telvane
