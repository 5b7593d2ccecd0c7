// The call log RingLog.txt as the history shows it, kept small: per call only
// where its line starts and who called; the text of a call is read from the
// file when it is shown. Follows the log as it grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
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

// Calls read from the log, to be added to a TCallLogIndex (possibly read on
// another thread than the one that keeps the index).
struct TCallLogPiece {
    // The file no longer continues what was read before (it shrank or was
    // replaced): this piece starts at its start.
    bool Restarted = false;
    std::vector<std::uint64_t> Offsets; // of each call's line
    std::vector<std::uint32_t> Callers; // of each call, into Texts
    std::vector<std::string> Texts;     // the distinct caller texts
    std::size_t Skipped = 0;            // lines that are no call lines
    std::uint64_t StartOffset = 0;      // where the piece starts
    std::uint64_t EndOffset = 0;        // after the last whole line read
    std::uint64_t FileBytes = 0;        // the file's size then
    bool More = false;                  // the piece stopped before the end
};

// Reads the log a piece at a time from where the last piece ended.
class TCallLogReader {
public:
    explicit TCallLogReader(std::filesystem::path log) : Log_(std::move(log)) {}
    // At most maxLines lines (calls and others) at a time.
    TCallLogPiece Read(std::size_t maxLines = 16384);

private:
    std::filesystem::path Log_;
    std::uint64_t Offset_ = 0;
};

class TCallLogIndex {
public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    explicit TCallLogIndex(std::filesystem::path log) : Log_(std::move(log)) {}

    // Reads all that the log gained since; with numbers, keys the new
    // callers too. Returns whether the calls changed.
    bool Update(const TNumberKnowledge* numbers = nullptr);
    // A piece read by a TCallLogReader of the same log; a restarted piece
    // first forgets every call.
    void Add(const TCallLogPiece& piece);

    std::size_t Calls() const { return CallerOf_.size(); }
    std::size_t Skipped() const { return Skipped_; }
    // After the last whole line read.
    std::uint64_t EndOffset() const { return EndOffset_; }
    // Call 0 is the oldest. The call read back from the log; none when the
    // file no longer holds it there.
    std::optional<TCallRecord> Call(std::size_t call) const;
    std::uint32_t CallerOf(std::size_t call) const { return CallerOf_[call]; }

    // Each distinct caller text, in the order of its first call.
    std::size_t Callers() const { return Texts_.size(); }
    const std::string& Text(std::uint32_t caller) const { return *Texts_[caller]; }
    // How often the caller called: the calls of every caller with the same
    // key (one number written two ways), or of this very text while it has
    // none or before it was keyed.
    std::size_t CountOf(std::uint32_t caller) const;

    // Callers [0, Keyed()) have their key; keys come in that order.
    std::size_t Keyed() const { return Keyed_; }
    // keys: TNumberKnowledge::CallerKey of the callers from Keyed() on.
    void AddKeys(const std::vector<std::string>& keys);
    // The keys came from another region.
    void ForgetKeys();

private:
    void Clear();

    std::filesystem::path Log_;
    TCallLogReader Reader_{Log_};
    std::uint64_t OffsetOf(std::size_t call) const;

    // Where each call's line starts: the low 32 bits, and the first call
    // past each further 4 GiB of the file (a log is rarely that long).
    std::vector<std::uint32_t> Offsets_;
    std::vector<std::size_t> HighStarts_;
    std::vector<std::uint32_t> CallerOf_;
    std::size_t Skipped_ = 0;
    std::uint64_t EndOffset_ = 0;
    std::unordered_map<std::string, std::uint32_t> CallerIds_;
    std::vector<const std::string*> Texts_; // the keys of CallerIds_
    std::vector<std::uint32_t> CallsOf_;
    std::size_t Keyed_ = 0;
    std::vector<std::uint32_t> KeyOf_; // per keyed caller; kNone for no key
    std::unordered_map<std::string, std::uint32_t> KeyIds_;
    std::vector<std::uint32_t> CallsOfKey_;
};

// Which calls of the log before endOffset have a ring time that holds text
// (ASCII, any case), by their number in the log's order: one bit per call,
// so that it stays small however many match. Empty when stop() said so
// (asked now and then).
std::vector<bool> CallsAtTimes(const std::filesystem::path& log, const std::string& text,
                               std::uint64_t endOffset, const std::function<bool()>& stop);

} // namespace telvane
