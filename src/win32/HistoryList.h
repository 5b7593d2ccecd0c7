// The rows of the call history window: the calls of RingLog.txt, newest
// first, with the formatted number, the name or area, and how often that
// number called. Read incrementally, so a window left open follows the log.
#pragma once

#include "callers/CallLogIndex.h"
#include "win32/WhoCalled.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace telvane::win32 {

struct THistoryRow {
    std::string Time;    // the ring time as logged
    std::string Number;  // the caller text as logged (Shift_JIS)
    std::string Display; // UTF-8: formatted, or the text itself
    std::string Who;     // UTF-8: name or area
    std::size_t Count = 0;
};

class THistoryList {
public:
    THistoryList(const TWhoCalled& who, std::filesystem::path log);

    // Reads what the log gained (all of it the first time, or after it was
    // replaced); returns whether the rows changed.
    bool Refresh();
    std::size_t size() const { return Index_.Calls(); }
    // row 0 is the newest call.
    THistoryRow Row(std::size_t row) const;
    const std::string& NumberAt(std::size_t row) const;
    std::size_t Skipped() const { return Index_.Skipped(); }

private:
    const TWhoCalled& Who_;
    TCallLogIndex Index_;
};

} // namespace telvane::win32
