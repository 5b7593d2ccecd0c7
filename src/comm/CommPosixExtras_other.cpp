// The extra serial functions on POSIX systems other than Linux: only the
// standard rates, no error counters, no RTS toggling.

#include "comm/CommPosixExtras.h"

#include <cerrno>

bool PosixSetCustomSpeed(int, uint32_t) {
    errno = ENOTSUP;
    return false;
}

bool PosixGetCustomSpeed(int, uint32_t&) {
    errno = ENOTSUP;
    return false;
}

bool PosixGetLineCounters(int, TPosixLineCounters&) {
    errno = ENOTSUP;
    return false;
}

bool PosixSetRtsToggle(int, bool) {
    errno = ENOTSUP;
    return false;
}
