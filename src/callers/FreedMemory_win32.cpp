#include "callers/FreedMemory.h"

#include <malloc.h>

namespace telvane {

void ReturnFreedMemory() {
    // The C runtime's heap keeps freed blocks for reuse until told.
    ::_heapmin();
}

} // namespace telvane
