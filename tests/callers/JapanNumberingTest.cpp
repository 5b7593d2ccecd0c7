// The compiled Japanese number table against libphonenumber at run time, from
// its plugin: every range the table tells apart, dialled every way, reads the
// same.
#include "callers/JapanNumbering.h"
#include "callers/NumberKnowledge.h"

#include "DigitPattern.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <iostream>

namespace telvane {
namespace {

struct TLibrary {
    TLibrary() {
        if (!Japanese || !English) {
            throw std::runtime_error("no plugin: " + NumberPluginProblem());
        }
    }
    std::shared_ptr<const INumberReader> Japanese = LoadNumberPlugin("JP", false);
    std::shared_ptr<const INumberReader> English = LoadNumberPlugin("JP", true);
};

std::string Padded(std::uint64_t value, int length) {
    std::string digits = std::to_string(value);
    return std::string(static_cast<std::size_t>(length) - digits.size(), '0') + digits;
}

// Empty when the table reads text as the library does, else what differs.
std::string Difference(const TLibrary& library, const std::string& text) {
    const auto ja = ReadJapaneseNumber(text, false);
    const auto en = ReadJapaneseNumber(text, true);
    const auto key = ReadJapaneseKey(text);
    if (!ja || !en || !key) {
        return text + ": not read as Japanese";
    }
    const TNumberReading want = library.Japanese->Read(text);
    const std::string wantEn = library.English->Read(text).Area;
    const std::string wantKey = library.Japanese->Key(text);
    if (ja->Parsed == want.Parsed && ja->National == want.National && ja->Kind == want.Kind &&
        ja->Area == want.Area && ja->Key == want.Key && en->Area == wantEn && *key == wantKey) {
        return {};
    }
    return text + ": table " + std::to_string(ja->Parsed) + " \"" + ja->National + "\" kind " +
           std::to_string(static_cast<int>(ja->Kind)) + " \"" + ja->Area + "\" \"" + en->Area +
           "\" " + ja->Key + " " + *key + "; library " + std::to_string(want.Parsed) + " \"" +
           want.National + "\" kind " + std::to_string(static_cast<int>(want.Kind)) + " \"" +
           want.Area + "\" \"" + wantEn + "\" " + want.Key + " " + wantKey;
}

TEST(JapanNumberingTest, ReadsEveryRangeAsTheLibraryDoes) {
    const TLibrary library;
    const auto ranges = JapaneseNumberRanges();
    ASSERT_FALSE(ranges.empty());
    std::size_t numbers = 0;
    std::size_t failures = 0;
    for (const auto& range : ranges) {
        const std::uint64_t width = range.Last - range.First;
        for (const std::uint64_t n : {range.First, range.First + width / 3, range.Last}) {
            const std::string national = Padded(n, range.Length);
            for (const char* dialled : {"0", "+81", "+81 0", "010-81-"}) {
                const std::string text = dialled + national;
                // "010" and a country code: an international call.
                if (text.rfind("010", 0) == 0 && text[3] != '0' && !ReadJapaneseKey(text)) {
                    continue;
                }
                const std::string difference = Difference(library, text);
                ++numbers;
                if (!difference.empty() && ++failures <= 20) {
                    ADD_FAILURE() << difference;
                }
            }
        }
    }
    EXPECT_EQ(failures, 0u);
    std::cout << "Compared " << ranges.size() << " ranges of national numbers, " << numbers
              << " numbers\n";
}

// While every number is Japanese, libphonenumber and its geocoder stay out of
// the process; a call from abroad brings them in.
TEST(JapanNumberingTest, TheLibraryIsLoadedOnlyForACallFromAbroad) {
    const auto mapped = [] {
        const std::string maps = testing::ReadFile("/proc/self/maps");
        return maps.find("libphonenumber") != std::string::npos ||
               maps.find("libgeocoding") != std::string::npos;
    };
    const TNumberKnowledge numbers("JP", "ja");
    EXPECT_EQ(numbers.Describe("0312345678").Area, "東京");
    EXPECT_EQ(numbers.MatchKey("+1 202-555-0123"), "+12025550123");
    EXPECT_FALSE(mapped());
    EXPECT_EQ(numbers.Describe("+12025550123").Area, "アメリカ合衆国");
    EXPECT_TRUE(mapped());
}

// Numbers outside the ranges: too short, too long, prefixes alone.
TEST(JapanNumberingTest, ReadsOddLengthsAsTheLibraryDoes) {
    const TLibrary library;
    for (const char* text :
         {"0", "03", "0312", "0312345", "+81", "+810", "+8103", "01081", "0100312345678",
          "+81 (0)3-1234-5678", "0777012345", "00777012345", "000777012345", "03123456789012345678",
          "0120-123-456", "0570-01-2345"}) {
        EXPECT_EQ(Difference(library, text), "");
    }
    for (const char* foreign : {"", "201", "312345678", "+12025550123", "010", "0101234567890"}) {
        EXPECT_FALSE(ReadJapaneseNumber(foreign, false).has_value()) << foreign;
        EXPECT_FALSE(ReadJapaneseKey(foreign).has_value()) << foreign;
    }
}

// The generator's reading of the library's patterns: finite shapes expand, and
// anything else stops it rather than being guessed at.
TEST(JapanNumberingTest, GeneratorExpandsOnlyFinitePatterns) {
    const std::vector<jp::TDigitClasses> want = {
        {0x2, 0x1C, jp::kAnyDigit},
        {0x2, 0x1C, jp::kAnyDigit, jp::kAnyDigit},
        {0x20, jp::kAnyDigit},
        {0x20, jp::kAnyDigit, jp::kAnyDigit},
    };
    EXPECT_EQ(jp::ExpandDigitPattern("(?:1[2-4]|5)\\d{1,2}"), want);
    EXPECT_EQ(jp::ExpandDigitPattern("(7)?0").size(), 2u);
    for (const char* refused :
         {"\\d+", "1*", "[^1]", "\\d{2,}", "a", "(?=1)", "1|(2", "[1-", "1)"}) {
        EXPECT_THROW(jp::ExpandDigitPattern(refused), std::runtime_error) << refused;
    }
}

} // namespace
} // namespace telvane
