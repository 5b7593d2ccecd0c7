#include "comm/Comm.h"

#include "comm/CommInternal.h"
#include "comm/CommPlatform.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <utility>

namespace {

// Time-outs of every opening: a read returns what is queued at once and waits
// at most one second in all for the rest; a write waits at most one second.
constexpr TCommTimeouts FixedTimeouts{CommMaxDword, 0, 1000, 0, 1000};

// Write waits this long at most for room in the output queue, checking again
// after each pause.
constexpr std::chrono::milliseconds WriteRoomTimeout{FixedTimeouts.WriteTotalTimeoutConstant};
constexpr std::chrono::milliseconds WriteRoomPause{10};

// Rebuilding the flow control keeps fBinary, fParity, fAbortOnError and the
// upper reserved bits of the flag word and clears everything else.
constexpr uint32_t FlowControlKeptFlags = 0xFEC0C003u;

// The events that OnCommEvent reports; received characters and the empty
// output queue have notifications of their own, and printer errors are none
// of a serial line's business.
constexpr uint32_t LineEventBits = CommEv::Rxflag | CommEv::Cts | CommEv::Dsr | CommEv::Rlsd |
                                   CommEv::Break | CommEv::Err | CommEv::Ring;

std::mutex& ErrorHandlerLock() {
    static std::mutex lock;
    return lock;
}

TCommErrorHandler& InstalledErrorHandler() {
    static TCommErrorHandler handler;
    return handler;
}

void WriteErrorToStderr(const std::exception& Error) {
    std::fprintf(stderr, "Telvane: %s\n", Error.what());
}

} // namespace

const std::array<TBaudEntry, 14> BaudTable{{
    {110, "   110bps"},
    {300, "   300bps"},
    {600, "   600bps"},
    {1200, "  1200bps"},
    {2400, "  2400bps"},
    {4800, "  4800bps"},
    {9600, "  9600bps"},
    {14400, " 14400bps"},
    {19200, " 19200bps"},
    {38400, " 38400bps"},
    {56000, " 56000bps"},
    {128000, "128000bps"},
    {256000, "256000bps"},
    {-1, CommTexts::UserDefined},
}};

ECommOpenError::ECommOpenError(int32_t ErrorCode)
    : ECommError(CommTexts::OpenError + std::to_string(ErrorCode)), FErrorCode(ErrorCode) {}

ECommReadWriteError::ECommReadWriteError(int32_t ErrorCode)
    : ECommError(CommTexts::ReadWriteError + std::to_string(ErrorCode)), FErrorCode(ErrorCode) {}

TCommErrorHandler SetCommErrorHandler(TCommErrorHandler Handler) {
    std::lock_guard<std::mutex> lock(ErrorHandlerLock());
    std::swap(InstalledErrorHandler(), Handler);
    return Handler;
}

void ReportCommError(const std::exception& Error) noexcept {
    try {
        TCommErrorHandler handler;
        {
            std::lock_guard<std::mutex> lock(ErrorHandlerLock());
            handler = InstalledErrorHandler();
        }
        if (handler)
            handler(Error);
        else
            WriteErrorToStderr(Error);
    } catch (...) {
        // The report itself failed; there is nobody left to tell but stderr.
        std::fputs("Telvane: the error report failed\n", stderr);
    }
}

// ---------------------------------------------------------------------------

TComm::TComm() : TComm(CommNativePlatform()) {}

TComm::TComm(std::shared_ptr<TCommPlatform> Platform) : FPlatform(std::move(Platform)) {
    FDcb.DCBlength = sizeof(TCommDcb);
}

TComm::~TComm() {
    try {
        Close();
    } catch (...) {
        // Close raises nothing of its own; a failing thread join must not
        // escape a destructor either.
    }
}

// Applying one line setting: if the port is open, read the driver's current
// block, change only this setting's fields and hand the block back. Fields
// that no setting touches keep the driver's values.
template <typename Change> void TComm::ChangeDcb(Change change) {
    if (!IsOpen())
        return;
    FPlatform->GetCommState(FPortHandle, FDcb);
    change(FDcb);
    FPlatform->SetCommState(FPortHandle, FDcb);
}

void TComm::SetBaudRate(int32_t Value) {
    FBaudRate = Value;
    ApplyBaudRate();
}

void TComm::SetParityBits(TCommParityBits Value) {
    FParityBits = Value;
    ApplyParityBits();
}

void TComm::SetByteSize(TCommByteSize Value) {
    FByteSize = Value;
    ApplyByteSize();
}

void TComm::SetStopBits(TCommStopBits Value) {
    FStopBits = Value;
    ApplyStopBits();
}

void TComm::SetFlowControls(TCommFlowControls Value) {
    FFlowControls = Value;
    ApplyFlowControls();
}

void TComm::SetReceiveNotifySize(int32_t Value) {
    FReceiveNotifySize = Value;
    ApplyReceiveNotifySize();
}

void TComm::SetSendNotifySize(int32_t Value) {
    FSendNotifySize = Value;
    ApplySendNotifySize();
}

void TComm::SetEventMask(TCommEventMask Value) {
    FEventMask = Value;
    ApplyEventMask();
}

void TComm::ApplyBaudRate() {
    ChangeDcb([this](TCommDcb& dcb) {
        const int32_t rate = FBaudRate == -1 ? FBaudRateUserDefined : FBaudRate;
        dcb.BaudRate = static_cast<uint32_t>(rate);
    });
}

void TComm::ApplyByteSize() {
    ChangeDcb([this](TCommDcb& dcb) { dcb.ByteSize = static_cast<uint8_t>(FByteSize + 4); });
}

void TComm::ApplyParityBits() {
    ChangeDcb([this](TCommDcb& dcb) { dcb.Parity = FParityBits; });
}

void TComm::ApplyStopBits() {
    ChangeDcb([this](TCommDcb& dcb) { dcb.StopBits = FStopBits; });
}

void TComm::ApplyFlowControls() {
    ChangeDcb([this](TCommDcb& dcb) {
        uint32_t flags = dcb.Flags & FlowControlKeptFlags;
        // RTS: half duplex toggles it around each transmission and wins over
        // the RTS/CTS handshake; without either it is simply raised.
        if (FFlowControls.Contains(cfcHalfDuplex))
            flags |= DcbFlag::OutxCtsFlow | (CommRts::Toggle << DcbFlag::RtsControlShift);
        else if (FFlowControls.Contains(cfcRtsCts))
            flags |= DcbFlag::OutxCtsFlow | (CommRts::Handshake << DcbFlag::RtsControlShift);
        else
            flags |= CommRts::Enable << DcbFlag::RtsControlShift;
        if (FFlowControls.Contains(cfcDtrDsr))
            flags |= DcbFlag::OutxDsrFlow | (CommDtr::Handshake << DcbFlag::DtrControlShift);
        else
            flags |= CommDtr::Enable << DcbFlag::DtrControlShift;
        if (FFlowControls.Contains(cfcXonXoff))
            flags |= DcbFlag::OutX | DcbFlag::InX;
        flags |= DcbFlag::Binary | DcbFlag::Parity;
        dcb.Flags = flags;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
    });
}

void TComm::ApplyReceiveNotifySize() {
    // Free room below which the driver holds the sender off; 16-bit
    // arithmetic, so a size above the queue's wraps.
    ChangeDcb([this](TCommDcb& dcb) {
        dcb.XoffLim = static_cast<uint16_t>(static_cast<uint32_t>(FInQueueSize) -
                                            static_cast<uint32_t>(FReceiveNotifySize));
    });
}

void TComm::ApplySendNotifySize() {
    ChangeDcb([this](TCommDcb& dcb) {
        dcb.XonLim = static_cast<uint16_t>(static_cast<uint32_t>(FSendNotifySize));
    });
}

void TComm::ApplyEventMask() {
    if (!IsOpen())
        return;
    const uint32_t mask = FEventMask.ToBits();
    // Once the watch thread runs, received characters stay in the mask: it
    // added them when it started, and OnCommReceive must not fall silent
    // because another event was chosen. The watch thread takes the wait that
    // the change ends as a mask change, not as the end of the opening.
    if (FWatch)
        FWatch->ChangeMask(mask | CommEv::Rxchar);
    else
        FPlatform->SetCommMask(FPortHandle, mask);
}

bool TComm::DsrState() const {
    if (!IsOpen())
        return false;
    uint32_t status = 0;
    FPlatform->GetCommModemStatus(FPortHandle, status);
    return (status & CommModem::DsrOn) != 0;
}

TCommNotifyEvent TComm::OnCommEvent() const {
    std::lock_guard<std::mutex> lock(FHandlerLock);
    return FOnCommEvent;
}

void TComm::SetOnCommEvent(TCommNotifyEvent Handler) {
    std::lock_guard<std::mutex> lock(FHandlerLock);
    FOnCommEvent = std::move(Handler);
}

TCommNotifyRxTxEvent TComm::OnCommReceive() const {
    std::lock_guard<std::mutex> lock(FHandlerLock);
    return FOnCommReceive;
}

void TComm::SetOnCommReceive(TCommNotifyRxTxEvent Handler) {
    std::lock_guard<std::mutex> lock(FHandlerLock);
    FOnCommReceive = std::move(Handler);
}

TCommNotifyRxTxEvent TComm::OnCommTransmit() const {
    std::lock_guard<std::mutex> lock(FHandlerLock);
    return FOnCommTransmit;
}

void TComm::SetOnCommTransmit(TCommNotifyRxTxEvent Handler) {
    std::lock_guard<std::mutex> lock(FHandlerLock);
    FOnCommTransmit = std::move(Handler);
}

// ---------------------------------------------------------------------------

void TComm::Open() {
    if (IsOpen())
        return;

    FReadOverlapped = TCommOverlapped{};
    FReadOverlapped.hEvent = FPlatform->CreateEventA();
    if (FReadOverlapped.hEvent < 0)
        throw ECommOpenError(-2);
    FWriteOverlapped = TCommOverlapped{};
    FWriteOverlapped.hEvent = FPlatform->CreateEventA();
    if (FWriteOverlapped.hEvent < 0) {
        CloseEvents();
        throw ECommOpenError(-3);
    }

    const TCommHandle handle = FPlatform->CreateFileA("COM" + std::to_string(FPort));
    if (handle < 0) {
        CloseEvents();
        throw ECommOpenError(static_cast<int32_t>(handle));
    }
    FPortHandle = handle;

    FPlatform->SetupComm(FPortHandle, FInQueueSize, FOutQueueSize);
    FPlatform->PurgeComm(FPortHandle, CommPurge::All);
    FPlatform->SetCommTimeouts(FPortHandle, FixedTimeouts);
    ApplyBaudRate();
    ApplyByteSize();
    ApplyParityBits();
    ApplyStopBits();
    ApplyFlowControls();
    ApplyReceiveNotifySize();
    ApplySendNotifySize();
    ApplyEventMask();

    try {
        FWatch.reset(new TCommWatch(this, FPortHandle, FPlatform));
    } catch (...) {
        // No thread could be started: give everything back and let the
        // caller see why.
        FPlatform->SetCommMask(FPortHandle, 0);
        FPlatform->CloseHandle(FPortHandle);
        FPortHandle = CommInvalidHandle;
        CloseEvents();
        throw;
    }
    FPlatform->EscapeCommFunction(FPortHandle, CommEscape::SetDtr);
}

void TComm::Close() {
    if (!IsOpen())
        return;

    // The stop request comes before the mask change, so that the wait the
    // change ends is taken as the end of the opening. A wait that starts
    // only after the change finds the mask empty and ends at once.
    if (FWatch)
        FWatch->RequestStop();
    FPlatform->SetCommMask(FPortHandle, 0);
    FPlatform->EscapeCommFunction(FPortHandle, CommEscape::ClrDtr);
    // Also aborts a Read that a handler may be waiting in.
    FPlatform->PurgeComm(FPortHandle, CommPurge::All);

    // Wait for the watch thread before the handle goes, so that no handler
    // runs on a closed or reused handle. When Close runs inside a handler the
    // thread cannot wait for itself: it finishes on its own after the handler
    // returns and releases itself then.
    if (FWatch) {
        if (FWatch->IsCurrentThread()) {
            FWatch.release()->ReleaseOnFinish();
        } else {
            FWatch->Join();
            FWatch.reset();
        }
    }

    FPlatform->CloseHandle(FPortHandle);
    FPortHandle = CommInvalidHandle;
    CloseEvents();
}

void TComm::CloseEvents() {
    if (FReadOverlapped.hEvent >= 0)
        FPlatform->CloseHandle(FReadOverlapped.hEvent);
    if (FWriteOverlapped.hEvent >= 0)
        FPlatform->CloseHandle(FWriteOverlapped.hEvent);
    FReadOverlapped.hEvent = CommInvalidHandle;
    FWriteOverlapped.hEvent = CommInvalidHandle;
}

uint32_t TComm::ClearErrors(TCommStat* Stat) {
    uint32_t errors = 0;
    TCommStat stat{};
    FPlatform->ClearCommError(FPortHandle, errors, stat);
    if (Stat)
        *Stat = stat;
    return errors;
}

bool TComm::FinishTransfer(TCommOverlapped& Overlapped, uint32_t& Transferred) {
    for (;;) {
        if (FPlatform->GetOverlappedResult(FPortHandle, Overlapped, Transferred, true))
            return true;
        if (FPlatform->GetLastError().Kind != TCommErrorKind::IoIncomplete)
            return false;
    }
}

void TComm::Write(const void* Buffer, int32_t Count) {
    if (!IsOpen())
        throw ECommError(CommTexts::NotStarted);
    if (Count > static_cast<int32_t>(FOutQueueSize))
        throw ECommError(CommTexts::TooLong);
    if (Count < 0)
        return; // nothing to write

    // Wait for room in the output queue. While the other side holds the
    // line's flow control off the queue does not drain; give up after the
    // write time-out.
    const auto deadline = std::chrono::steady_clock::now() + WriteRoomTimeout;
    for (;;) {
        TCommStat stat{};
        const uint32_t errors = ClearErrors(&stat);
        if (static_cast<int64_t>(FOutQueueSize) - static_cast<int64_t>(stat.cbOutQue) >= Count)
            break;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            throw ECommReadWriteError(static_cast<int32_t>(errors | CommCe::TxFull));
        // Whole milliseconds: Windows sleeps in them, and a shorter wait
        // would end at once and spin through the last one.
        std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(
            WriteRoomPause, std::chrono::ceil<std::chrono::milliseconds>(deadline - now)));
    }

    uint32_t written = 0;
    bool failed = false;
    if (!FPlatform->WriteFile(FPortHandle, Buffer, static_cast<uint32_t>(Count), written,
                              FWriteOverlapped)) {
        if (FPlatform->GetLastError().Kind != TCommErrorKind::IoPending)
            throw ECommReadWriteError(static_cast<int32_t>(ClearErrors()));
        failed = !FinishTransfer(FWriteOverlapped, written);
    }
    if (failed || written < static_cast<uint32_t>(Count)) {
        // Failed while being waited for, or cut short by the write time-out
        // (the output queue stayed full): the caller must know that not all
        // of its bytes left.
        const uint32_t errors = ClearErrors();
        throw ECommReadWriteError(static_cast<int32_t>(failed ? errors : errors | CommCe::TxFull));
    }
}

void TComm::WriteString(const std::string& Text) {
    const auto length = std::min<std::string::size_type>(Text.size(), INT32_MAX);
    Write(Text.data(), static_cast<int32_t>(length));
}

int32_t TComm::Read(void* Buffer, int32_t Count) {
    if (!IsOpen())
        throw ECommError(CommTexts::NotStarted);
    if (Count < 0)
        return 0; // nothing to read

    ClearErrors();
    uint32_t received = 0;
    if (!FPlatform->ReadFile(FPortHandle, Buffer, static_cast<uint32_t>(Count), received,
                             FReadOverlapped)) {
        if (FPlatform->GetLastError().Kind != TCommErrorKind::IoPending)
            throw ECommReadWriteError(static_cast<int32_t>(ClearErrors()));
        // A read that fails while being waited for delivers what it got.
        if (!FinishTransfer(FReadOverlapped, received))
            ClearErrors();
    }
    return static_cast<int32_t>(std::min<uint32_t>(received, static_cast<uint32_t>(Count)));
}

// ---------------------------------------------------------------------------
// Notifications, called on the watch thread.

void TComm::DoCommReceive() {
    if (!IsOpen())
        return;
    const TCommNotifyRxTxEvent handler = OnCommReceive();
    if (!handler)
        return;
    TCommStat stat{};
    ClearErrors(&stat);
    if (stat.cbInQue > 0)
        handler(this, static_cast<uint16_t>(stat.cbInQue));
    // Clear what the handler's reading left behind, unless the handler closed
    // the port: then the component is no longer this thread's to touch.
    if (!TCommWatch::LetGoOfCurrentThread())
        ClearErrors();
}

void TComm::DoCommTransmit() {
    if (!IsOpen())
        return;
    const TCommNotifyRxTxEvent handler = OnCommTransmit();
    if (!handler)
        return;
    TCommStat stat{};
    ClearErrors(&stat);
    handler(this, static_cast<uint16_t>(stat.cbOutQue));
}

void TComm::DoCommEvent(uint32_t EventWord) {
    if (!IsOpen())
        return;
    const TCommNotifyEvent handler = OnCommEvent();
    if (!handler)
        return;
    handler(this, TCommEventMask::FromBits(static_cast<uint16_t>(EventWord & LineEventBits)));
}
