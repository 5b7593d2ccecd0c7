// Giving memory freed by a large structure back to the system.
#pragma once

namespace telvane {

// Freed blocks of middling size stay with the allocator for reuse; a window
// closed after holding a long call log should not keep them for months.
void ReturnFreedMemory();

} // namespace telvane
