// Every pattern the library matches against a national significant number,
// and every prefix its geocoder names, cuts the numbers of each length into
// ranges; inside a range no pattern can tell two numbers apart, so one number
// read by the library tells the whole range. The lowest, middle and highest
// numbers of each range are read all the same, to catch any cut this misses.
#include "TableBuilder.h"

#include "DigitPattern.h"
#include "LibraryData.h"
#include "NumberOracle.h"

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <list>
#include <set>
#include <stdexcept>

namespace telvane::jp {

namespace pn = i18n::phonenumbers;

namespace {

// Longest national significant number the library parses; and the range of
// std::uint64_t in digits.
constexpr int kLongestNumber = 17;

std::uint64_t PowerOfTen(int exponent) {
    std::uint64_t value = 1;
    while (exponent-- > 0) {
        value *= 10;
    }
    return value;
}

bool IsDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The digits a sequence fixes before its free tail, as every prefix value
// they allow.
struct TPrefixes {
    std::size_t Length = 0; // of the whole sequence
    int Fixed = 0;          // digits before the free tail
    std::vector<std::uint64_t> Values;
};

TPrefixes PrefixesOf(const TDigitClasses& sequence) {
    TPrefixes prefixes;
    prefixes.Length = sequence.size();
    prefixes.Fixed = static_cast<int>(sequence.size());
    while (prefixes.Fixed > 0 && sequence[prefixes.Fixed - 1] == kAnyDigit) {
        --prefixes.Fixed;
    }
    prefixes.Values = {0};
    for (int i = 0; i < prefixes.Fixed; ++i) {
        std::vector<std::uint64_t> longer;
        for (const std::uint64_t value : prefixes.Values) {
            for (int d = 0; d <= 9; ++d) {
                if ((sequence[i] >> d) & 1) {
                    longer.push_back(value * 10 + static_cast<std::uint64_t>(d));
                }
            }
        }
        prefixes.Values = std::move(longer);
    }
    return prefixes;
}

// What matches against a number: in full (a number pattern) or at its start
// (a leading-digits pattern, a geocoder prefix).
struct TCuts {
    std::vector<TPrefixes> Whole;
    std::vector<TPrefixes> Leading;

    void Add(const std::string& pattern, bool leading) {
        if (pattern.empty()) {
            return;
        }
        for (const auto& sequence : ExpandDigitPattern(pattern)) {
            (leading ? Leading : Whole).push_back(PrefixesOf(sequence));
        }
    }

    std::set<std::uint64_t> PointsFor(int length) const {
        std::set<std::uint64_t> points = {0, PowerOfTen(length)};
        const auto add = [&](const TPrefixes& prefixes) {
            const std::uint64_t scale = PowerOfTen(length - prefixes.Fixed);
            for (const std::uint64_t value : prefixes.Values) {
                points.insert(value * scale);
                points.insert((value + 1) * scale);
            }
        };
        for (const auto& prefixes : Whole) {
            if (prefixes.Length == static_cast<std::size_t>(length)) {
                add(prefixes);
            }
        }
        for (const auto& prefixes : Leading) {
            if (prefixes.Length <= static_cast<std::size_t>(length)) {
                add(prefixes);
            }
        }
        return points;
    }
};

std::string Padded(std::uint64_t value, int length) {
    std::string digits = std::to_string(value);
    return std::string(static_cast<std::size_t>(length) - digits.size(), '0') + digits;
}

std::string Literal(const std::string& text, const char* what) {
    if (!IsDigits(text)) {
        throw std::runtime_error(std::string(what) + " \"" + text + "\" is not plain digits");
    }
    return text;
}

TCountryFacts FactsOf(const pn::PhoneMetadata& metadata) {
    TCountryFacts facts;
    facts.CountryCode = std::to_string(metadata.country_code());
    std::list<std::string> codes;
    pn::PhoneNumberUtil::GetInstance()->GetRegionCodesForCountryCallingCode(metadata.country_code(),
                                                                            &codes);
    if (codes.size() != 1 || codes.front() != metadata.id()) {
        throw std::runtime_error("country code " + facts.CountryCode + " is shared");
    }
    facts.InternationalPrefix = Literal(metadata.international_prefix(), "international prefix");
    facts.NationalPrefix = Literal(metadata.national_prefix(), "national prefix");
    if (!metadata.national_prefix_for_parsing().empty() &&
        metadata.national_prefix_for_parsing() != facts.NationalPrefix) {
        throw std::runtime_error("national prefix for parsing differs from the national prefix");
    }
    if (!metadata.national_prefix_transform_rule().empty()) {
        throw std::runtime_error("national prefix transform rule");
    }
    const auto& general = metadata.general_desc();
    facts.PossibleLengths.assign(general.possible_length().begin(),
                                 general.possible_length().end());
    facts.LocalOnlyLengths.assign(general.possible_length_local_only().begin(),
                                  general.possible_length_local_only().end());
    for (const int length : facts.PossibleLengths) {
        if (length < 2 || length > kLongestNumber) {
            throw std::runtime_error("possible length " + std::to_string(length));
        }
    }
    return facts;
}

std::vector<const pn::PhoneNumberDesc*> DescriptionsOf(const pn::PhoneMetadata& m) {
    return {
        &m.general_desc(), &m.fixed_line(),  &m.mobile(),          &m.toll_free(),
        &m.premium_rate(), &m.shared_cost(), &m.personal_number(), &m.voip(),
        &m.pager(),        &m.uan(),         &m.voicemail(),       &m.no_international_dialling()};
}

// Every pattern and geocoder prefix that can tell numbers apart.
TCuts CutsOf(const pn::PhoneMetadata& metadata) {
    TCuts cuts;
    for (const auto* description : DescriptionsOf(metadata)) {
        cuts.Add(description->national_number_pattern(), false);
    }
    for (const auto& format : metadata.number_format()) {
        cuts.Add(format.pattern(), false);
        for (const auto& leading : format.leading_digits_pattern()) {
            cuts.Add(leading, true);
        }
    }
    for (const char* language : {"ja", "en"}) {
        const auto prefixes = GeocoderPrefixes(metadata.country_code(), language);
        if (prefixes.empty()) {
            throw std::runtime_error(std::string("the geocoder has no ") + language + " table");
        }
        for (const auto& prefix : prefixes) {
            cuts.Add(prefix, true);
        }
    }
    return cuts;
}

// Every length a number can be valid at, and every length at which the
// general pattern decides whether a national prefix is taken off.
std::set<int> LengthsToRead(const pn::PhoneMetadata& metadata, const TCountryFacts& facts) {
    std::set<int> lengths(facts.PossibleLengths.begin(), facts.PossibleLengths.end());
    for (const auto& sequence :
         ExpandDigitPattern(metadata.general_desc().national_number_pattern())) {
        lengths.insert(static_cast<int>(sequence.size()));
    }
    if (*lengths.rbegin() > kLongestNumber) {
        throw std::runtime_error("numbers longer than " + std::to_string(kLongestNumber));
    }
    return lengths;
}

// The ranges of one length, neighbours that read alike merged; pieces counts
// the pieces read.
std::vector<TRange> RangesOfLength(int length, const TCuts& cuts, const TNumberOracle& oracle,
                                   std::size_t& pieces) {
    const std::set<std::uint64_t> points = cuts.PointsFor(length);
    std::vector<TRange> ranges;
    for (auto next = std::next(points.begin()); next != points.end(); ++next) {
        const std::uint64_t low = *std::prev(next);
        const std::uint64_t high = *next - 1;
        TRange range{length, low, oracle.ReadingOf(Padded(low, length))};
        for (const std::uint64_t other : {low + (high - low) / 2, high}) {
            if (oracle.ReadingOf(Padded(other, length)) != range.Reading) {
                throw std::runtime_error("numbers " + Padded(low, length) + " and " +
                                         Padded(other, length) + " read differently");
            }
        }
        if (ranges.empty() || ranges.back().Reading != range.Reading) {
            ranges.push_back(std::move(range));
        }
    }
    pieces = points.size() - 1;
    // A length with nothing on it needs no ranges at all.
    if (ranges.size() == 1 && ranges.front().Reading == TReading()) {
        ranges.clear();
    }
    return ranges;
}

} // namespace

TNumberTable BuildTable(const std::string& region, std::ostream& progress) {
    const pn::PhoneMetadata metadata = RegionMetadata(region);
    TNumberTable table;
    table.Facts = FactsOf(metadata);
    const TCuts cuts = CutsOf(metadata);
    const std::set<int> lengths = LengthsToRead(metadata, table.Facts);

    const TNumberOracle oracle(metadata, table.Facts.NationalPrefix);
    std::size_t allPieces = 0;
    for (const int length : lengths) {
        std::size_t pieces = 0;
        const std::vector<TRange> ranges = RangesOfLength(length, cuts, oracle, pieces);
        allPieces += pieces;
        progress << "length " << length << ": " << pieces << " pieces read, " << ranges.size()
                 << " ranges\n";
        table.Ranges.insert(table.Ranges.end(), ranges.begin(), ranges.end());
    }
    progress << allPieces << " pieces read, " << table.Ranges.size() << " ranges\n";
    return table;
}

} // namespace telvane::jp
