#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace telvane {

// The serial port to the terminal adapter, as the monitor sees it. Errors are
// raised as exceptions whose what() is a Shift_JIS message.
class IPort {
public:
    virtual ~IPort() = default;
    // The number of the port that Open opens ("COM" + number).
    virtual void SetPort(std::uint8_t number) = 0;
    // Does nothing when the port is already open.
    virtual void Open() = 0;
    virtual void WriteString(const std::string& text) = 0;
    // Ends the receive notifications: once Close returns, no notification of
    // that opening runs any more. Does nothing when the port is closed.
    virtual void Close() = 0;
    // Reads up to count waiting bytes; returns how many were delivered.
    // Called on the port's watch thread from the receive notification.
    virtual std::size_t Read(char* buffer, std::size_t count) = 0;
};

} // namespace telvane
