#pragma once

// A serial driver for tests: records every call with the thread that made it,
// keeps one device control block and event mask, and answers transfers and
// waits as the test scripts them.

#include "comm/CommPlatform.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// "0x" and the value in lower-case hexadecimal, as the calls are recorded.
std::string Hex(uint32_t Value);

class TRecordingCommPlatform : public TCommPlatform {
public:
    // How the next transfer goes.
    struct TTransferScript {
        enum TStart { Complete, Refused, Pending };
        TStart Start = Complete;
        int IncompleteWaits = 0;     // GetOverlappedResult says "not yet" this often
        bool WaitFails = false;      // ... and then fails instead of ending
        uint32_t Limit = UINT32_MAX; // at most this many bytes move
        uint32_t ErrorFlags = 0;     // what ClearCommError reports after a failure
    };
    // One answer of WaitCommEvent, with the queue counts that go with it.
    struct TEvent {
        uint32_t Word = 0;
        uint32_t InQueue = 0;
        uint32_t OutQueue = 0;
        bool Fails = false;
    };

    // Scripting; set before the calls they affect.
    void FailCreateEvent(int Number) {
        Locked([&] { FFailEventNumber = Number; });
    }
    void FailCreateFile() {
        Locked([&] { FFailCreateFile = true; });
    }
    void SetDriverDcb(const TCommDcb& Dcb) {
        Locked([&] { FDcb = Dcb; });
    }
    // The last count repeats.
    void SetOutQueueCounts(std::vector<uint32_t> Counts) {
        Locked([&] { FOutQueueCounts = std::move(Counts); });
    }
    void SetModemStatus(uint32_t Status) {
        Locked([&] { FModemStatus = Status; });
    }
    void ScriptWrite(const TTransferScript& Script) {
        Locked([&] { FWriteScript = Script; });
    }
    void ScriptRead(const TTransferScript& Script, const std::string& Incoming) {
        Locked([&] { FReadScript = Script, FIncoming = Incoming; });
    }
    void InjectEvent(const TEvent& Event) {
        Locked([&] { FEvents.push_back(Event); });
    }

    // Observation.
    std::vector<std::string> CallsOn(std::thread::id Thread) const { return Calls(Thread, true); }
    std::vector<std::string> CallsNotOn(std::thread::id Thread) const {
        return Calls(Thread, false);
    }
    void ForgetCalls() {
        Locked([&] { FCalls.clear(); });
    }
    TCommDcb DriverDcb() const {
        return Locked([&] { return FDcb; });
    }
    std::vector<TCommDcb> StatesSet() const {
        return Locked([&] { return FStatesSet; });
    }
    std::string Written() const {
        return Locked([&] { return FWritten; });
    }
    // Blocks until the watch thread sits in WaitCommEvent with no event left.
    void WaitUntilIdle();

    TCommHandle CreateEventA() override;
    TCommHandle CreateFileA(const std::string& Name) override;
    bool CloseHandle(TCommHandle Handle) override;
    bool SetupComm(TCommHandle Port, uint32_t InQueue, uint32_t OutQueue) override;
    bool PurgeComm(TCommHandle Port, uint32_t Flags) override;
    bool SetCommTimeouts(TCommHandle Port, const TCommTimeouts& Timeouts) override;
    bool GetCommState(TCommHandle Port, TCommDcb& Dcb) override;
    bool SetCommState(TCommHandle Port, const TCommDcb& Dcb) override;
    bool GetCommMask(TCommHandle Port, uint32_t& Mask) override;
    bool SetCommMask(TCommHandle Port, uint32_t Mask) override;
    bool WaitCommEvent(TCommHandle Port, uint32_t& EventWord) override;
    bool ClearCommError(TCommHandle Port, uint32_t& Errors, TCommStat& Stat) override;
    bool GetCommModemStatus(TCommHandle Port, uint32_t& Status) override;
    bool EscapeCommFunction(TCommHandle Port, uint32_t Function) override;
    bool ReadFile(TCommHandle Port, void* Buffer, uint32_t Count, uint32_t& Transferred,
                  TCommOverlapped& Overlapped) override;
    bool WriteFile(TCommHandle Port, const void* Buffer, uint32_t Count, uint32_t& Transferred,
                   TCommOverlapped& Overlapped) override;
    bool GetOverlappedResult(TCommHandle Port, TCommOverlapped& Overlapped, uint32_t& Transferred,
                             bool Wait) override;
    TCommLastError GetLastError() override;

    static constexpr TCommHandle FirstEvent = 10;
    static constexpr TCommHandle FirstPort = 100;

private:
    // Runs Body under the lock and wakes every waiter.
    template <typename F> auto Locked(F&& Body) const -> decltype(Body()) {
        std::lock_guard<std::mutex> lock(FLock);
        FChanged.notify_all();
        return Body();
    }
    std::vector<std::string> Calls(std::thread::id Thread, bool On) const;
    void Record(const std::string& Call);
    // Records the call; false, with the error set, unless Port is the open one.
    bool Begin(TCommHandle Port, const std::string& Call);
    // Under the lock: records the call and, on the open port, runs Body.
    template <typename F> bool On(TCommHandle Port, const std::string& Call, F&& Body) {
        std::lock_guard<std::mutex> lock(FLock);
        if (!Begin(Port, Call))
            return false;
        Body();
        return true;
    }
    bool Fail(TCommErrorKind Kind);
    bool IsOpenPort(TCommHandle Port) const { return Port == FPort && FPort >= 0; }

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::vector<std::pair<std::thread::id, std::string>> FCalls;

    int FEventsCreated = 0;
    int FFailEventNumber = 0;
    bool FFailCreateFile = false;
    TCommHandle FNextEvent = FirstEvent;
    TCommHandle FNextPort = FirstPort;
    TCommHandle FPort = CommInvalidHandle;

    TCommDcb FDcb{};
    std::vector<TCommDcb> FStatesSet;
    uint32_t FMask = 0;
    uint64_t FMaskSerial = 0;
    bool FWaiting = false;
    std::deque<TEvent> FEvents;
    uint32_t FInQueue = 0;
    std::vector<uint32_t> FOutQueueCounts;
    uint32_t FErrorFlags = 0;
    uint32_t FModemStatus = 0;

    TTransferScript FWriteScript;
    TTransferScript FReadScript;
    std::string FIncoming;
    std::string FWritten;
    // The transfer that GetOverlappedResult finishes.
    struct TPending {
        bool IsRead = false;
        void* ReadBuffer = nullptr;
        const void* WriteBuffer = nullptr;
        uint32_t Count = 0;
        int IncompleteLeft = 0;
    };
    TCommHandle FReadEvent = CommInvalidHandle;
    TPending FPendingRead;
    TPending FPendingWrite;
    uint32_t Move(TPending& Transfer, const TTransferScript& Script);
    bool Start(TPending& Transfer, const TTransferScript& Script, uint32_t& Transferred);
};
