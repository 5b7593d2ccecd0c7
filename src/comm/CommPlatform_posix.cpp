// The serial driver on POSIX systems: the operations of TCommPlatform made of
// termios, ioctl and poll.
//
// Devices. "COMn" is the symbolic link COMn in $XDG_CONFIG_HOME/Maruvo/
// Telvane/ports (default ~/.config/...) when it exists, otherwise /dev/ttyS<n-1>;
// COM0 has no default device. A fixed device (SetComDevice) stands for every
// name. The device is opened non-blocking, held with
// flock (which binds root too) and TIOCEXCL, and put into raw mode; its
// original settings come back when it is closed.
//
// Input queue. Like a Windows driver, the backend keeps its own input queue of
// the size asked for by SetupComm and moves the kernel's bytes into it
// whenever it looks at the device. Received-character events are therefore
// reported for bytes that are new to the queue, never again for bytes a reader
// left behind, and a full queue simply stops reading, so that the kernel's
// buffer and with it the line's flow control hold the sender off.
//
// Waiting. WaitCommEvent sleeps in poll on the device and a wake-up pipe.
// SetCommMask and CloseHandle write to the pipe to end a pending wait at once.
// Events that poll cannot see (an empty output queue, modem line changes, line
// errors and breaks) are sampled with a poll time-out, and only while the
// event mask asks for them and the device supports them; with the default
// mask a wait sleeps until bytes arrive. A hang-up ends the wait with an
// error instead of waking it for ever.
//
// Transfers. ReadFile and WriteFile do what they can without blocking and
// leave the rest to GetOverlappedResult, which waits in poll with the
// time-outs of SetCommTimeouts. The event of the transfer record is a pipe:
// PurgeComm and CloseHandle signal it to abort the transfer.

#include "comm/Comm.h"
#include "comm/CommPlatform.h"
#include "comm/CommPosixExtras.h"
#include "comm/CommTermios.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

constexpr uint32_t DefaultQueueSize = 4096;
constexpr uint32_t SmallestQueueSize = 16;
// How often a wait looks at what poll cannot report.
constexpr int TxEmptySampleMs = 5;
constexpr int LineSampleMs = 20;

constexpr uint32_t ModemEvents = CommEv::Cts | CommEv::Dsr | CommEv::Rlsd | CommEv::Ring;
constexpr uint32_t LineErrorEvents = CommEv::Err | CommEv::Break;

// ---------------------------------------------------------------------------
// Errors

thread_local TCommLastError LastError;

// The one place where errno values become our error kinds.
TCommLastError MapErrno(int Error) {
    TCommErrorKind kind = TCommErrorKind::Other;
    switch (Error) {
    case 0:
        kind = TCommErrorKind::None;
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ELOOP:
        kind = TCommErrorKind::NotFound;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        kind = TCommErrorKind::InUse;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        kind = TCommErrorKind::AccessDenied;
        break;
    case EBADF:
        kind = TCommErrorKind::InvalidHandle;
        break;
    case EINVAL:
    case ERANGE:
        kind = TCommErrorKind::InvalidParameter;
        break;
    case ENOTTY:
    case ENOSYS:
    case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
    case EOPNOTSUPP:
#endif
        kind = TCommErrorKind::NotSupported;
        break;
    case EIO:
    case EPIPE:
    case ENOLINK:
        kind = TCommErrorKind::DeviceGone;
        break;
    case ECANCELED:
        kind = TCommErrorKind::OperationAborted;
        break;
    case ENOMEM:
    case EMFILE:
    case ENFILE:
    case ENOSPC:
        kind = TCommErrorKind::OutOfResources;
        break;
    default:
        break;
    }
    return TCommLastError{kind, Error, std::generic_category().message(Error)};
}

bool FailErrno(int Error) {
    LastError = MapErrno(Error);
    return false;
}

bool FailWith(TCommErrorKind Kind, const char* Message) {
    LastError = TCommLastError{Kind, 0, Message};
    return false;
}

bool IsUnsupported(int Error) {
    return MapErrno(Error).Kind == TCommErrorKind::NotSupported || Error == EINVAL;
}

template <typename Call> auto RetryOnInterrupt(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// ---------------------------------------------------------------------------
// A pipe that poll can wait on: the wake-up of a port and the event of a
// transfer record. Signalled while a byte sits in it.

class TSignalPipe {
public:
    TSignalPipe() = default;
    TSignalPipe(const TSignalPipe&) = delete;
    TSignalPipe& operator=(const TSignalPipe&) = delete;
    ~TSignalPipe() {
        if (FRead >= 0)
            ::close(FRead);
        if (FWrite >= 0)
            ::close(FWrite);
    }
    bool Create() {
        int fds[2];
        if (::pipe(fds) < 0)
            return false;
        FRead = fds[0];
        FWrite = fds[1];
        for (int fd : fds) {
            if (::fcntl(fd, F_SETFL, O_NONBLOCK) < 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0)
                return false;
        }
        return true;
    }
    int Fd() const { return FRead; }
    void Signal() {
        const char byte = 1;
        // A full pipe is signalled already.
        RetryOnInterrupt([&] { return ::write(FWrite, &byte, 1); });
    }
    void Reset() {
        char buffer[64];
        while (RetryOnInterrupt([&] { return ::read(FRead, buffer, sizeof buffer); }) > 0) {
        }
    }

private:
    int FRead = -1;
    int FWrite = -1;
};

// ---------------------------------------------------------------------------

class TByteQueue {
public:
    size_t Size() const { return FData.size() - FHead; }
    size_t Room() const { return FCapacity > Size() ? FCapacity - Size() : 0; }
    void SetCapacity(size_t Capacity) { FCapacity = Capacity; }
    void Append(const uint8_t* Bytes, size_t Count) {
        if (FHead > 0 && FHead >= FData.size() / 2) {
            FData.erase(FData.begin(), FData.begin() + static_cast<std::ptrdiff_t>(FHead));
            FHead = 0;
        }
        FData.insert(FData.end(), Bytes, Bytes + Count);
    }
    size_t Take(uint8_t* Out, size_t Count) {
        Count = std::min(Count, Size());
        if (Count > 0)
            std::memcpy(Out, FData.data() + FHead, Count);
        FHead += Count;
        if (FHead == FData.size())
            Clear();
        return Count;
    }
    void Clear() {
        FData.clear();
        FHead = 0;
    }

private:
    std::vector<uint8_t> FData;
    size_t FHead = 0;
    size_t FCapacity = DefaultQueueSize;
};

struct TPort;

// The transfer that a record's event stands for.
struct TTransfer {
    bool Active = false;
    bool IsRead = false;
    uint8_t* ReadBuffer = nullptr;
    const uint8_t* WriteBuffer = nullptr;
    uint32_t Count = 0;
    uint32_t Done = 0;
    bool HasDeadline = false;
    Clock::time_point Deadline;
    bool ReturnOnFirstByte = false;
    bool HasInterval = false;
    Milliseconds Interval{0};
    Clock::time_point LastByte;
    std::shared_ptr<TPort> Port;
    // The outcome, kept for GetOverlappedResult after the end.
    bool Failed = false;
    TCommLastError Error;
};

struct TEvent {
    TSignalPipe Signal;
    std::atomic<bool> Aborted{false}; // set by PurgeComm and CloseHandle
    TTransfer Transfer;               // used by the transferring thread only
};

struct TPort {
    explicit TPort(int Fd) : Fd(Fd) {}
    TPort(const TPort&) = delete;
    TPort& operator=(const TPort&) = delete;
    ~TPort() { ::close(Fd); }

    const int Fd;
    TSignalPipe Wake;
    termios Saved{};

    std::mutex Lock; // guards everything below
    bool Closed = false;
    TCommDcb Shadow{}; // what termios cannot hold
    TCommTimeouts Timeouts{};
    TByteQueue Input;
    uint32_t Mask = 0;
    uint64_t MaskSerial = 0;
    uint32_t Pending = 0; // events seen and not yet delivered
    uint32_t Errors = 0;  // CommCe flags not yet reported
    bool Waiting = false;
    bool HungUp = false;
    bool TxPending = false; // written bytes not yet reported as sent
    bool ModemSupported = true;
    int LastModem = 0;
    bool CountersSupported = true;
    TPosixLineCounters LastCounters;
    std::vector<std::shared_ptr<TEvent>> Transfers; // pending, for aborts
};

// ---------------------------------------------------------------------------
// Finding the device

std::mutex PortsFolderMutex;
std::string ChosenPortsFolder;
std::string FixedDevice;

std::string PortsFolder() {
    {
        std::lock_guard<std::mutex> lock(PortsFolderMutex);
        if (!ChosenPortsFolder.empty())
            return ChosenPortsFolder;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] == '\0')
            return std::string();
        base = std::string(home) + "/.config";
    }
    return base + "/Maruvo/Telvane/ports";
}

// The device path of "COMn"; empty if the name is no COM name or has no device.
std::string DevicePath(const std::string& Name) {
    {
        std::lock_guard<std::mutex> lock(PortsFolderMutex);
        if (!FixedDevice.empty())
            return FixedDevice;
    }
    if (Name.size() < 4 || Name.compare(0, 3, "COM") != 0 || Name.size() > 6)
        return std::string();
    unsigned number = 0;
    for (size_t i = 3; i < Name.size(); ++i) {
        if (Name[i] < '0' || Name[i] > '9')
            return std::string();
        number = number * 10 + static_cast<unsigned>(Name[i] - '0');
    }
    const std::string folder = PortsFolder();
    if (!folder.empty()) {
        const std::string link = folder + "/" + Name;
        struct stat info {};
        if (::lstat(link.c_str(), &info) == 0)
            return link;
    }
    if (number == 0)
        return std::string();
    return "/dev/ttyS" + std::to_string(number - 1);
}

// ---------------------------------------------------------------------------
// Modem lines

void ChangeModemLine(int Fd, int Line, bool On) {
    // Devices without modem lines (pseudo-terminals) refuse; nothing to do then.
    RetryOnInterrupt([&] { return ::ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &Line); });
}

// ---------------------------------------------------------------------------

class TPosixCommPlatform final : public TCommPlatform {
public:
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
    TCommLastError GetLastError() override { return LastError; }

private:
    TCommHandle NewHandle();
    std::shared_ptr<TPort> FindPort(TCommHandle Handle);
    std::shared_ptr<TEvent> FindEvent(TCommHandle Handle);

    std::mutex FTableLock;
    // Handle values count up and are not reused while in use, so a stale
    // handle never reaches another opening.
    TCommHandle FNextHandle = 1;
    std::map<TCommHandle, std::shared_ptr<TPort>> FPorts;
    std::map<TCommHandle, std::shared_ptr<TEvent>> FEvents;
};

TCommHandle TPosixCommPlatform::NewHandle() {
    for (;;) {
        const TCommHandle handle = FNextHandle;
        FNextHandle = FNextHandle == INT32_MAX ? 1 : FNextHandle + 1;
        if (FPorts.count(handle) == 0 && FEvents.count(handle) == 0)
            return handle;
    }
}

std::shared_ptr<TPort> TPosixCommPlatform::FindPort(TCommHandle Handle) {
    std::lock_guard<std::mutex> lock(FTableLock);
    const auto found = FPorts.find(Handle);
    if (found == FPorts.end()) {
        FailErrno(EBADF);
        return nullptr;
    }
    return found->second;
}

std::shared_ptr<TEvent> TPosixCommPlatform::FindEvent(TCommHandle Handle) {
    std::lock_guard<std::mutex> lock(FTableLock);
    const auto found = FEvents.find(Handle);
    if (found == FEvents.end()) {
        FailErrno(EINVAL);
        return nullptr;
    }
    return found->second;
}

// ---------------------------------------------------------------------------
// Looking at the device. All of these run with the port lock held.

void NoteReceived(TPort& Port, const uint8_t* Bytes, size_t Count) {
    Port.Pending |= Port.Mask & CommEv::Rxchar;
    if ((Port.Mask & CommEv::Rxflag) && std::memchr(Bytes, Port.Shadow.EvtChar, Count))
        Port.Pending |= CommEv::Rxflag;
}

// Reads at most Count bytes from the device without blocking.
size_t ReadDevice(TPort& Port, uint8_t* Out, size_t Count) {
    size_t got = 0;
    while (got < Count && !Port.HungUp) {
        const ssize_t n = RetryOnInterrupt([&] { return ::read(Port.Fd, Out + got, Count - got); });
        if (n > 0) {
            NoteReceived(Port, Out + got, static_cast<size_t>(n));
            got += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            // 0 is the end of the line: the other side hung up. Any other
            // error means the device is gone.
            Port.HungUp = true;
        }
    }
    return got;
}

// Moves what the kernel holds into the input queue, as far as there is room.
void FillInput(TPort& Port) {
    uint8_t buffer[4096];
    while (Port.Input.Room() > 0 && !Port.HungUp) {
        const size_t want = std::min(Port.Input.Room(), sizeof buffer);
        const size_t got = ReadDevice(Port, buffer, want);
        Port.Input.Append(buffer, got);
        if (got < want)
            break;
    }
}

// Takes bytes for a reader: first from the queue, then from the device.
size_t TakeInput(TPort& Port, uint8_t* Out, size_t Count) {
    const bool wasFull = Port.Input.Room() == 0;
    size_t got = Port.Input.Take(Out, Count);
    if (got < Count)
        got += ReadDevice(Port, Out + got, Count - got);
    // A wait that stopped reading for want of room must look again.
    if (wasFull && Port.Input.Room() > 0 && Port.Waiting)
        Port.Wake.Signal();
    return got;
}

void SampleCounters(TPort& Port) {
    if (!Port.CountersSupported)
        return;
    TPosixLineCounters now;
    if (!PosixGetLineCounters(Port.Fd, now)) {
        if (IsUnsupported(errno))
            Port.CountersSupported = false;
        return;
    }
    const TPosixLineCounters& was = Port.LastCounters;
    uint32_t errors = 0;
    if (now.Frame != was.Frame)
        errors |= CommCe::Frame;
    if (now.Overrun != was.Overrun)
        errors |= CommCe::Overrun;
    if (now.Parity != was.Parity)
        errors |= CommCe::RxParity;
    if (now.BufferOverrun != was.BufferOverrun)
        errors |= CommCe::RxOver;
    if (now.Break != was.Break)
        errors |= CommCe::Break;
    Port.Errors |= errors;
    if (errors & ~CommCe::Break)
        Port.Pending |= Port.Mask & CommEv::Err;
    if (errors & CommCe::Break)
        Port.Pending |= Port.Mask & CommEv::Break;
    Port.LastCounters = now;
}

void SampleModemLines(TPort& Port) {
    if (!Port.ModemSupported)
        return;
    int lines = 0;
    if (RetryOnInterrupt([&] { return ::ioctl(Port.Fd, TIOCMGET, &lines); }) < 0) {
        if (IsUnsupported(errno))
            Port.ModemSupported = false;
        return;
    }
    const int changed = lines ^ Port.LastModem;
    uint32_t events = 0;
    if (changed & TIOCM_CTS)
        events |= CommEv::Cts;
    if (changed & TIOCM_DSR)
        events |= CommEv::Dsr;
    if (changed & TIOCM_CD)
        events |= CommEv::Rlsd;
    if ((changed & TIOCM_RI) && (lines & TIOCM_RI))
        events |= CommEv::Ring;
    Port.Pending |= Port.Mask & events;
    Port.LastModem = lines;
}

void SampleOutput(TPort& Port) {
    if (!Port.TxPending || !(Port.Mask & CommEv::Txempty))
        return;
    int queued = 0;
    if (RetryOnInterrupt([&] { return ::ioctl(Port.Fd, TIOCOUTQ, &queued); }) < 0 || queued == 0) {
        Port.TxPending = false;
        Port.Pending |= CommEv::Txempty;
    }
}

// Everything a wait needs to know, without blocking.
void LookAtDevice(TPort& Port, short Revents) {
    FillInput(Port);
    // With the queue full nothing was read, so poll's word is the only sign
    // of a hang-up.
    if (Revents & (POLLHUP | POLLERR | POLLNVAL))
        Port.HungUp = true;
    SampleOutput(Port);
    if (Port.Mask & ModemEvents)
        SampleModemLines(Port);
    if (Port.Mask & LineErrorEvents)
        SampleCounters(Port);
}

// The poll time-out of a wait: for ever, unless it has to sample.
int WaitTimeout(const TPort& Port) {
    if (Port.TxPending && (Port.Mask & CommEv::Txempty))
        return TxEmptySampleMs;
    if (((Port.Mask & ModemEvents) && Port.ModemSupported) ||
        ((Port.Mask & LineErrorEvents) && Port.CountersSupported))
        return LineSampleMs;
    return -1;
}

void AbortTransfers(TPort& Port, bool Reads, bool Writes) {
    for (const std::shared_ptr<TEvent>& event : Port.Transfers) {
        if (event->Transfer.IsRead ? Reads : Writes) {
            event->Aborted = true;
            event->Signal.Signal();
        }
    }
}

// ---------------------------------------------------------------------------

TCommHandle TPosixCommPlatform::CreateEventA() {
    auto event = std::make_shared<TEvent>();
    if (!event->Signal.Create()) {
        FailErrno(errno);
        return CommInvalidHandle;
    }
    std::lock_guard<std::mutex> lock(FTableLock);
    const TCommHandle handle = NewHandle();
    FEvents.emplace(handle, std::move(event));
    return handle;
}

TCommHandle TPosixCommPlatform::CreateFileA(const std::string& Name) {
    const std::string path = DevicePath(Name);
    if (path.empty()) {
        FailErrno(ENOENT);
        return CommInvalidHandle;
    }
    const int fd = RetryOnInterrupt(
        [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        FailErrno(errno);
        return CommInvalidHandle;
    }
    auto port = std::make_shared<TPort>(fd); // closes fd from here on

    // Exclusive use: flock binds every process, root included; TIOCEXCL also
    // keeps out opens that do not ask for the lock.
    if (RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) < 0) {
        FailErrno(errno == EWOULDBLOCK ? EBUSY : errno);
        return CommInvalidHandle;
    }
    if (::tcgetattr(fd, &port->Saved) < 0) {
        FailErrno(errno);
        return CommInvalidHandle;
    }
    ::ioctl(fd, TIOCEXCL);
    termios raw = port->Saved;
    MakeRawTermios(raw);
    if (RetryOnInterrupt([&] { return ::tcsetattr(fd, TCSANOW, &raw); }) < 0 ||
        !port->Wake.Create()) {
        FailErrno(errno);
        ::ioctl(fd, TIOCNXCL);
        return CommInvalidHandle;
    }

    TCommDcb& shadow = port->Shadow;
    shadow.DCBlength = sizeof(TCommDcb);
    shadow.Flags = DcbFlag::Binary | (CommDtr::Enable << DcbFlag::DtrControlShift) |
                   (CommRts::Enable << DcbFlag::RtsControlShift);
    shadow.XonLim = 2048;
    shadow.XoffLim = 512;
    shadow.StopBits = 0;
    // Start the modem lines and error counters from their state at opening.
    SampleModemLines(*port);
    SampleCounters(*port);
    port->Errors = 0;
    port->Pending = 0;

    std::lock_guard<std::mutex> lock(FTableLock);
    const TCommHandle handle = NewHandle();
    FPorts.emplace(handle, std::move(port));
    return handle;
}

bool TPosixCommPlatform::CloseHandle(TCommHandle Handle) {
    std::shared_ptr<TPort> port;
    std::shared_ptr<TEvent> event;
    {
        std::lock_guard<std::mutex> lock(FTableLock);
        if (auto found = FPorts.find(Handle); found != FPorts.end()) {
            port = std::move(found->second);
            FPorts.erase(found);
        } else if (auto foundEvent = FEvents.find(Handle); foundEvent != FEvents.end()) {
            event = std::move(foundEvent->second);
            FEvents.erase(foundEvent);
        } else {
            return FailErrno(EBADF);
        }
    }
    if (event) {
        // A transfer still running on this record ends as aborted.
        event->Aborted = true;
        event->Signal.Signal();
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(port->Lock);
        port->Closed = true;
        // Hand the device back as it was found. A hung-up device refuses; no matter.
        ::tcsetattr(port->Fd, TCSANOW, &port->Saved);
        ::ioctl(port->Fd, TIOCNXCL);
        ::flock(port->Fd, LOCK_UN);
        AbortTransfers(*port, true, true);
    }
    port->Wake.Signal();
    // The descriptor closes with the last reference, once no wait or
    // transfer uses it any more.
    return true;
}

bool TPosixCommPlatform::SetupComm(TCommHandle Handle, uint32_t InQueue, uint32_t /*OutQueue*/) {
    // The output queue is the kernel's own; its size cannot be chosen.
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::lock_guard<std::mutex> lock(port->Lock);
    port->Input.SetCapacity(std::max(InQueue, SmallestQueueSize));
    return true;
}

bool TPosixCommPlatform::PurgeComm(TCommHandle Handle, uint32_t Flags) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::lock_guard<std::mutex> lock(port->Lock);
    AbortTransfers(*port, Flags & CommPurge::RxAbort, Flags & CommPurge::TxAbort);
    int queue = -1;
    if ((Flags & CommPurge::RxClear) && (Flags & CommPurge::TxClear))
        queue = TCIOFLUSH;
    else if (Flags & CommPurge::RxClear)
        queue = TCIFLUSH;
    else if (Flags & CommPurge::TxClear)
        queue = TCOFLUSH;
    if (Flags & CommPurge::RxClear)
        port->Input.Clear();
    if (Flags & CommPurge::TxClear)
        port->TxPending = false;
    if (queue >= 0 && ::tcflush(port->Fd, queue) < 0)
        return FailErrno(errno);
    return true;
}

bool TPosixCommPlatform::SetCommTimeouts(TCommHandle Handle, const TCommTimeouts& Timeouts) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::lock_guard<std::mutex> lock(port->Lock);
    port->Timeouts = Timeouts;
    return true;
}

bool TPosixCommPlatform::GetCommState(TCommHandle Handle, TCommDcb& Dcb) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::lock_guard<std::mutex> lock(port->Lock);
    termios settings{};
    if (::tcgetattr(port->Fd, &settings) < 0)
        return FailErrno(errno);

    uint32_t rate = StandardRate(settings);
    if (rate == 0 && !PosixGetCustomSpeed(port->Fd, rate))
        rate = 0;
    Dcb = TermiosToDcb(settings, rate, port->Shadow);
    return true;
}

bool TPosixCommPlatform::SetCommState(TCommHandle Handle, const TCommDcb& Dcb) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    if (!DcbIsValid(Dcb))
        return FailErrno(EINVAL);
    std::lock_guard<std::mutex> lock(port->Lock);
    const int fd = port->Fd;
    termios settings{};
    if (::tcgetattr(fd, &settings) < 0)
        return FailErrno(errno);

    const bool standard = DcbToTermios(Dcb, settings);
    if (RetryOnInterrupt([&] { return ::tcsetattr(fd, TCSANOW, &settings); }) < 0)
        return FailErrno(errno);
    if (!standard && !PosixSetCustomSpeed(fd, Dcb.BaudRate))
        return FailErrno(errno);

    // The lines that the DCB drives by hand. DTR handshaking has no Linux
    // counterpart; DTR is raised for it so that the other side sees us ready.
    const uint32_t dtr = DcbDtrControl(Dcb.Flags);
    const uint32_t rts = DcbRtsControl(Dcb.Flags);
    const bool ctsRts = (settings.c_cflag & CRTSCTS) != 0;
    ChangeModemLine(fd, TIOCM_DTR, dtr != CommDtr::Disable);
    if (rts == CommRts::Toggle || DcbRtsControl(port->Shadow.Flags) == CommRts::Toggle)
        PosixSetRtsToggle(fd, rts == CommRts::Toggle);
    if (!ctsRts && rts != CommRts::Toggle)
        ChangeModemLine(fd, TIOCM_RTS, rts == CommRts::Enable);

    port->Shadow = Dcb;
    return true;
}

bool TPosixCommPlatform::GetCommMask(TCommHandle Handle, uint32_t& Mask) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::lock_guard<std::mutex> lock(port->Lock);
    Mask = port->Mask;
    return true;
}

bool TPosixCommPlatform::SetCommMask(TCommHandle Handle, uint32_t Mask) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    bool waiting = false;
    {
        std::lock_guard<std::mutex> lock(port->Lock);
        // Line changes count from the moment they are asked for.
        if ((Mask & ModemEvents) && !(port->Mask & ModemEvents))
            SampleModemLines(*port);
        if ((Mask & LineErrorEvents) && !(port->Mask & LineErrorEvents))
            SampleCounters(*port);
        port->Mask = Mask;
        port->Pending &= Mask;
        ++port->MaskSerial;
        waiting = port->Waiting;
    }
    if (waiting)
        port->Wake.Signal();
    return true;
}

bool TPosixCommPlatform::WaitCommEvent(TCommHandle Handle, uint32_t& EventWord) {
    EventWord = 0;
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::unique_lock<std::mutex> lock(port->Lock);
    if (port->Closed)
        return FailErrno(EBADF);
    if (port->Waiting)
        return FailErrno(EINVAL); // one wait at a time
    port->Waiting = true;
    const uint64_t serial = port->MaskSerial;
    bool ok = true;
    short revents = 0;
    for (;;) {
        if (port->Closed) {
            ok = FailErrno(EBADF);
            break;
        }
        // A mask change ends the wait with the word 0, as does an empty mask.
        if (port->MaskSerial != serial || port->Mask == 0)
            break;
        LookAtDevice(*port, revents);
        const uint32_t events = port->Pending & port->Mask;
        if (events != 0) {
            port->Pending &= ~events;
            EventWord = events;
            break;
        }
        if (port->HungUp) {
            ok = FailErrno(EIO);
            break;
        }
        pollfd fds[2] = {{port->Wake.Fd(), POLLIN, 0},
                         {port->Fd, static_cast<short>(port->Input.Room() > 0 ? POLLIN : 0), 0}};
        const int timeout = WaitTimeout(*port);
        lock.unlock();
        const int result = ::poll(fds, 2, timeout);
        const int error = errno;
        lock.lock();
        if (result < 0 && error != EINTR) {
            ok = FailErrno(error);
            break;
        }
        if (fds[0].revents)
            port->Wake.Reset();
        revents = result > 0 ? fds[1].revents : 0;
    }
    port->Waiting = false;
    return ok;
}

bool TPosixCommPlatform::ClearCommError(TCommHandle Handle, uint32_t& Errors, TCommStat& Stat) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::lock_guard<std::mutex> lock(port->Lock);
    FillInput(*port);
    SampleCounters(*port);
    Errors = port->Errors;
    port->Errors = 0;
    int queued = 0;
    if (RetryOnInterrupt([&] { return ::ioctl(port->Fd, TIOCOUTQ, &queued); }) < 0)
        queued = 0;
    Stat = TCommStat{0, static_cast<uint32_t>(port->Input.Size()),
                     static_cast<uint32_t>(std::max(queued, 0))};
    return true;
}

bool TPosixCommPlatform::GetCommModemStatus(TCommHandle Handle, uint32_t& Status) {
    Status = 0;
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    int lines = 0;
    if (RetryOnInterrupt([&] { return ::ioctl(port->Fd, TIOCMGET, &lines); }) < 0)
        return FailErrno(errno);
    if (lines & TIOCM_CTS)
        Status |= CommModem::CtsOn;
    if (lines & TIOCM_DSR)
        Status |= CommModem::DsrOn;
    if (lines & TIOCM_RI)
        Status |= CommModem::RingOn;
    if (lines & TIOCM_CD)
        Status |= CommModem::RlsdOn;
    return true;
}

bool TPosixCommPlatform::EscapeCommFunction(TCommHandle Handle, uint32_t Function) {
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    const int fd = port->Fd;
    int line = 0;
    int result = 0;
    switch (Function) {
    case CommEscape::SetDtr:
    case CommEscape::ClrDtr:
        line = TIOCM_DTR;
        result = RetryOnInterrupt([&] {
            return ::ioctl(fd, Function == CommEscape::SetDtr ? TIOCMBIS : TIOCMBIC, &line);
        });
        break;
    case CommEscape::SetRts:
    case CommEscape::ClrRts:
        line = TIOCM_RTS;
        result = RetryOnInterrupt([&] {
            return ::ioctl(fd, Function == CommEscape::SetRts ? TIOCMBIS : TIOCMBIC, &line);
        });
        break;
    case CommEscape::SetBreak:
        result = RetryOnInterrupt([&] { return ::ioctl(fd, TIOCSBRK); });
        break;
    case CommEscape::ClrBreak:
        result = RetryOnInterrupt([&] { return ::ioctl(fd, TIOCCBRK); });
        break;
    case CommEscape::SetXoff:
        result = ::tcflow(fd, TCOOFF);
        break;
    case CommEscape::SetXon:
        result = ::tcflow(fd, TCOON);
        break;
    default:
        return FailErrno(EINVAL);
    }
    return result < 0 ? FailErrno(errno) : true;
}

// ---------------------------------------------------------------------------
// Transfers

// Takes a transfer record for a new transfer on Port; the port lock is held.
bool ClaimRecord(const TPort& Port, TEvent& Event) {
    if (Port.Closed)
        return FailErrno(EBADF);
    if (Event.Transfer.Active)
        return FailErrno(EINVAL); // the record is busy
    Event.Signal.Reset();
    Event.Aborted = false;
    return true;
}

// Ends a transfer that needs no waiting, or leaves the rest of it to
// GetOverlappedResult.
bool SettleTransfer(const std::shared_ptr<TPort>& Port, const std::shared_ptr<TEvent>& Event,
                    bool Finished, uint32_t& Transferred, const char* GoesOn) {
    TTransfer& transfer = Event->Transfer;
    if (Finished) {
        Transferred = transfer.Done;
        Event->Signal.Signal();
        return true;
    }
    transfer.Active = true;
    transfer.Port = Port;
    Port->Transfers.push_back(Event);
    return FailWith(TCommErrorKind::IoPending, GoesOn);
}

// Writes Bytes from Done on, as far as the device takes them without
// blocking; 0, or the errno that stopped it.
int WriteDevice(int Fd, const uint8_t* Bytes, uint32_t Count, uint32_t& Done) {
    while (Done < Count) {
        const ssize_t n = RetryOnInterrupt([&] { return ::write(Fd, Bytes + Done, Count - Done); });
        if (n >= 0)
            Done += static_cast<uint32_t>(n);
        else if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        else
            return errno;
    }
    return 0;
}

// Ends a pending transfer and reports it as GetOverlappedResult does; the port
// lock is held.
bool FinishTransfer(TPort& Port, const std::shared_ptr<TEvent>& Event, bool Failed,
                    const TCommLastError& Error, uint32_t& Transferred) {
    TTransfer& transfer = Event->Transfer;
    transfer.Active = false;
    transfer.Failed = Failed;
    transfer.Error = Error;
    transfer.Port.reset();
    auto& list = Port.Transfers;
    list.erase(std::remove(list.begin(), list.end(), Event), list.end());
    Event->Signal.Signal();
    Transferred = transfer.Done;
    if (Failed)
        LastError = Error;
    return !Failed;
}

// Moves what the device has to a pending read; true when the line hung up.
bool ContinueRead(TPort& Port, TTransfer& Transfer) {
    const size_t got =
        TakeInput(Port, Transfer.ReadBuffer + Transfer.Done, Transfer.Count - Transfer.Done);
    if (got > 0)
        Transfer.LastByte = Clock::now();
    Transfer.Done += static_cast<uint32_t>(got);
    return Port.HungUp;
}

// Writes what the device takes of a pending write; 0, or the errno that
// stopped it.
int ContinueWrite(TPort& Port, TTransfer& Transfer) {
    const uint32_t before = Transfer.Done;
    const int error = WriteDevice(Port.Fd, Transfer.WriteBuffer, Transfer.Count, Transfer.Done);
    Port.TxPending = Port.TxPending || Transfer.Done > before;
    return error;
}

// Whether a transfer that has moved what it could is over: whole, cut short
// by a hang-up or a time-out, or a read that was to return on its first byte.
bool TransferOver(const TTransfer& Transfer, bool HungUp, Clock::time_point Now) {
    if (Transfer.Done == Transfer.Count)
        return true;
    if (Transfer.IsRead && (HungUp || (Transfer.ReturnOnFirstByte && Transfer.Done > 0)))
        return true;
    if (Transfer.HasDeadline && Now >= Transfer.Deadline)
        return true;
    return Transfer.HasInterval && Transfer.Done > 0 &&
           Now - Transfer.LastByte >= Transfer.Interval;
}

// The poll time-out of a pending transfer: until the nearer of its deadline
// and its interval's end, or for ever.
int TransferTimeout(const TTransfer& Transfer, Clock::time_point Now) {
    int timeout = -1;
    if (Transfer.HasDeadline)
        timeout =
            static_cast<int>(std::chrono::ceil<Milliseconds>(Transfer.Deadline - Now).count());
    if (Transfer.HasInterval && Transfer.Done > 0) {
        const auto left =
            std::chrono::ceil<Milliseconds>(Transfer.LastByte + Transfer.Interval - Now);
        timeout = timeout < 0 ? static_cast<int>(left.count())
                              : std::min(timeout, static_cast<int>(left.count()));
    }
    return timeout;
}

bool TPosixCommPlatform::ReadFile(TCommHandle Handle, void* Buffer, uint32_t Count,
                                  uint32_t& Transferred, TCommOverlapped& Overlapped) {
    Transferred = 0;
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::shared_ptr<TEvent> event = FindEvent(Overlapped.hEvent);
    if (!event)
        return false;
    std::lock_guard<std::mutex> lock(port->Lock);
    if (!ClaimRecord(*port, *event))
        return false;

    auto* out = static_cast<uint8_t*>(Buffer);
    const uint32_t done = static_cast<uint32_t>(TakeInput(*port, out, Count));
    const TCommTimeouts& t = port->Timeouts;
    const auto now = Clock::now();
    TTransfer& transfer = event->Transfer;
    transfer = TTransfer{};
    transfer.IsRead = true;
    transfer.ReadBuffer = out;
    transfer.Count = Count;
    transfer.Done = done;
    transfer.LastByte = now;

    bool finished = done == Count || port->HungUp;
    if (t.ReadIntervalTimeout == CommMaxDword && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0) {
        finished = true; // return at once with what is there
    } else if (t.ReadIntervalTimeout == CommMaxDword &&
               t.ReadTotalTimeoutMultiplier == CommMaxDword && t.ReadTotalTimeoutConstant != 0 &&
               t.ReadTotalTimeoutConstant != CommMaxDword) {
        // Whatever is there, or else the first byte that comes in time.
        finished = finished || done > 0;
        transfer.ReturnOnFirstByte = true;
        transfer.HasDeadline = true;
        transfer.Deadline = now + Milliseconds(t.ReadTotalTimeoutConstant);
    } else {
        const uint64_t total = static_cast<uint64_t>(t.ReadTotalTimeoutMultiplier) * Count +
                               t.ReadTotalTimeoutConstant;
        transfer.HasDeadline = total > 0;
        transfer.Deadline = now + Milliseconds(total);
        transfer.HasInterval = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != CommMaxDword;
        transfer.Interval = Milliseconds(t.ReadIntervalTimeout);
    }
    return SettleTransfer(port, event, finished, Transferred, "the read goes on");
}

bool TPosixCommPlatform::WriteFile(TCommHandle Handle, const void* Buffer, uint32_t Count,
                                   uint32_t& Transferred, TCommOverlapped& Overlapped) {
    Transferred = 0;
    std::shared_ptr<TPort> port = FindPort(Handle);
    if (!port)
        return false;
    std::shared_ptr<TEvent> event = FindEvent(Overlapped.hEvent);
    if (!event)
        return false;
    std::unique_lock<std::mutex> lock(port->Lock);
    if (!ClaimRecord(*port, *event))
        return false;

    const auto* in = static_cast<const uint8_t*>(Buffer);
    uint32_t done = 0;
    if (const int error = WriteDevice(port->Fd, in, Count, done)) {
        Transferred = done;
        return FailErrno(error);
    }
    const bool wake = done > 0 && port->Waiting && (port->Mask & CommEv::Txempty);
    if (done > 0)
        port->TxPending = true;

    TTransfer& transfer = event->Transfer;
    transfer = TTransfer{};
    transfer.WriteBuffer = in;
    transfer.Count = Count;
    transfer.Done = done;
    const TCommTimeouts& t = port->Timeouts;
    const uint64_t total =
        static_cast<uint64_t>(t.WriteTotalTimeoutMultiplier) * Count + t.WriteTotalTimeoutConstant;
    transfer.HasDeadline = total > 0;
    transfer.Deadline = Clock::now() + Milliseconds(total);
    const bool ok = SettleTransfer(port, event, done == Count, Transferred, "the write goes on");
    lock.unlock();
    // A wait for the empty output queue starts sampling it.
    if (wake)
        port->Wake.Signal();
    return ok;
}

bool TPosixCommPlatform::GetOverlappedResult(TCommHandle /*Handle*/, TCommOverlapped& Overlapped,
                                             uint32_t& Transferred, bool Wait) {
    std::shared_ptr<TEvent> event = FindEvent(Overlapped.hEvent);
    if (!event)
        return false;
    TTransfer& transfer = event->Transfer;
    std::shared_ptr<TPort> port = transfer.Port;
    if (!transfer.Active || !port) {
        // Ended already: report how.
        Transferred = transfer.Done;
        if (transfer.Failed)
            LastError = transfer.Error;
        return !transfer.Failed;
    }

    std::unique_lock<std::mutex> lock(port->Lock);
    const auto finish = [&](bool failed, const TCommLastError& error) {
        return FinishTransfer(*port, event, failed, error, Transferred);
    };
    for (;;) {
        if (event->Aborted || port->Closed)
            return finish(true, MapErrno(ECANCELED));
        bool hungUp = false;
        if (transfer.IsRead)
            hungUp = ContinueRead(*port, transfer);
        else if (const int error = ContinueWrite(*port, transfer))
            return finish(true, MapErrno(error));

        const auto now = Clock::now();
        if (TransferOver(transfer, hungUp, now))
            return finish(false, {});
        if (!Wait)
            return FailWith(TCommErrorKind::IoIncomplete, "the transfer goes on");

        const int timeout = TransferTimeout(transfer, now);
        pollfd fds[2] = {{port->Fd, static_cast<short>(transfer.IsRead ? POLLIN : POLLOUT), 0},
                         {event->Signal.Fd(), POLLIN, 0}};
        lock.unlock();
        const int result = ::poll(fds, 2, timeout);
        const int error = errno;
        lock.lock();
        if (result < 0 && error != EINTR)
            return finish(true, MapErrno(error));
        if (result > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            // A write cannot go on; a read takes what is left and ends.
            if (!transfer.IsRead)
                return finish(true, MapErrno(EIO));
            port->HungUp = true;
        }
    }
}

} // namespace

void SetComPortsFolder(std::string Folder) {
    std::lock_guard<std::mutex> lock(PortsFolderMutex);
    ChosenPortsFolder = std::move(Folder);
}

void SetComDevice(std::string Device) {
    std::lock_guard<std::mutex> lock(PortsFolderMutex);
    FixedDevice = std::move(Device);
}

std::string ComDevicePath(const std::string& Name) {
    return DevicePath(Name);
}

std::shared_ptr<TCommPlatform> CommNativePlatform() {
    static const std::shared_ptr<TCommPlatform> platform = std::make_shared<TPosixCommPlatform>();
    return platform;
}
