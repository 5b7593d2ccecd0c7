#include "port/CommPort.h"

#include <algorithm>
#include <limits>

namespace telvane {

std::size_t TCommPort::Read(char* buffer, std::size_t count) {
    const auto asked = static_cast<std::int32_t>(
        std::min<std::size_t>(count, std::numeric_limits<std::int32_t>::max()));
    const std::int32_t got = Comm_.Read(buffer, asked);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

} // namespace telvane
