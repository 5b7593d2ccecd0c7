#pragma once

// The records and codes that TComm exchanges with the serial driver. They copy
// the layout and values of the Windows communications API, so that the Win32
// backend passes them through unchanged and every other backend translates
// from the same fields. The constants live in small namespaces of their own:
// <windows.h> defines the Windows names (EV_RXCHAR, DTR_CONTROL_ENABLE, ...)
// as macros, which would break any declaration that reused them.

#include <cstddef>
#include <cstdint>

// A device or event handle of a backend. A negative value is no handle.
using TCommHandle = std::intptr_t;
constexpr TCommHandle CommInvalidHandle = -1;

// The device control block: line settings of an open port.
struct TCommDcb {
    uint32_t DCBlength;
    uint32_t BaudRate;
    uint32_t Flags; // fBinary ... fAbortOnError, see DcbFlag
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize;
    uint8_t Parity;
    uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    uint16_t wReserved1;
};
static_assert(sizeof(TCommDcb) == 28, "the device control block is 28 bytes long");
static_assert(offsetof(TCommDcb, XonLim) == 14 && offsetof(TCommDcb, ByteSize) == 18 &&
                  offsetof(TCommDcb, wReserved1) == 26,
              "the device control block keeps the driver's field offsets");

// Bits of TCommDcb::Flags.
namespace DcbFlag {
constexpr uint32_t Binary = 1u << 0;
constexpr uint32_t Parity = 1u << 1;
constexpr uint32_t OutxCtsFlow = 1u << 2;
constexpr uint32_t OutxDsrFlow = 1u << 3;
constexpr unsigned DtrControlShift = 4;
constexpr uint32_t DtrControlMask = 3u << DtrControlShift;
constexpr uint32_t DsrSensitivity = 1u << 6;
constexpr uint32_t TXContinueOnXoff = 1u << 7;
constexpr uint32_t OutX = 1u << 8;
constexpr uint32_t InX = 1u << 9;
constexpr uint32_t ErrorChar = 1u << 10;
constexpr uint32_t Null = 1u << 11;
constexpr unsigned RtsControlShift = 12;
constexpr uint32_t RtsControlMask = 3u << RtsControlShift;
constexpr uint32_t AbortOnError = 1u << 14;
} // namespace DcbFlag

// Values of the two-bit fields fDtrControl and fRtsControl.
namespace CommDtr {
constexpr uint32_t Disable = 0;
constexpr uint32_t Enable = 1;
constexpr uint32_t Handshake = 2;
} // namespace CommDtr
namespace CommRts {
constexpr uint32_t Disable = 0;
constexpr uint32_t Enable = 1;
constexpr uint32_t Handshake = 2;
constexpr uint32_t Toggle = 3;
} // namespace CommRts

inline uint32_t DcbDtrControl(uint32_t flags) {
    return (flags & DcbFlag::DtrControlMask) >> DcbFlag::DtrControlShift;
}
inline uint32_t DcbRtsControl(uint32_t flags) {
    return (flags & DcbFlag::RtsControlMask) >> DcbFlag::RtsControlShift;
}

// The driver's byte counts and status, filled by ClearCommError.
struct TCommStat {
    uint32_t Flags; // fCtsHold ... fTxim
    uint32_t cbInQue;
    uint32_t cbOutQue;
};

// Read and write time-outs in milliseconds.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout;
    uint32_t ReadTotalTimeoutMultiplier;
    uint32_t ReadTotalTimeoutConstant;
    uint32_t WriteTotalTimeoutMultiplier;
    uint32_t WriteTotalTimeoutConstant;
};
constexpr uint32_t CommMaxDword = 0xFFFFFFFFu;

// One transfer record: a read or a write that may still be in progress. Each
// record owns one manual-reset event, through which the backend keeps the
// state of the transfer.
struct TCommOverlapped {
    uint32_t Offset = 0;
    uint32_t OffsetHigh = 0;
    TCommHandle hEvent = CommInvalidHandle;
};

// Event bits of the driver's event mask and of an event word.
namespace CommEv {
constexpr uint32_t Rxchar = 0x0001;
constexpr uint32_t Rxflag = 0x0002;
constexpr uint32_t Txempty = 0x0004;
constexpr uint32_t Cts = 0x0008;
constexpr uint32_t Dsr = 0x0010;
constexpr uint32_t Rlsd = 0x0020;
constexpr uint32_t Break = 0x0040;
constexpr uint32_t Err = 0x0080;
constexpr uint32_t Ring = 0x0100;
constexpr uint32_t Perr = 0x0200;
} // namespace CommEv

// Communication error flags reported by ClearCommError.
namespace CommCe {
constexpr uint32_t RxOver = 0x0001;
constexpr uint32_t Overrun = 0x0002;
constexpr uint32_t RxParity = 0x0004;
constexpr uint32_t Frame = 0x0008;
constexpr uint32_t Break = 0x0010;
constexpr uint32_t TxFull = 0x0100;
} // namespace CommCe

// Flags of PurgeComm.
namespace CommPurge {
constexpr uint32_t TxAbort = 0x0001;
constexpr uint32_t RxAbort = 0x0002;
constexpr uint32_t TxClear = 0x0004;
constexpr uint32_t RxClear = 0x0008;
constexpr uint32_t All = TxAbort | RxAbort | TxClear | RxClear;
} // namespace CommPurge

// Functions of EscapeCommFunction.
namespace CommEscape {
constexpr uint32_t SetXoff = 1;
constexpr uint32_t SetXon = 2;
constexpr uint32_t SetRts = 3;
constexpr uint32_t ClrRts = 4;
constexpr uint32_t SetDtr = 5;
constexpr uint32_t ClrDtr = 6;
constexpr uint32_t SetBreak = 8;
constexpr uint32_t ClrBreak = 9;
} // namespace CommEscape

// Bits of GetCommModemStatus.
namespace CommModem {
constexpr uint32_t CtsOn = 0x0010;
constexpr uint32_t DsrOn = 0x0020;
constexpr uint32_t RingOn = 0x0040;
constexpr uint32_t RlsdOn = 0x0080;
} // namespace CommModem
