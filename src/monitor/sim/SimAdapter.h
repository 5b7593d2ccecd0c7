// A simulated terminal adapter and the port that leads to it, on the
// simulated clock.
#pragma once

#include "monitor/Port.h"
#include "monitor/Snapshot.h"
#include "monitor/sim/SimScheduler.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace telvane::sim {

// The device's state: what its diagnosis listing says.
class TSimAdapter {
public:
    TSimAdapter();

    // A call comes in: the calling-party line names the number from now on.
    void Ring(const std::string& number);
    // The value after "=" of a watched line, for slots 1 to 10.
    void SetValue(std::size_t slot, const std::string& value);
    const std::string& Value(std::size_t slot) const { return Values_.at(slot); }

    // The watched line of a slot as the adapter prints it: the keyword padded
    // to a column, "= ", the value.
    std::string Line(std::size_t slot) const;
    // The whole reply to the query command: the echoed command, the identity
    // line, the listing with lines the monitor ignores, and "OK"; CR LF ends.
    std::string Listing() const;

private:
    std::vector<std::string> Values_;
};

// How the adapter answers one query.
struct TSimReply {
    std::string Bytes;
    // From the command to the first byte.
    std::uint64_t DelayMs = 200;
    // Bytes per receive notification and the gap between them; a 9600 bit/s
    // line carries about one byte per millisecond.
    std::size_t ChunkSize = 64;
    std::uint64_t ChunkGapMs = 64;
};

// The serial port as the monitor sees it, leading to a simulated adapter.
class TSimPort final : public IPort {
public:
    explicit TSimPort(TSimScheduler& scheduler);
    ~TSimPort() override;

    // The monitor's receive notification.
    std::function<void(std::uint16_t)> OnReceive;
    // Answers a query command on a port; nullopt: the adapter stays silent.
    std::function<std::optional<TSimReply>(std::uint8_t port)> Responder;
    // Port numbers whose device exists.
    std::set<std::uint8_t> ExistingPorts = {1};

    void SetPort(std::uint8_t number) override { Port_ = number; }
    void Open() override;
    void WriteString(const std::string& text) override;
    void Close() override;
    std::size_t Read(char* buffer, std::size_t count) override;

    bool IsOpen() const { return Open_; }
    std::uint8_t Port() const { return Port_; }
    int OpenCount() const { return OpenCount_; }
    int CommandCount() const { return CommandCount_; }

private:
    void Deliver(std::string chunk);

    TSimScheduler& Scheduler_;
    std::uint8_t Port_ = 1;
    bool Open_ = false;
    int OpenCount_ = 0;
    int CommandCount_ = 0;
    std::string Input_;
    std::vector<TSimScheduler::TEventId> Deliveries_;
};

} // namespace telvane::sim
