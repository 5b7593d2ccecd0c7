// Reading contacts from the bytes of a vCard or CSV file (the file-free part
// of TPhonebook::Load, also driven by the fuzz target).
#pragma once

#include "callers/NumberKnowledge.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvane {

struct TContact {
    std::string Name;                 // UTF-8, not empty, at most kMaxNameBytes
    std::vector<std::string> Numbers; // UTF-8 as written
    std::vector<std::string> Keys;    // MatchKey of each number, none empty
    std::size_t Line = 0;             // where the card or CSV line begins
};

struct TContactProblem {
    std::size_t Line = 0; // 0: the file as a whole
    std::string What;     // UTF-8
};

struct TContactsRead {
    std::vector<TContact> Contacts;
    // Skipped cards or lines: the first kMaxPhonebookWarnings, and the count.
    std::vector<TContactProblem> Skipped;
    std::size_t SkippedCount = 0;
    // Set when the file cannot be used at all; Contacts are then meaningless.
    std::optional<TContactProblem> Error;
};

// stop: when set (by another thread), reading ends soon with Error set.
TContactsRead ReadContacts(std::string_view bytes, const TNumberKnowledge& numbers,
                           const std::atomic<bool>* stop = nullptr);

} // namespace telvane
