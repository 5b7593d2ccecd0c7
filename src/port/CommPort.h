// The monitor's port on the serial component, shared by both shells.
#pragma once

#include "comm/Comm.h"
#include "monitor/Port.h"

namespace telvane {

class TCommPort final : public IPort {
public:
    explicit TCommPort(TComm& comm) : Comm_(comm) {}

    void SetPort(std::uint8_t number) override { Comm_.SetPort(number); }
    void Open() override { Comm_.Open(); }
    void WriteString(const std::string& text) override { Comm_.WriteString(text); }
    void Close() override { Comm_.Close(); }
    std::size_t Read(char* buffer, std::size_t count) override;

private:
    TComm& Comm_;
};

} // namespace telvane
