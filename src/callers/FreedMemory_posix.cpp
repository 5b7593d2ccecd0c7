#include "callers/FreedMemory.h"

#include <cstdlib> // defines __GLIBC__ on glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace telvane {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    // glibc keeps freed heap pages below its top, and blocks under its
    // (raised) mmap threshold, until trimmed.
    ::malloc_trim(0);
#endif
}

} // namespace telvane
