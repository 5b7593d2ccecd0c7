// Linux versions of the extra serial functions. This file has to stay apart
// from the rest of the backend: <asm/termbits.h>, which declares termios2 for
// arbitrary speeds, redefines struct termios and cannot share a translation
// unit with <termios.h>.

#include "comm/CommPosixExtras.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace {
int IoctlRetry(int Fd, unsigned long Request, void* Argument) {
    int result = 0;
    do {
        result = ioctl(Fd, Request, Argument);
    } while (result < 0 && errno == EINTR);
    return result;
}
} // namespace

bool PosixSetCustomSpeed(int Fd, uint32_t Rate) {
    struct termios2 settings {};
    if (IoctlRetry(Fd, TCGETS2, &settings) < 0)
        return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = Rate;
    settings.c_ospeed = Rate;
    return IoctlRetry(Fd, TCSETS2, &settings) == 0;
}

bool PosixGetCustomSpeed(int Fd, uint32_t& Rate) {
    struct termios2 settings {};
    if (IoctlRetry(Fd, TCGETS2, &settings) < 0)
        return false;
    Rate = settings.c_ospeed;
    return true;
}

bool PosixGetLineCounters(int Fd, TPosixLineCounters& Counters) {
    struct serial_icounter_struct counts {};
    if (IoctlRetry(Fd, TIOCGICOUNT, &counts) < 0)
        return false;
    Counters.Frame = static_cast<uint32_t>(counts.frame);
    Counters.Overrun = static_cast<uint32_t>(counts.overrun);
    Counters.Parity = static_cast<uint32_t>(counts.parity);
    Counters.Break = static_cast<uint32_t>(counts.brk);
    Counters.BufferOverrun = static_cast<uint32_t>(counts.buf_overrun);
    return true;
}

bool PosixSetRtsToggle(int Fd, bool On) {
    struct serial_rs485 rs485 {};
    if (IoctlRetry(Fd, TIOCGRS485, &rs485) < 0)
        return false;
    if (On)
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    else
        rs485.flags &= ~static_cast<__u32>(SER_RS485_ENABLED);
    return IoctlRetry(Fd, TIOCSRS485, &rs485) == 0;
}
