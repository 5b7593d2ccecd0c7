#include "comm/Comm.h"

#include "comm/CommInternal.h"
#include "comm/CommPlatform.h"

#include <utility>

namespace {
// The watch whose body runs on this thread, if any.
thread_local const TCommWatch* CurrentWatch = nullptr;
} // namespace

TCommWatch::TCommWatch(TComm* CommComponent, TCommHandle PortHandle,
                       std::shared_ptr<TCommPlatform> Platform)
    : FPortHandle(PortHandle), FCommComponent(CommComponent), FPlatform(std::move(Platform)) {
    // Received characters are always watched, whatever the event mask holds.
    uint32_t mask = 0;
    FPlatform->GetCommMask(FPortHandle, mask);
    FPlatform->SetCommMask(FPortHandle, mask | CommEv::Rxchar);

    // The thread starts held, so that it sees this object complete
    // (FThread included) before its body begins.
    FThread = std::thread([this] { Run(); });
    std::lock_guard<std::mutex> lock(FStateLock);
    FResumed = true;
    FStateChanged.notify_all();
}

TCommWatch::~TCommWatch() {
    // The owner joins before it destroys; this only guards against a thread
    // left running.
    if (FThread.joinable()) {
        if (IsCurrentThread())
            FThread.detach();
        else
            FThread.join();
    }
}

bool TCommWatch::Finished() const {
    std::lock_guard<std::mutex> lock(FStateLock);
    return FFinished;
}

bool TCommWatch::WaitFor(std::chrono::milliseconds Timeout) const {
    std::unique_lock<std::mutex> lock(FStateLock);
    return FStateChanged.wait_for(lock, Timeout, [this] { return FFinished; });
}

bool TCommWatch::IsCurrentThread() const {
    return CurrentWatch == this;
}

bool TCommWatch::LetGoOfCurrentThread() {
    return CurrentWatch && CurrentWatch->FReleaseOnFinish;
}

void TCommWatch::Join() {
    if (FThread.joinable())
        FThread.join();
}

void TCommWatch::ReleaseOnFinish() {
    FReleaseOnFinish = true;
    FThread.detach();
}

void TCommWatch::ChangeMask(uint32_t Mask) {
    // The serial is raised in the same step as the driver's mask, so a wait
    // that the change ends always finds it raised.
    std::lock_guard<std::mutex> lock(FMaskLock);
    ++FMaskSerial;
    FPlatform->SetCommMask(FPortHandle, Mask);
}

void TCommWatch::Run() {
    CurrentWatch = this;
    {
        std::unique_lock<std::mutex> lock(FStateLock);
        FStateChanged.wait(lock, [this] { return FResumed; });
    }

    while (!FStopRequested.load()) {
        uint64_t serial = 0;
        {
            std::lock_guard<std::mutex> lock(FMaskLock);
            serial = FMaskSerial;
        }
        uint32_t word = 0;
        // A failed wait (a handle gone, a device removed) counts as the word 0.
        if (!FPlatform->WaitCommEvent(FPortHandle, word))
            word = 0;
        if (FStopRequested.load())
            break;
        if (word == 0) {
            // The word 0 ends the opening's watch, unless the event mask was
            // changed during that wait: then wait again with the new mask.
            std::lock_guard<std::mutex> lock(FMaskLock);
            if (FMaskSerial == serial)
                break;
            continue;
        }
        Dispatch(word);
    }

    CurrentWatch = nullptr;
    const bool release = FReleaseOnFinish;
    {
        std::lock_guard<std::mutex> lock(FStateLock);
        FFinished = true;
        FStateChanged.notify_all();
    }
    if (release)
        delete this;
}

void TCommWatch::Dispatch(uint32_t EventWord) {
    // One notification per wait: received characters first, then the empty
    // output queue, then the line events. Nothing a handler raises leaves
    // this thread.
    try {
        if (EventWord & CommEv::Rxchar)
            FCommComponent->DoCommReceive();
        else if (EventWord & CommEv::Txempty)
            FCommComponent->DoCommTransmit();
        else
            FCommComponent->DoCommEvent(EventWord);
    } catch (const std::exception& error) {
        ReportCommError(error);
    } catch (...) {
        try {
            ReportCommError(ECommError("unknown exception in a serial port notification"));
        } catch (...) {
            // Not even the report could be made (no memory): drop it rather
            // than let it end the program.
        }
    }
}
