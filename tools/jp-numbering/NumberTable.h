// What the generator compiles: for each national significant number length,
// ranges of numbers that the library reads alike, and what it reads.
#pragma once

#include "callers/NumberReader.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace telvane::jp {

// The national format as groups of the national significant number joined by
// "-", the first after the national prefix when WithNationalPrefix.
struct TGrouping {
    bool WithNationalPrefix = false;
    std::vector<int> Groups;

    bool operator<(const TGrouping& other) const {
        return std::tie(WithNationalPrefix, Groups) <
               std::tie(other.WithNationalPrefix, other.Groups);
    }
    bool operator==(const TGrouping& other) const { return !(*this < other) && !(other < *this); }
};

struct TReading {
    // Whether the general pattern matches: decides whether a leading national
    // prefix is taken off while parsing.
    bool Viable = false;
    ENumberKind Kind = ENumberKind::nkUnknown; // nkUnknown: no valid number
    TGrouping Grouping;
    std::string AreaJa; // UTF-8, only for geographical kinds
    std::string AreaEn;

    auto Tied() const { return std::tie(Viable, Kind, Grouping, AreaJa, AreaEn); }
    bool operator<(const TReading& other) const { return Tied() < other.Tied(); }
    bool operator==(const TReading& other) const { return Tied() == other.Tied(); }
    bool operator!=(const TReading& other) const { return !(*this == other); }
};

// Numbers of Length digits from Start (leading zeros count) up to the next
// range's Start.
struct TRange {
    int Length = 0;
    std::uint64_t Start = 0;
    TReading Reading;
};

// The country-wide facts that parsing needs.
struct TCountryFacts {
    std::string CountryCode;          // "81"
    std::string InternationalPrefix;  // dialled before another country's code
    std::string NationalPrefix;       // "0"
    std::vector<int> PossibleLengths; // of a national significant number
    std::vector<int> LocalOnlyLengths;
};

struct TNumberTable {
    TCountryFacts Facts;
    std::vector<TRange> Ranges; // by length, then start
};

} // namespace telvane::jp
