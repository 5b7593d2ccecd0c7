#include "monitor/ShiftJis.h"

namespace telvane {

std::size_t LastCharacterStart(const std::string& text) {
    // Only a walk from the start tells lead bytes from trail bytes.
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        start = i;
        const bool pair = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        i += pair ? 2 : 1;
    }
    return start;
}

} // namespace telvane
