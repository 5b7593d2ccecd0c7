/* ptyshim: LD_PRELOAD test equipment that gives pseudo-terminal slaves the
 * modem lines a real serial port has. Wine's WaitCommEvent reads them with
 * TIOCMGET; a pseudo-terminal refuses (ENOTTY) and Wine ends the wait, so
 * the program's watch thread would stop after the bytes already queued.
 * Only when the real call fails, and only on a pseudo-terminal slave, the
 * modem-line requests are answered here; everything else passes through.
 * The product never needs this. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* The lines the program set, by descriptor; the other side always ready. */
enum { kFds = 4096, kReady = TIOCM_CTS | TIOCM_DSR | TIOCM_CD };
static int Lines[kFds];

typedef int (*TIoctl)(int, unsigned long, ...);

static int IsPtySlave(int fd) {
    struct stat info;
    /* Unix98 pseudo-terminal slaves have the majors 136 to 143. */
    return fd >= 0 && fd < kFds && fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) &&
           major(info.st_rdev) >= 136 && major(info.st_rdev) <= 143;
}

static int Answer(int fd, unsigned long request, void* argument) {
    int* value = argument;
    int set = __atomic_load_n(&Lines[fd], __ATOMIC_RELAXED);
    switch (request) {
    case TIOCMGET:
        *value = (set & (TIOCM_DTR | TIOCM_RTS)) | kReady;
        return 0;
    case TIOCMSET:
        set = *value;
        break;
    case TIOCMBIS:
        set |= *value;
        break;
    case TIOCMBIC:
        set &= ~*value;
        break;
    case TIOCGICOUNT:
        /* No line ever changed, no error ever counted. */
        memset(argument, 0, sizeof(struct serial_icounter_struct));
        return 0;
    default:
        return -1;
    }
    __atomic_store_n(&Lines[fd], set, __ATOMIC_RELAXED);
    return 0;
}

int ioctl(int fd, unsigned long request, ...) {
    static TIoctl found;
    TIoctl real = __atomic_load_n(&found, __ATOMIC_ACQUIRE);
    if (!real) {
        /* ISO C has no cast from an object pointer to a function pointer. */
        void* symbol = dlsym(RTLD_NEXT, "ioctl");
        memcpy(&real, &symbol, sizeof real);
        __atomic_store_n(&found, real, __ATOMIC_RELEASE);
    }
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);

    const int result = real(fd, request, argument);
    if (result == 0 || argument == NULL) {
        return result;
    }
    const int error = errno;
    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCGICOUNT:
        if (IsPtySlave(fd) && Answer(fd, request, argument) == 0) {
            return 0;
        }
        break;
    default:
        break;
    }
    errno = error;
    return result;
}
