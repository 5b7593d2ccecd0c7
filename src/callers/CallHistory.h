// Reading the call log RingLog.txt back for the history window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace telvane {

class TNumberKnowledge;

struct TCallRecord {
    std::string PreviousPoll; // may be empty (first run)
    std::string RingTime;
    std::string Number; // Shift_JIS, as in the log; may hold commas
};

struct THistoryRead {
    std::vector<TCallRecord> Calls; // oldest first, newest last
    // Where the next incremental read starts: after the last whole line.
    std::uint64_t EndOffset = 0;
    // Lines that are not call lines (damaged by other programs).
    std::size_t Skipped = 0;
    // The file no longer continues what was read before (it shrank or was
    // replaced): Calls hold the whole file, read from its start.
    bool Restarted = false;
};

// Reads the log as the monitor writes it: Shift_JIS, lines ended by CR LF,
// "previous poll,ring time,number" where the number is everything after the
// second comma. A line holding a byte 26 (Ctrl-Z) is no call line: the
// monitor cuts only a Ctrl-Z near the end, so the lines after it stay. A
// last line without its line end (a half-written line, or a Ctrl-Z ending
// the file) is left for the next read.
// With fromOffset = an earlier EndOffset, only what was appended since is
// read. A missing file reads as empty.
THistoryRead ReadCallHistory(const std::filesystem::path& log, std::uint64_t fromOffset = 0);

// How often each number called: by its MatchKey, so that one number written
// two ways counts once, or by the text itself when it has no key.
class TCallCounter {
public:
    explicit TCallCounter(const TNumberKnowledge& numbers) : Numbers_(numbers) {}
    void Add(const std::vector<TCallRecord>& calls);
    std::size_t CountOf(const std::string& number) const;
    void Clear();

private:
    const std::string& KeyOf(const std::string& number) const;

    const TNumberKnowledge& Numbers_;
    mutable std::unordered_map<std::string, std::string> KeyCache_;
    std::unordered_map<std::string, std::size_t> Counts_;
};

} // namespace telvane
