#include "monitor/sim/SimAdapter.h"

#include <algorithm>
#include <stdexcept>

namespace telvane::sim {

TSimAdapter::TSimAdapter() : Values_(kSlotCount) {
    SetValue(1, "IDLE");
    SetValue(2, "NORMAL");
    SetValue(3, "IDLE");
    SetValue(4, "NORMAL");
    SetValue(5, "IDLE");
    SetValue(6, "NORMAL");
    SetValue(7, "NOT USED");
    SetValue(8, "NORMAL");
    SetValue(9, "0312345678");
    SetValue(10, "BUFFER EMPTY");
}

void TSimAdapter::Ring(const std::string& number) {
    SetValue(kCallingPartySlot, number);
}

void TSimAdapter::SetValue(std::size_t slot, const std::string& value) {
    Values_.at(slot) = value;
}

std::string TSimAdapter::Line(std::size_t slot) const {
    std::string line(WatchKeys.at(slot));
    line.resize(std::max<std::size_t>(line.size() + 1, 26), ' ');
    return line + "= " + Values_.at(slot);
}

std::string TSimAdapter::Listing() const {
    std::string text = std::string(kQueryCommand) + "\n";
    text += "AtermIT SIMULATED ADAPTER\r\n";
    text += "\r\n";
    text += "INFORMATION 4\r\n";
    for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
        text += Line(slot) + "\r\n";
        if (slot == 2) {
            text += "  DATA PORT SPEED        = 64000\r\n";
        }
    }
    text += "\r\nOK\r\n";
    return text;
}

TSimPort::TSimPort(TSimScheduler& scheduler) : Scheduler_(scheduler) {}

TSimPort::~TSimPort() {
    Close();
}

void TSimPort::Open() {
    if (Open_) {
        return;
    }
    if (ExistingPorts.count(Port_) == 0) {
        throw std::runtime_error("open error");
    }
    Open_ = true;
    ++OpenCount_;
}

void TSimPort::WriteString(const std::string& text) {
    if (!Open_) {
        throw std::runtime_error("not open");
    }
    if (text != kQueryCommand || !Responder) {
        return;
    }
    ++CommandCount_;
    const auto reply = Responder(Port_);
    if (!reply) {
        return;
    }
    const std::size_t chunk = std::max<std::size_t>(reply->ChunkSize, 1);
    std::uint64_t at = Scheduler_.Now() + reply->DelayMs;
    for (std::size_t start = 0; start < reply->Bytes.size(); start += chunk) {
        Deliveries_.push_back(Scheduler_.PostAt(
            at, [this, piece = reply->Bytes.substr(start, chunk)] { Deliver(piece); }));
        at += reply->ChunkGapMs;
    }
}

void TSimPort::Deliver(std::string chunk) {
    Input_ += chunk;
    if (OnReceive && !Input_.empty()) {
        OnReceive(static_cast<std::uint16_t>(std::min<std::size_t>(Input_.size(), 0xFFFF)));
    }
}

void TSimPort::Close() {
    if (!Open_) {
        return;
    }
    for (const auto id : Deliveries_) {
        Scheduler_.Cancel(id);
    }
    Deliveries_.clear();
    Input_.clear();
    Open_ = false;
}

std::size_t TSimPort::Read(char* buffer, std::size_t count) {
    if (!Open_) {
        throw std::runtime_error("not open");
    }
    const std::size_t n = std::min(count, Input_.size());
    std::copy_n(Input_.begin(), n, buffer);
    Input_.erase(0, n);
    return n;
}

} // namespace telvane::sim
