// The call log as the query cycle writes it. Lines that cannot be written
// wait in order and go in, before the next line, once writing works again;
// the user hears of an outage once, through a notice that does not wait.
#pragma once

#include "monitor/ProgramLocation.h"
#include "monitor/View.h"

#include <cstddef>
#include <deque>
#include <string>

namespace telvane {

class TRingLogWriter {
public:
    // Past this many waiting lines the oldest goes, and is counted.
    static constexpr std::size_t kMaxPending = 1000;

    TRingLogWriter(IProgramLocation& location, IView& view) : Location_(location), View_(view) {}

    // Queues one line and writes every waiting line.
    void Add(const std::string& lastPollTime, const std::string& ringTime,
             const std::string& callerNumber);
    // Writes the waiting lines, if any.
    void Flush();

    std::size_t Pending() const { return Pending_.size(); }

private:
    IProgramLocation& Location_;
    IView& View_;
    std::deque<std::string> Pending_;
    std::size_t Dropped_ = 0;
    bool Outage_ = false;
};

} // namespace telvane
