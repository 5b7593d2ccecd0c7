#pragma once

// Serial functions that POSIX leaves out and each kernel offers in its own
// way: speeds outside the Bnnn constants, the driver's line error counters and
// RTS toggling around transmissions. On failure each returns false with errno
// set; ENOTTY, EINVAL or ENOTSUP mean that the device or system lacks it.

#include <cstdint>

struct TPosixLineCounters {
    uint64_t Frame = 0;
    uint64_t Overrun = 0;
    uint64_t Parity = 0;
    uint64_t Break = 0;
    uint64_t BufferOverrun = 0;
};

// Sets both directions to Rate bits per second; call after tcsetattr, which
// knows only the standard rates.
bool PosixSetCustomSpeed(int Fd, uint32_t Rate);
// The output rate when the device runs at a rate that has no Bnnn constant.
bool PosixGetCustomSpeed(int Fd, uint32_t& Rate);
bool PosixGetLineCounters(int Fd, TPosixLineCounters& Counters);
// Let the driver raise RTS while it transmits and drop it afterwards.
bool PosixSetRtsToggle(int Fd, bool On);
