// Byte-level facts of the Shift_JIS code page that the monitor needs.
#pragma once

#include <cstddef>
#include <string>

namespace telvane {

// Whether a byte starts a two-byte character.
inline bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The index of the first byte of the text's last character (the text must
// not be empty). A lead byte at the very end counts as a character alone.
std::size_t LastCharacterStart(const std::string& text);

} // namespace telvane
