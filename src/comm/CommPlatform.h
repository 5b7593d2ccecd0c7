#pragma once

// The thin layer between TComm and the operating system's serial driver. Each
// operation does what the Windows call of the same name does; the Win32
// backend passes the calls through, the POSIX backend reproduces them with
// termios, ioctl and poll, and the tests record them. Every operation that
// returns bool reports failure with false and leaves the reason for
// GetLastError on the calling thread.
//
// Not part of the public interface: only TComm, the backends and the tests
// include it.

#include "comm/CommRecords.h"

#include <cstdint>
#include <memory>
#include <string>

// Our own kinds of operating-system error. Each backend maps its native error
// numbers to these in one function.
enum class TCommErrorKind {
    None,
    IoPending,        // the transfer goes on in the background
    IoIncomplete,     // the transfer has not ended yet
    OperationAborted, // PurgeComm or closing the handle ended the transfer
    InvalidHandle,    // no such open handle
    NotFound,         // the device does not exist
    InUse,            // the device is held by another opening
    AccessDenied,     // no permission
    InvalidParameter, // a value the driver does not accept
    NotSupported,     // the device does not offer this function (e.g. no modem lines)
    DeviceGone,       // the device was removed or the other side hung up
    OutOfResources,   // no memory, descriptors or kernel objects left
    Other,
};

struct TCommLastError {
    TCommErrorKind Kind = TCommErrorKind::None;
    int Code = 0;        // the native error number (errno or GetLastError)
    std::string Message; // the system's own text for Code
};

class TCommPlatform {
public:
    virtual ~TCommPlatform() = default;

    // An unnamed manual-reset event, not signalled. CommInvalidHandle on failure.
    virtual TCommHandle CreateEventA() = 0;
    // Opens the device "COMn" for reading and writing, exclusively. Returns
    // CommInvalidHandle (-1) on failure.
    virtual TCommHandle CreateFileA(const std::string& Name) = 0;
    // Releases a device or event handle.
    virtual bool CloseHandle(TCommHandle Handle) = 0;

    virtual bool SetupComm(TCommHandle Port, uint32_t InQueue, uint32_t OutQueue) = 0;
    virtual bool PurgeComm(TCommHandle Port, uint32_t Flags) = 0;
    virtual bool SetCommTimeouts(TCommHandle Port, const TCommTimeouts& Timeouts) = 0;
    virtual bool GetCommState(TCommHandle Port, TCommDcb& Dcb) = 0;
    virtual bool SetCommState(TCommHandle Port, const TCommDcb& Dcb) = 0;

    virtual bool GetCommMask(TCommHandle Port, uint32_t& Mask) = 0;
    // Replaces the event mask. A wait pending at that moment ends with the
    // event word 0; a wait that starts later is not affected.
    virtual bool SetCommMask(TCommHandle Port, uint32_t Mask) = 0;
    // Blocks until an event of the mask occurs. Events that occurred while no
    // wait was pending end the next wait at once. With an empty mask the wait
    // ends at once, with the word 0 or an error (the Windows driver refuses
    // it): Close relies on that for a wait that starts after its mask change.
    virtual bool WaitCommEvent(TCommHandle Port, uint32_t& EventWord) = 0;

    // Reports and clears the error flags (CommCe) and fills the queue counts.
    virtual bool ClearCommError(TCommHandle Port, uint32_t& Errors, TCommStat& Stat) = 0;
    virtual bool GetCommModemStatus(TCommHandle Port, uint32_t& Status) = 0;
    virtual bool EscapeCommFunction(TCommHandle Port, uint32_t Function) = 0;

    // Start a transfer. True: it ended at once and Transferred holds the count.
    // False with IoPending: GetOverlappedResult finishes it.
    virtual bool ReadFile(TCommHandle Port, void* Buffer, uint32_t Count, uint32_t& Transferred,
                          TCommOverlapped& Overlapped) = 0;
    virtual bool WriteFile(TCommHandle Port, const void* Buffer, uint32_t Count,
                           uint32_t& Transferred, TCommOverlapped& Overlapped) = 0;
    // The end of a transfer started on Overlapped; with Wait it blocks until
    // then, without it fails with IoIncomplete while the transfer goes on.
    virtual bool GetOverlappedResult(TCommHandle Port, TCommOverlapped& Overlapped,
                                     uint32_t& Transferred, bool Wait) = 0;

    // Why the calling thread's last failed operation failed.
    virtual TCommLastError GetLastError() = 0;
};

// The backend of the system the program runs on; one instance per process.
std::shared_ptr<TCommPlatform> CommNativePlatform();
