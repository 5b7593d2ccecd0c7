// The lines of the call log RingLog.txt, read a bounded piece at a time, and
// what a call line holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace telvane {

// A call line as the monitor writes it: "previous poll,ring time,number",
// Shift_JIS, where the number is everything after the second comma.
struct TCallLine {
    std::string_view PreviousPoll; // may be empty (first run)
    std::string_view RingTime;
    std::string_view Number; // may hold commas
};

// line: without its line end. False when it is no call line (damaged by
// another program, or holding a control byte such as Ctrl-Z).
bool ParseCallLine(std::string_view line, TCallLine& call);

// Whole lines of the log from an offset on. A line holding a byte 26
// (Ctrl-Z) is a line like any other: the monitor cuts only a Ctrl-Z near
// the end, so the lines after it stay. A last line without its line end (a
// half-written line, or a Ctrl-Z ending the file) is left for a later read.
class TCallLogScanner {
public:
    struct TLine {
        std::uint64_t Offset = 0;
        std::string_view Text; // without CR LF; valid until the next Next()
        // Longer than any call line; Text is empty then.
        bool TooLong = false;
    };

    // Starts at fromOffset, or at the file's start when the text before it no
    // longer ends a line (the file shrank or was replaced: Restarted()). A
    // missing file has no lines.
    TCallLogScanner(const std::filesystem::path& log, std::uint64_t fromOffset);

    // The next whole line that is not blank; none at the end of the whole
    // lines.
    std::optional<TLine> Next();
    // After the last whole line handed out (or skipped as blank).
    std::uint64_t Offset() const { return Offset_; }
    bool Restarted() const { return Restarted_; }
    // The file's size when it was opened.
    std::uint64_t FileBytes() const { return FileBytes_; }

private:
    bool Fill();

    std::ifstream In_;
    std::string Buffer_;
    std::size_t Begin_ = 0; // where the line being looked at starts in Buffer_
    std::size_t End_ = 0;   // the bytes read into Buffer_
    std::uint64_t Offset_ = 0;
    std::uint64_t FileBytes_ = 0;
    bool Restarted_ = false;
};

} // namespace telvane
