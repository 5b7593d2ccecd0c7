// The user's contacts: names for numbers, read from a vCard or CSV file.
#pragma once

#include "callers/NumberKnowledge.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace telvane {

// Limits that keep a hostile or mistaken file from costing unbounded time or
// memory. A file beyond the size or card limit is refused as a whole; a card
// beyond a per-card limit is skipped.
inline constexpr std::uintmax_t kMaxPhonebookFileBytes = 64u * 1024 * 1024;
inline constexpr std::size_t kMaxPhonebookCards = 100000;
// One logical (unfolded) line; longer lines (embedded photos) are dropped.
inline constexpr std::size_t kMaxPhonebookLineBytes = 64 * 1024;
// A name in bytes of UTF-8 (about 85 to 256 characters); a longer one is cut
// before a character.
inline constexpr std::size_t kMaxNameBytes = 256;
// TEL lines read per card, and in the whole file (a file beyond is refused).
inline constexpr std::size_t kMaxNumbersPerCard = 32;
inline constexpr std::size_t kMaxPhonebookNumbers = 200000;
// Skipped cards reported in detail; the rest are only counted.
inline constexpr std::size_t kMaxPhonebookWarnings = 20;

struct TPhonebookEntry {
    std::string Name;                 // UTF-8
    std::vector<std::string> Numbers; // UTF-8, as written in the file
};

struct TPhonebookError {
    std::string File;     // UTF-8 path
    std::size_t Line = 0; // 1-based; 0 when the problem is the file as a whole
    std::string What;     // UTF-8, in the language of the number knowledge
};

class TPhonebook {
public:
    // Reads a vCard (2.1, 3.0, 4.0) or CSV ("number,name" per line) file in
    // UTF-8, Shift_JIS or UTF-16 with a byte order mark. On error (nothing
    // usable in it) returns it and leaves the book as it was, so the last
    // good one stays in use. Cards that cannot be used, damaged ones
    // included, are skipped (see Warnings).
    // stop: when set (by another thread), reading ends soon as an error.
    std::optional<TPhonebookError> Load(const std::filesystem::path& file,
                                        const TNumberKnowledge& numbers,
                                        const std::atomic<bool>* stop = nullptr);
    // UTF-8 name for a TNumberInfo::MatchKey.
    std::optional<std::string> NameFor(const std::string& matchKey) const;
    std::size_t size() const { return Names_.size(); }

    // Cards or lines the last successful Load skipped: the first
    // kMaxPhonebookWarnings in detail, and how many in all.
    const std::vector<TPhonebookError>& Warnings() const { return Warnings_; }
    std::size_t SkippedCount() const { return Skipped_; }

private:
    std::vector<std::string> Names_;
    std::unordered_map<std::string, std::size_t> ByKey_;
    std::vector<TPhonebookError> Warnings_;
    std::size_t Skipped_ = 0;
};

// Raised by AddToOwnPhonebook; the message is UTF-8 English with the cause.
class EPhonebookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Gives number the name in Telvane's OWN phonebook file (never a file the user
// only pointed Telvane at): a vCard 4.0 card (FN + TEL) is appended, replacing
// the card Telvane wrote earlier for the same number; an empty name removes
// that card. Cards not written by Telvane stay byte for byte. The file is
// replaced atomically (temporary file + rename), so a reader sees the old or
// the new file, never half of one. number: the caller text (digits, "+",
// separators, "/sub-address"); name: UTF-8.
void AddToOwnPhonebook(const std::filesystem::path& ownFile, const std::string& name,
                       const std::string& number);

} // namespace telvane
