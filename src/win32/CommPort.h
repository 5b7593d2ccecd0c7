// The monitor's port on the serial component.
#pragma once

#include "comm/Comm.h"
#include "monitor/Port.h"

namespace telvane::win32 {

class TCommPort final : public IPort {
public:
    explicit TCommPort(TComm& comm) : Comm_(comm) {}

    void SetPort(std::uint8_t number) override { Comm_.SetPort(number); }
    void Open() override { Comm_.Open(); }
    void WriteString(const std::string& text) override { Comm_.WriteString(text); }
    void Close() override { Comm_.Close(); }
    std::size_t Read(char* buffer, std::size_t count) override {
        const auto asked = static_cast<std::int32_t>(count > 0x7FFFFFFF ? 0x7FFFFFFF : count);
        const std::int32_t got = Comm_.Read(buffer, asked);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

private:
    TComm& Comm_;
};

} // namespace telvane::win32
