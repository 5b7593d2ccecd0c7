// The serial driver on Windows: each operation of TCommPlatform is the Windows
// call of the same name, with the records passed through as they are.
//
// Two things the native calls need that TComm does not see:
// - Transfer records: every event that CreateEventA makes carries its own
//   OVERLAPPED, found again by the event handle, so the record stays at one
//   address while a transfer is pending.
// - Waits: the device is opened for overlapped I/O, and WaitCommEvent on such
//   a handle needs an OVERLAPPED of its own. Each open port gets one, and the
//   wait blocks in GetOverlappedResult, so that it still behaves like the
//   blocking wait the caller expects and SetCommMask still ends it with the
//   word 0.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "comm/Comm.h"
#include "comm/CommPlatform.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

static_assert(sizeof(DCB) == sizeof(TCommDcb), "the device control block has the driver's layout");
static_assert(sizeof(COMSTAT) == sizeof(TCommStat), "COMSTAT has the layout of TCommStat");

thread_local TCommLastError LastError;

struct TWinErrorKind {
    DWORD Error;
    TCommErrorKind Kind;
};

// The one place where Windows error numbers become our error kinds; numbers
// not here are Other.
constexpr TWinErrorKind WinErrorKinds[] = {
    {ERROR_SUCCESS, TCommErrorKind::None},
    {ERROR_IO_PENDING, TCommErrorKind::IoPending},
    {ERROR_IO_INCOMPLETE, TCommErrorKind::IoIncomplete},
    {ERROR_OPERATION_ABORTED, TCommErrorKind::OperationAborted},
    {ERROR_INVALID_HANDLE, TCommErrorKind::InvalidHandle},
    {ERROR_FILE_NOT_FOUND, TCommErrorKind::NotFound},
    {ERROR_PATH_NOT_FOUND, TCommErrorKind::NotFound},
    {ERROR_DEV_NOT_EXIST, TCommErrorKind::NotFound},
    {ERROR_SHARING_VIOLATION, TCommErrorKind::InUse},
    {ERROR_BUSY, TCommErrorKind::InUse},
    {ERROR_ACCESS_DENIED, TCommErrorKind::AccessDenied},
    {ERROR_INVALID_PARAMETER, TCommErrorKind::InvalidParameter},
    {ERROR_NOT_SUPPORTED, TCommErrorKind::NotSupported},
    {ERROR_INVALID_FUNCTION, TCommErrorKind::NotSupported},
    {ERROR_DEVICE_REMOVED, TCommErrorKind::DeviceGone},
    {ERROR_DEVICE_NOT_CONNECTED, TCommErrorKind::DeviceGone},
    {ERROR_GEN_FAILURE, TCommErrorKind::DeviceGone},
    {ERROR_BAD_COMMAND, TCommErrorKind::DeviceGone},
    {ERROR_NOT_ENOUGH_MEMORY, TCommErrorKind::OutOfResources},
    {ERROR_OUTOFMEMORY, TCommErrorKind::OutOfResources},
    {ERROR_NO_SYSTEM_RESOURCES, TCommErrorKind::OutOfResources},
};

TCommErrorKind WinErrorKind(DWORD Error) {
    for (const TWinErrorKind& entry : WinErrorKinds) {
        if (entry.Error == Error)
            return entry.Kind;
    }
    return TCommErrorKind::Other;
}

// The system's text for Error, without its line end.
std::string WinErrorMessage(DWORD Error) {
    std::string message;
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, Error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length > 0 && text) {
        message.assign(text, length);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
            message.pop_back();
    }
    if (text)
        ::LocalFree(text);
    return message;
}

TCommLastError MapWinError(DWORD Error) {
    return TCommLastError{WinErrorKind(Error), static_cast<int>(Error), WinErrorMessage(Error)};
}

// Records the calling thread's last error; always false.
bool Fail() {
    LastError = MapWinError(::GetLastError());
    return false;
}

HANDLE Native(TCommHandle Handle) {
    return reinterpret_cast<HANDLE>(Handle);
}

class TWin32CommPlatform final : public TCommPlatform {
public:
    TCommHandle CreateEventA() override;
    TCommHandle CreateFileA(const std::string& Name) override;
    bool CloseHandle(TCommHandle Handle) override;
    bool SetupComm(TCommHandle Port, uint32_t InQueue, uint32_t OutQueue) override {
        return ::SetupComm(Native(Port), InQueue, OutQueue) ? true : Fail();
    }
    bool PurgeComm(TCommHandle Port, uint32_t Flags) override {
        return ::PurgeComm(Native(Port), Flags) ? true : Fail();
    }
    bool SetCommTimeouts(TCommHandle Port, const TCommTimeouts& Timeouts) override;
    bool GetCommState(TCommHandle Port, TCommDcb& Dcb) override;
    bool SetCommState(TCommHandle Port, const TCommDcb& Dcb) override;
    bool GetCommMask(TCommHandle Port, uint32_t& Mask) override;
    bool SetCommMask(TCommHandle Port, uint32_t Mask) override {
        return ::SetCommMask(Native(Port), Mask) ? true : Fail();
    }
    bool WaitCommEvent(TCommHandle Port, uint32_t& EventWord) override;
    bool ClearCommError(TCommHandle Port, uint32_t& Errors, TCommStat& Stat) override;
    bool GetCommModemStatus(TCommHandle Port, uint32_t& Status) override;
    bool EscapeCommFunction(TCommHandle Port, uint32_t Function) override {
        return ::EscapeCommFunction(Native(Port), Function) ? true : Fail();
    }
    bool ReadFile(TCommHandle Port, void* Buffer, uint32_t Count, uint32_t& Transferred,
                  TCommOverlapped& Overlapped) override;
    bool WriteFile(TCommHandle Port, const void* Buffer, uint32_t Count, uint32_t& Transferred,
                   TCommOverlapped& Overlapped) override;
    bool GetOverlappedResult(TCommHandle Port, TCommOverlapped& Overlapped, uint32_t& Transferred,
                             bool Wait) override;
    TCommLastError GetLastError() override { return LastError; }

private:
    struct TRecord {
        OVERLAPPED Overlapped;
    };
    // The OVERLAPPED of a transfer record, set up for a new transfer.
    OVERLAPPED* Prepare(const TCommOverlapped& Overlapped);
    // The OVERLAPPED that waits on this port use.
    OVERLAPPED* WaitRecord(TCommHandle Port);

    std::mutex FLock;
    std::map<TCommHandle, std::unique_ptr<TRecord>> FTransferRecords; // by event
    std::map<TCommHandle, std::unique_ptr<TRecord>> FWaitRecords;     // by port
};

TCommHandle TWin32CommPlatform::CreateEventA() {
    const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        Fail();
        return CommInvalidHandle;
    }
    auto record = std::make_unique<TRecord>();
    std::memset(&record->Overlapped, 0, sizeof(OVERLAPPED));
    record->Overlapped.hEvent = event;
    const auto handle = reinterpret_cast<TCommHandle>(event);
    std::lock_guard<std::mutex> lock(FLock);
    FTransferRecords[handle] = std::move(record);
    return handle;
}

TCommHandle TWin32CommPlatform::CreateFileA(const std::string& Name) {
    // The device namespace prefix lets ports above COM9 open too.
    const std::string path = "\\\\.\\" + Name;
    const HANDLE port =
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        Fail();
        return CommInvalidHandle;
    }
    const HANDLE waitEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!waitEvent) {
        Fail();
        ::CloseHandle(port);
        return CommInvalidHandle;
    }
    auto record = std::make_unique<TRecord>();
    std::memset(&record->Overlapped, 0, sizeof(OVERLAPPED));
    record->Overlapped.hEvent = waitEvent;
    const auto handle = reinterpret_cast<TCommHandle>(port);
    std::lock_guard<std::mutex> lock(FLock);
    FWaitRecords[handle] = std::move(record);
    return handle;
}

bool TWin32CommPlatform::CloseHandle(TCommHandle Handle) {
    std::unique_ptr<TRecord> waitRecord;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FTransferRecords.erase(Handle);
        if (auto found = FWaitRecords.find(Handle); found != FWaitRecords.end()) {
            waitRecord = std::move(found->second);
            FWaitRecords.erase(found);
        }
    }
    const bool closed = ::CloseHandle(Native(Handle)) != 0;
    if (!closed)
        Fail();
    if (waitRecord)
        ::CloseHandle(waitRecord->Overlapped.hEvent);
    return closed;
}

bool TWin32CommPlatform::SetCommTimeouts(TCommHandle Port, const TCommTimeouts& Timeouts) {
    COMMTIMEOUTS native{};
    native.ReadIntervalTimeout = Timeouts.ReadIntervalTimeout;
    native.ReadTotalTimeoutMultiplier = Timeouts.ReadTotalTimeoutMultiplier;
    native.ReadTotalTimeoutConstant = Timeouts.ReadTotalTimeoutConstant;
    native.WriteTotalTimeoutMultiplier = Timeouts.WriteTotalTimeoutMultiplier;
    native.WriteTotalTimeoutConstant = Timeouts.WriteTotalTimeoutConstant;
    return ::SetCommTimeouts(Native(Port), &native) ? true : Fail();
}

bool TWin32CommPlatform::GetCommState(TCommHandle Port, TCommDcb& Dcb) {
    DCB native{};
    native.DCBlength = sizeof(DCB);
    if (!::GetCommState(Native(Port), &native))
        return Fail();
    std::memcpy(&Dcb, &native, sizeof(DCB));
    return true;
}

bool TWin32CommPlatform::SetCommState(TCommHandle Port, const TCommDcb& Dcb) {
    DCB native{};
    std::memcpy(&native, &Dcb, sizeof(DCB));
    return ::SetCommState(Native(Port), &native) ? true : Fail();
}

bool TWin32CommPlatform::GetCommMask(TCommHandle Port, uint32_t& Mask) {
    DWORD mask = 0;
    if (!::GetCommMask(Native(Port), &mask))
        return Fail();
    Mask = mask;
    return true;
}

OVERLAPPED* TWin32CommPlatform::WaitRecord(TCommHandle Port) {
    std::lock_guard<std::mutex> lock(FLock);
    const auto found = FWaitRecords.find(Port);
    return found == FWaitRecords.end() ? nullptr : &found->second->Overlapped;
}

bool TWin32CommPlatform::WaitCommEvent(TCommHandle Port, uint32_t& EventWord) {
    EventWord = 0;
    OVERLAPPED* overlapped = WaitRecord(Port);
    if (!overlapped) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    ::ResetEvent(overlapped->hEvent);
    DWORD word = 0;
    if (!::WaitCommEvent(Native(Port), &word, overlapped)) {
        if (::GetLastError() != ERROR_IO_PENDING)
            return Fail();
        DWORD unused = 0;
        if (!::GetOverlappedResult(Native(Port), overlapped, &unused, TRUE))
            return Fail();
    }
    EventWord = word;
    return true;
}

bool TWin32CommPlatform::ClearCommError(TCommHandle Port, uint32_t& Errors, TCommStat& Stat) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(Native(Port), &errors, &stat))
        return Fail();
    Errors = errors;
    std::memcpy(&Stat, &stat, sizeof(COMSTAT));
    return true;
}

bool TWin32CommPlatform::GetCommModemStatus(TCommHandle Port, uint32_t& Status) {
    DWORD status = 0;
    const bool ok = ::GetCommModemStatus(Native(Port), &status) != 0;
    Status = status;
    return ok ? true : Fail();
}

OVERLAPPED* TWin32CommPlatform::Prepare(const TCommOverlapped& Overlapped) {
    std::lock_guard<std::mutex> lock(FLock);
    const auto found = FTransferRecords.find(Overlapped.hEvent);
    if (found == FTransferRecords.end())
        return nullptr;
    OVERLAPPED* native = &found->second->Overlapped;
    native->Offset = Overlapped.Offset;
    native->OffsetHigh = Overlapped.OffsetHigh;
    return native;
}

bool TWin32CommPlatform::ReadFile(TCommHandle Port, void* Buffer, uint32_t Count,
                                  uint32_t& Transferred, TCommOverlapped& Overlapped) {
    Transferred = 0;
    OVERLAPPED* native = Prepare(Overlapped);
    if (!native) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return Fail();
    }
    DWORD done = 0;
    const bool ok = ::ReadFile(Native(Port), Buffer, Count, &done, native) != 0;
    Transferred = done;
    return ok ? true : Fail();
}

bool TWin32CommPlatform::WriteFile(TCommHandle Port, const void* Buffer, uint32_t Count,
                                   uint32_t& Transferred, TCommOverlapped& Overlapped) {
    Transferred = 0;
    OVERLAPPED* native = Prepare(Overlapped);
    if (!native) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return Fail();
    }
    DWORD done = 0;
    const bool ok = ::WriteFile(Native(Port), Buffer, Count, &done, native) != 0;
    Transferred = done;
    return ok ? true : Fail();
}

bool TWin32CommPlatform::GetOverlappedResult(TCommHandle Port, TCommOverlapped& Overlapped,
                                             uint32_t& Transferred, bool Wait) {
    OVERLAPPED* native = nullptr;
    {
        std::lock_guard<std::mutex> lock(FLock);
        const auto found = FTransferRecords.find(Overlapped.hEvent);
        if (found != FTransferRecords.end())
            native = &found->second->Overlapped;
    }
    if (!native) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return Fail();
    }
    DWORD done = 0;
    const bool ok = ::GetOverlappedResult(Native(Port), native, &done, Wait ? TRUE : FALSE) != 0;
    Transferred = done;
    return ok ? true : Fail();
}

} // namespace

void SetComPortsFolder(std::string /*Folder*/) {}

void SetComDevice(std::string /*Device*/) {}

std::string ComDevicePath(const std::string& Name) {
    return Name;
}

std::shared_ptr<TCommPlatform> CommNativePlatform() {
    static const std::shared_ptr<TCommPlatform> platform = std::make_shared<TWin32CommPlatform>();
    return platform;
}
