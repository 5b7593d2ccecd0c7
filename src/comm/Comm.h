#pragma once

// The serial component: TComm drives one serial (COM) port. It holds the line
// settings, opens and closes the device, writes and reads bytes, reports
// failures as ECommError exceptions, and announces received bytes, an empty
// output queue and line events from a watch thread of its own (TCommWatch).
//
// Threads: the settings, Open, Close and Write belong to one thread (the
// window thread). The notifications OnCommReceive, OnCommTransmit and
// OnCommEvent run on the watch thread, and so does everything a handler calls,
// typically Read. Close waits for the watch thread, so a handler must not
// wait for the thread that calls Close. A handler may call Close itself.
//
// Texts: every message is a byte string in the Japanese code page Shift_JIS.

#include "comm/CommRecords.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

class TComm;
class TCommPlatform;

// ---------------------------------------------------------------------------
// Enumerations and sets. Each enumeration is one byte; the ordinals are the
// driver's own codes where one exists.

enum TCommParityBits : uint8_t { cpbNone, cpbOdd, cpbEven, cpbMark, cpbSpace };
enum TCommByteSize : uint8_t { cbs4, cbs5, cbs6, cbs7, cbs8 }; // data bits = ordinal + 4
enum TCommStopBits : uint8_t { csb1, csb15, csb2 };
enum TCommFlowControl : uint8_t { cfcDtrDsr, cfcRtsCts, cfcXonXoff, cfcHalfDuplex };
enum TCommEvents : uint8_t {
    evRxchar,
    evRxflag,
    evTxempty,
    evCts,
    evDsr,
    evRlsd,
    evBreak,
    evErr,
    evRing,
    evPerr
};

// A set of enumeration members, member n at bit n.
template <typename E, typename Bits, Bits AllBits> class TCommSet {
public:
    constexpr TCommSet() = default;
    constexpr TCommSet(std::initializer_list<E> Members) {
        for (E m : Members)
            FBits = static_cast<Bits>(FBits | Bit(m));
    }
    static constexpr TCommSet FromBits(Bits Value) {
        TCommSet s;
        s.FBits = static_cast<Bits>(Value & AllBits);
        return s;
    }
    constexpr Bits ToBits() const { return FBits; }
    constexpr bool Contains(E m) const { return (FBits & Bit(m)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TCommSet& Include(E m) {
        FBits = static_cast<Bits>(FBits | Bit(m));
        return *this;
    }
    constexpr TCommSet& Exclude(E m) {
        FBits = static_cast<Bits>(FBits & ~Bit(m));
        return *this;
    }
    friend constexpr bool operator==(TCommSet a, TCommSet b) { return a.FBits == b.FBits; }
    friend constexpr bool operator!=(TCommSet a, TCommSet b) { return a.FBits != b.FBits; }

private:
    static constexpr Bits Bit(E m) { return static_cast<Bits>(1u << static_cast<unsigned>(m)); }
    Bits FBits = 0;
};

using TCommFlowControls = TCommSet<TCommFlowControl, uint8_t, 0x0F>;
// Member n stands for the driver event 2^n, so ToBits() is the driver's mask.
using TCommEventMask = TCommSet<TCommEvents, uint16_t, 0x03FF>;

// ---------------------------------------------------------------------------
// Notification handlers. A handler counts as assigned when it holds a target.

using TCommNotifyEvent = std::function<void(TComm* Sender, TCommEventMask EventMask)>;
using TCommNotifyRxTxEvent = std::function<void(TComm* Sender, uint16_t Size)>;

// ---------------------------------------------------------------------------
// Baud-rate table, for a user interface that offers the rates. Rate -1 selects
// BaudRateUserDefined. Each text is nine bytes of Shift_JIS.

struct TBaudEntry {
    int32_t Rate;
    const char* Text;
};
extern const std::array<TBaudEntry, 14> BaudTable;

// ---------------------------------------------------------------------------
// Exceptions. what() returns the Shift_JIS bytes of the message.

class ECommError : public std::runtime_error {
public:
    explicit ECommError(const std::string& Message) : std::runtime_error(Message) {}
};

// Opening failed: -1 the device cannot be opened (missing, in use, no
// permission), -2 and -3 the events of the read and write records.
class ECommOpenError : public ECommError {
public:
    explicit ECommOpenError(int32_t ErrorCode);
    int32_t ErrorCode() const { return FErrorCode; }

private:
    int32_t FErrorCode;
};

// A transfer failed; the code holds the driver's error flags (CommCe).
class ECommReadWriteError : public ECommError {
public:
    explicit ECommReadWriteError(int32_t ErrorCode);
    int32_t ErrorCode() const { return FErrorCode; }

private:
    int32_t FErrorCode;
};

// The central report of exceptions that a notification handler lets escape
// on the watch thread. The watch thread catches them and calls this handler
// with the exception, on the watch thread; then it goes on waiting. The
// default writes the message to standard error. Passing an empty function
// restores the default. Returns the handler that was installed before.
using TCommErrorHandler = std::function<void(const std::exception& Error)>;
TCommErrorHandler SetCommErrorHandler(TCommErrorHandler Handler);

// POSIX: the folder of the "COMn" links that name each port's device (by
// default $XDG_CONFIG_HOME/Maruvo/Telvane/ports); set once, before the first
// Open. Windows has COM names of its own and ignores it.
void SetComPortsFolder(std::string Folder);
// POSIX: a device that every "COMn" opens instead, whatever its number (a
// program told the device itself); empty goes back to the ports folder. Set
// once, before the first Open. Windows ignores it.
void SetComDevice(std::string Device);
// The device that "COMn" opens now, for messages: the fixed device, the link
// in the ports folder or the on-board port; empty when the name has none.
// Windows: the name itself.
std::string ComDevicePath(const std::string& Name);

// ---------------------------------------------------------------------------
// The watch thread of one opening of a port. Created by Open, stopped and
// waited for by Close.

class TCommWatch {
public:
    TCommWatch(const TCommWatch&) = delete;
    TCommWatch& operator=(const TCommWatch&) = delete;
    ~TCommWatch();

    // True once the thread body has returned.
    bool Finished() const;
    // True on a watch thread whose component was closed by one of its own
    // handlers: the thread no longer belongs to the component, which may
    // already be open again on another thread.
    static bool LetGoOfCurrentThread();
    // Waits at most Timeout for the thread body to return; true if it has.
    bool WaitFor(std::chrono::milliseconds Timeout) const;

private:
    friend class TComm;

    // Sets the driver's event mask to its current value plus received
    // characters, then starts the thread.
    TCommWatch(TComm* CommComponent, TCommHandle PortHandle,
               std::shared_ptr<TCommPlatform> Platform);

    void Run();
    void Dispatch(uint32_t EventWord);
    // Changes the driver's event mask so that the wait it ends does not end
    // the thread.
    void ChangeMask(uint32_t Mask);
    void RequestStop() { FStopRequested.store(true); }
    bool IsCurrentThread() const;
    void Join();
    // Used when Close runs on this thread: the thread lets go of itself.
    void ReleaseOnFinish();

    const TCommHandle FPortHandle;
    TComm* const FCommComponent;
    const std::shared_ptr<TCommPlatform> FPlatform;

    std::atomic<bool> FStopRequested{false};
    bool FReleaseOnFinish = false; // touched by the watch thread only

    std::mutex FMaskLock; // orders mask changes against the thread's waits
    uint64_t FMaskSerial = 0;

    mutable std::mutex FStateLock;
    mutable std::condition_variable FStateChanged;
    bool FResumed = false;
    bool FFinished = false;

    std::thread FThread;
};

// ---------------------------------------------------------------------------

class TComm {
public:
    TComm();
    // With a backend of the caller's choice (tests, other drivers).
    explicit TComm(std::shared_ptr<TCommPlatform> Platform);
    // Closes the port if it is open. A class derived from TComm that replaces
    // the Do... operations must close the port in its own destructor, while
    // its replacements still exist.
    virtual ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // Properties. Setters store the value and, where the port is open and the
    // value belongs to the device control block or the event mask, hand it
    // to the driver at once. They never raise; refusals of the driver are
    // ignored.
    uint8_t Port() const { return FPort; }
    void SetPort(uint8_t Value) { FPort = Value; }
    int32_t BaudRate() const { return FBaudRate; }
    void SetBaudRate(int32_t Value);
    int32_t BaudRateUserDefined() const { return FBaudRateUserDefined; }
    void SetBaudRateUserDefined(int32_t Value) { FBaudRateUserDefined = Value; }
    TCommParityBits ParityBits() const { return FParityBits; }
    void SetParityBits(TCommParityBits Value);
    TCommByteSize ByteSize() const { return FByteSize; }
    void SetByteSize(TCommByteSize Value);
    TCommStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TCommStopBits Value);
    TCommFlowControls FlowControls() const { return FFlowControls; }
    void SetFlowControls(TCommFlowControls Value);
    uint16_t InQueueSize() const { return FInQueueSize; }
    void SetInQueueSize(uint16_t Value) { FInQueueSize = Value; }
    uint16_t OutQueueSize() const { return FOutQueueSize; }
    void SetOutQueueSize(uint16_t Value) { FOutQueueSize = Value; }
    int32_t ReceiveNotifySize() const { return FReceiveNotifySize; }
    void SetReceiveNotifySize(int32_t Value);
    int32_t SendNotifySize() const { return FSendNotifySize; }
    void SetSendNotifySize(int32_t Value);
    TCommEventMask EventMask() const { return FEventMask; }
    // While the port is open the driver's mask becomes the new set plus
    // received characters, and the watch thread goes on with it.
    void SetEventMask(TCommEventMask Value);
    // State of the DSR input; false while closed or without modem lines.
    bool DsrState() const;

    TCommNotifyEvent OnCommEvent() const;
    void SetOnCommEvent(TCommNotifyEvent Handler);
    TCommNotifyRxTxEvent OnCommReceive() const;
    void SetOnCommReceive(TCommNotifyRxTxEvent Handler);
    TCommNotifyRxTxEvent OnCommTransmit() const;
    void SetOnCommTransmit(TCommNotifyRxTxEvent Handler);

    bool IsOpen() const { return FPortHandle >= 0; }
    // Opens "COM" + Port with the current settings and starts watching it.
    // Does nothing if the port is open. Raises ECommOpenError.
    void Open();
    // Stops watching (waiting for the watch thread unless called on it) and
    // closes the device. Does nothing if the port is closed.
    void Close();
    // Writes Count bytes, at most OutQueueSize. Returns when all of them have
    // been handed to the driver; raises ECommError when closed or too long,
    // ECommReadWriteError when the driver refuses or the write time-out
    // (1000 ms) cuts it short.
    void Write(const void* Buffer, int32_t Count);
    void WriteString(const std::string& Text);
    // Reads up to Count bytes, waiting at most 1000 ms in all for them, and
    // returns how many it delivered.
    int32_t Read(void* Buffer, int32_t Count);

    // The watch thread of the current opening; null while closed.
    TCommWatch* Watch() const { return FWatch.get(); }

protected:
    // Called on the watch thread for each event word; a derived class may
    // replace them.
    virtual void DoCommEvent(uint32_t EventWord);
    virtual void DoCommReceive();
    virtual void DoCommTransmit();

private:
    friend class TCommWatch;

    void ApplyBaudRate();
    void ApplyByteSize();
    void ApplyParityBits();
    void ApplyStopBits();
    void ApplyFlowControls();
    void ApplyReceiveNotifySize();
    void ApplySendNotifySize();
    void ApplyEventMask();
    template <typename Change> void ChangeDcb(Change change);
    void CloseEvents();
    uint32_t ClearErrors(TCommStat* Stat = nullptr);
    // Waits for a pending transfer; false if it failed while being waited for.
    bool FinishTransfer(TCommOverlapped& Overlapped, uint32_t& Transferred);

    std::shared_ptr<TCommPlatform> FPlatform;

    TCommHandle FPortHandle = CommInvalidHandle;
    TCommDcb FDcb{};
    uint8_t FPort = 1;
    int32_t FBaudRate = 9600;
    int32_t FBaudRateUserDefined = 9600;
    TCommByteSize FByteSize = cbs8;
    TCommParityBits FParityBits = cpbNone;
    TCommStopBits FStopBits = csb1;
    TCommFlowControls FFlowControls{cfcRtsCts};
    uint16_t FInQueueSize = 4096;
    uint16_t FOutQueueSize = 4096;
    int32_t FReceiveNotifySize = 3072;
    int32_t FSendNotifySize = 1024;
    TCommEventMask FEventMask{};

    // The handlers are set on one thread and called on the watch thread.
    mutable std::mutex FHandlerLock;
    TCommNotifyEvent FOnCommEvent;
    TCommNotifyRxTxEvent FOnCommReceive;
    TCommNotifyRxTxEvent FOnCommTransmit;

    TCommOverlapped FReadOverlapped;
    TCommOverlapped FWriteOverlapped;
    std::unique_ptr<TCommWatch> FWatch;
};
