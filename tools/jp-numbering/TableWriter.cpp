#include "TableWriter.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace telvane::jp {
namespace {

constexpr int kNumbersPerLine = 8;

// Texts once each, offset 0 the empty text.
class TTexts {
public:
    TTexts() { Blob_.push_back(""); }

    std::size_t OffsetOf(const std::string& text) {
        if (text.empty()) {
            return 0;
        }
        const auto found = Offsets_.find(text);
        if (found != Offsets_.end()) {
            return found->second;
        }
        const std::size_t offset = Size_;
        Offsets_.emplace(text, offset);
        Blob_.push_back(text);
        Size_ += text.size() + 1;
        return offset;
    }

    std::size_t Size() const { return Size_; }
    const std::vector<std::string>& Texts() const { return Blob_; }

private:
    std::map<std::string, std::size_t> Offsets_;
    std::vector<std::string> Blob_;
    std::size_t Size_ = 1;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        } else if (static_cast<unsigned char>(c) < 0x20) {
            throw std::runtime_error("control character in \"" + text + "\"");
        }
        quoted += c;
    }
    return quoted + "\\0\"";
}

template <typename TNumbers>
void WriteArray(std::ostream& out, const char* type, const char* name, const TNumbers& numbers) {
    out << "constexpr " << type << ' ' << name << "[] = {";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        out << (i % kNumbersPerLine == 0 ? "\n    " : " ") << +numbers[i] << ',';
    }
    out << "\n};\n";
}

const char* OffsetType(std::size_t largest) {
    if (largest <= 0xFFFF) {
        return "std::uint16_t";
    }
    if (largest <= 0xFFFFFFFF) {
        return "std::uint32_t";
    }
    throw std::runtime_error("table too large");
}

std::uint32_t MaskOf(const std::vector<int>& lengths) {
    std::uint32_t mask = 0;
    for (const int length : lengths) {
        mask |= 1u << length;
    }
    return mask;
}

// Readings and groupings once each, in the order the ranges first use them;
// reading 0 is that of no valid number.
struct TDistinct {
    std::vector<const TReading*> Readings;
    std::vector<TGrouping> Groupings;
    std::map<TGrouping, std::size_t> GroupingIndex;
    std::vector<std::size_t> RangeReadings; // the index of each range's reading
};

TDistinct DistinctReadings(const TNumberTable& table) {
    static const TReading none;
    TDistinct distinct;
    std::map<TReading, std::size_t> readingIndex = {{TReading(), 0}};
    distinct.Readings = {&none};
    distinct.GroupingIndex = {{TGrouping(), 0}};
    distinct.Groupings = {TGrouping()};
    for (const auto& range : table.Ranges) {
        const auto [found, added] = readingIndex.emplace(range.Reading, distinct.Readings.size());
        if (added) {
            distinct.Readings.push_back(&range.Reading);
        }
        distinct.RangeReadings.push_back(found->second);
        if (distinct.GroupingIndex.emplace(range.Reading.Grouping, distinct.Groupings.size())
                .second) {
            distinct.Groupings.push_back(range.Reading.Grouping);
        }
    }
    return distinct;
}

// The columns of the readings; their areas go into texts.
struct TReadingColumns {
    std::vector<unsigned> Kinds;
    std::vector<std::size_t> Grouping;
    std::vector<std::size_t> AreaJa;
    std::vector<std::size_t> AreaEn;
};

TReadingColumns ReadingColumns(const TDistinct& distinct, TTexts& texts) {
    TReadingColumns columns;
    for (const TReading* reading : distinct.Readings) {
        columns.Kinds.push_back(static_cast<unsigned>(reading->Kind) |
                                (reading->Viable ? 0x80u : 0u));
        columns.Grouping.push_back(distinct.GroupingIndex.at(reading->Grouping));
        columns.AreaJa.push_back(texts.OffsetOf(reading->AreaJa));
        columns.AreaEn.push_back(texts.OffsetOf(reading->AreaEn));
    }
    return columns;
}

// The ranges' starts by length, and where each length's starts begin.
struct TRangeStarts {
    std::vector<std::size_t> LengthFirst;
    std::vector<std::uint64_t> Starts;
};

TRangeStarts RangeStarts(const TNumberTable& table) {
    int longest = 0;
    for (const auto& range : table.Ranges) {
        longest = std::max(longest, range.Length);
    }
    TRangeStarts starts;
    for (int length = 0; length <= longest + 1; ++length) {
        starts.LengthFirst.push_back(starts.Starts.size());
        for (const auto& range : table.Ranges) {
            if (range.Length == length) {
                starts.Starts.push_back(range.Start);
            }
        }
    }
    return starts;
}

void WriteFacts(std::ostream& out, const TCountryFacts& facts) {
    out << "constexpr char kCountryCode[] = \"" << facts.CountryCode << "\";\n"
        << "constexpr char kInternationalPrefix[] = \"" << facts.InternationalPrefix << "\";\n"
        << "constexpr char kNationalPrefix[] = \"" << facts.NationalPrefix << "\";\n"
        << "// Bit n: a national significant number of n digits.\n"
        << "constexpr std::uint32_t kPossibleLengths = 0x" << std::hex
        << MaskOf(facts.PossibleLengths) << ";\n"
        << "constexpr std::uint32_t kLocalOnlyLengths = 0x" << MaskOf(facts.LocalOnlyLengths)
        << std::dec << ";\n\n";
}

void WriteTexts(std::ostream& out, const TTexts& texts) {
    out << "// Areas, each ending in '\\0'; offset 0 is the empty text.\n"
           "constexpr char kTexts[] =\n";
    for (const auto& text : texts.Texts()) {
        out << "    " << (text.empty() ? std::string("\"\\0\"") : Quoted(text)) << '\n';
    }
    out << "    ;\n";
    out << "using TTextOffset = " << OffsetType(texts.Size()) << ";\n\n";
}

void WriteGroupings(std::ostream& out, const std::vector<TGrouping>& groupings) {
    std::size_t mostGroups = 1;
    for (const auto& g : groupings) {
        mostGroups = std::max(mostGroups, g.Groups.size());
    }
    out << "// Groupings of the national format: with the national prefix (1) or not,\n"
           "// then the lengths of the groups, 0 after the last.\n"
           "constexpr std::size_t kMostGroups = "
        << mostGroups << ";\n"
        << "constexpr std::uint8_t kGroupings[][kMostGroups + 2] = {\n";
    for (const auto& g : groupings) {
        out << "    {" << (g.WithNationalPrefix ? 1 : 0);
        for (const int length : g.Groups) {
            out << ", " << length;
        }
        out << "},\n";
    }
    out << "};\n\n";
}

void WriteReadings(std::ostream& out, const TReadingColumns& columns) {
    out << "// Readings: the kind (ENumberKind; bit 7: the general pattern matches),\n"
           "// the grouping and the areas; reading 0 is no valid number.\n";
    WriteArray(out, "std::uint8_t", "kReadingKind", columns.Kinds);
    WriteArray(out, "std::uint8_t", "kReadingGrouping", columns.Grouping);
    WriteArray(out, "TTextOffset", "kReadingAreaJa", columns.AreaJa);
    WriteArray(out, "TTextOffset", "kReadingAreaEn", columns.AreaEn);
}

void WriteRanges(std::ostream& out, const TRangeStarts& starts, const TDistinct& distinct) {
    out << "\n// Ranges of national significant numbers of n digits:\n"
           "// kRangeStart[kLengthFirst[n]] up to kRangeStart[kLengthFirst[n + 1]] - 1,\n"
           "// each range up to the next start read as kRangeReading.\n";
    const std::string rangeType = OffsetType(starts.Starts.size());
    const std::string readingType = OffsetType(distinct.Readings.size());
    WriteArray(out, rangeType.c_str(), "kLengthFirst", starts.LengthFirst);
    WriteArray(out, "std::uint64_t", "kRangeStart", starts.Starts);
    WriteArray(out, readingType.c_str(), "kRangeReading", distinct.RangeReadings);
}

} // namespace

void WriteTable(const TNumberTable& table, std::ostream& out) {
    const TDistinct distinct = DistinctReadings(table);
    TTexts texts;
    const TReadingColumns columns = ReadingColumns(distinct, texts);
    const TRangeStarts starts = RangeStarts(table);

    out << "// Japan's numbering as libphonenumber reads it, generated by tools/jp-numbering\n"
           "// from the library's metadata and offline geocoder. Do not edit: the build\n"
           "// target update_jp_numbering_table writes it afresh.\n"
           "// clang-format off\n\n";
    WriteFacts(out, table.Facts);
    WriteTexts(out, texts);
    WriteGroupings(out, distinct.Groupings);
    WriteReadings(out, columns);
    WriteRanges(out, starts, distinct);
    out << "\n// clang-format on\n";
}

} // namespace telvane::jp
