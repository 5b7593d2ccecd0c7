#include "RecordingCommPlatform.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

std::string Hex(uint32_t Value) {
    std::ostringstream out;
    out << "0x" << std::hex << Value;
    return out.str();
}

namespace {
thread_local TCommLastError LastError;

// "Name arg arg ...", the way the tests expect a call.
template <typename... Args> std::string Call(const char* Name, const Args&... Arguments) {
    std::ostringstream out;
    out << Name;
    ((out << ' ' << Arguments), ...);
    return out.str();
}
} // namespace

void TRecordingCommPlatform::Record(const std::string& Text) {
    FCalls.emplace_back(std::this_thread::get_id(), Text);
}

bool TRecordingCommPlatform::Begin(TCommHandle Port, const std::string& Text) {
    Record(Text);
    return IsOpenPort(Port) || Fail(TCommErrorKind::InvalidHandle);
}

bool TRecordingCommPlatform::Fail(TCommErrorKind Kind) {
    LastError = TCommLastError{Kind, 0, "scripted failure"};
    return false;
}

std::vector<std::string> TRecordingCommPlatform::Calls(std::thread::id Thread, bool On) const {
    std::lock_guard<std::mutex> lock(FLock);
    std::vector<std::string> calls;
    for (const auto& call : FCalls)
        if ((call.first == Thread) == On)
            calls.push_back(call.second);
    return calls;
}

void TRecordingCommPlatform::WaitUntilIdle() {
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FWaiting && FEvents.empty(); });
}

TCommHandle TRecordingCommPlatform::CreateEventA() {
    std::lock_guard<std::mutex> lock(FLock);
    Record("CreateEventA");
    if (++FEventsCreated == FFailEventNumber) {
        Fail(TCommErrorKind::OutOfResources);
        return CommInvalidHandle;
    }
    return FNextEvent++;
}

TCommHandle TRecordingCommPlatform::CreateFileA(const std::string& Name) {
    std::lock_guard<std::mutex> lock(FLock);
    Record(Call("CreateFileA", Name));
    if (FFailCreateFile) {
        Fail(TCommErrorKind::NotFound);
        return CommInvalidHandle;
    }
    FPort = FNextPort++;
    FMask = 0;
    return FPort;
}

bool TRecordingCommPlatform::CloseHandle(TCommHandle Handle) {
    std::lock_guard<std::mutex> lock(FLock);
    Record(Call("CloseHandle", Handle));
    if (Handle == FPort) {
        FPort = CommInvalidHandle;
        FChanged.notify_all();
    }
    return true;
}

bool TRecordingCommPlatform::SetupComm(TCommHandle Port, uint32_t InQueue, uint32_t OutQueue) {
    return On(Port, Call("SetupComm", Port, InQueue, OutQueue), [] {});
}

bool TRecordingCommPlatform::PurgeComm(TCommHandle Port, uint32_t Flags) {
    return On(Port, Call("PurgeComm", Port, Hex(Flags)), [] {});
}

bool TRecordingCommPlatform::SetCommTimeouts(TCommHandle Port, const TCommTimeouts& T) {
    return On(Port,
              Call("SetCommTimeouts", Port, T.ReadIntervalTimeout, T.ReadTotalTimeoutMultiplier,
                   T.ReadTotalTimeoutConstant, T.WriteTotalTimeoutMultiplier,
                   T.WriteTotalTimeoutConstant),
              [] {});
}

bool TRecordingCommPlatform::GetCommState(TCommHandle Port, TCommDcb& Dcb) {
    return On(Port, Call("GetCommState", Port), [&] { Dcb = FDcb; });
}

bool TRecordingCommPlatform::SetCommState(TCommHandle Port, const TCommDcb& Dcb) {
    return On(Port, Call("SetCommState", Port), [&] {
        FDcb = Dcb;
        FStatesSet.push_back(Dcb);
    });
}

bool TRecordingCommPlatform::GetCommMask(TCommHandle Port, uint32_t& Mask) {
    return On(Port, Call("GetCommMask", Port), [&] { Mask = FMask; });
}

bool TRecordingCommPlatform::SetCommMask(TCommHandle Port, uint32_t Mask) {
    return On(Port, Call("SetCommMask", Port, Hex(Mask)), [&] {
        FMask = Mask;
        ++FMaskSerial;
        FChanged.notify_all();
    });
}

bool TRecordingCommPlatform::WaitCommEvent(TCommHandle Port, uint32_t& EventWord) {
    std::unique_lock<std::mutex> lock(FLock);
    EventWord = 0;
    if (!Begin(Port, Call("WaitCommEvent", Port)))
        return false;
    if (FMask == 0)
        return true; // nothing to wait for: the word 0
    const uint64_t serial = FMaskSerial;
    FWaiting = true;
    FChanged.notify_all();
    FChanged.wait(lock,
                  [&] { return !FEvents.empty() || FMaskSerial != serial || !IsOpenPort(Port); });
    FWaiting = false;
    if (!IsOpenPort(Port))
        return Fail(TCommErrorKind::InvalidHandle);
    if (FMaskSerial != serial)
        return true; // the mask changed: the word 0
    const TEvent event = FEvents.front();
    FEvents.pop_front();
    FInQueue = event.InQueue;
    FOutQueueCounts = {event.OutQueue};
    if (event.Fails)
        return Fail(TCommErrorKind::DeviceGone);
    EventWord = event.Word;
    return true;
}

bool TRecordingCommPlatform::ClearCommError(TCommHandle Port, uint32_t& Errors, TCommStat& Stat) {
    return On(Port, Call("ClearCommError", Port), [&] {
        Errors = std::exchange(FErrorFlags, 0);
        const uint32_t outQueue = FOutQueueCounts.empty() ? 0 : FOutQueueCounts.front();
        if (FOutQueueCounts.size() > 1)
            FOutQueueCounts.erase(FOutQueueCounts.begin());
        Stat = TCommStat{0, FInQueue, outQueue};
    });
}

bool TRecordingCommPlatform::GetCommModemStatus(TCommHandle Port, uint32_t& Status) {
    return On(Port, Call("GetCommModemStatus", Port), [&] { Status = FModemStatus; });
}

bool TRecordingCommPlatform::EscapeCommFunction(TCommHandle Port, uint32_t Function) {
    return On(Port, Call("EscapeCommFunction", Port, Function), [] {});
}

uint32_t TRecordingCommPlatform::Move(TPending& Transfer, const TTransferScript& Script) {
    const uint32_t count = std::min(Transfer.Count, Script.Limit);
    if (Transfer.IsRead) {
        const uint32_t available =
            std::min<uint32_t>(count, static_cast<uint32_t>(FIncoming.size()));
        std::memcpy(Transfer.ReadBuffer, FIncoming.data(), available);
        FIncoming.erase(0, available);
        return available;
    }
    FWritten.append(static_cast<const char*>(Transfer.WriteBuffer), count);
    return count;
}

bool TRecordingCommPlatform::Start(TPending& Transfer, const TTransferScript& Script,
                                   uint32_t& Transferred) {
    switch (Script.Start) {
    case TTransferScript::Refused:
        FErrorFlags |= Script.ErrorFlags;
        return Fail(TCommErrorKind::DeviceGone);
    case TTransferScript::Pending:
        return Fail(TCommErrorKind::IoPending);
    default:
        Transferred = Move(Transfer, Script);
        return true;
    }
}

bool TRecordingCommPlatform::ReadFile(TCommHandle Port, void* Buffer, uint32_t Count,
                                      uint32_t& Transferred, TCommOverlapped& Overlapped) {
    std::lock_guard<std::mutex> lock(FLock);
    Transferred = 0;
    if (!Begin(Port, Call("ReadFile", Port, Count, Overlapped.hEvent)))
        return false;
    FReadEvent = Overlapped.hEvent;
    FPendingRead = TPending{true, Buffer, nullptr, Count, FReadScript.IncompleteWaits};
    return Start(FPendingRead, FReadScript, Transferred);
}

bool TRecordingCommPlatform::WriteFile(TCommHandle Port, const void* Buffer, uint32_t Count,
                                       uint32_t& Transferred, TCommOverlapped& Overlapped) {
    std::lock_guard<std::mutex> lock(FLock);
    Transferred = 0;
    if (!Begin(Port, Call("WriteFile", Port, Count, Overlapped.hEvent)))
        return false;
    FPendingWrite = TPending{false, nullptr, Buffer, Count, FWriteScript.IncompleteWaits};
    return Start(FPendingWrite, FWriteScript, Transferred);
}

bool TRecordingCommPlatform::GetOverlappedResult(TCommHandle Port, TCommOverlapped& Overlapped,
                                                 uint32_t& Transferred, bool Wait) {
    std::lock_guard<std::mutex> lock(FLock);
    Record(Call("GetOverlappedResult", Port, Overlapped.hEvent, Wait ? "wait" : "poll"));
    const bool isRead = Overlapped.hEvent == FReadEvent;
    TPending& transfer = isRead ? FPendingRead : FPendingWrite;
    const TTransferScript& script = isRead ? FReadScript : FWriteScript;
    Transferred = 0;
    if (transfer.IncompleteLeft > 0) {
        --transfer.IncompleteLeft;
        return Fail(TCommErrorKind::IoIncomplete);
    }
    Transferred = Move(transfer, script);
    if (!script.WaitFails)
        return true;
    FErrorFlags |= script.ErrorFlags;
    return Fail(TCommErrorKind::OperationAborted);
}

TCommLastError TRecordingCommPlatform::GetLastError() {
    return LastError;
}
