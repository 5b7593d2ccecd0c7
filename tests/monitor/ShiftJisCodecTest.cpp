// Shift_JIS at the Qt boundary and in the toolkit-free conversion that the
// settings store uses, and the program's texts as bytes.
#include "ShiftJisCodec.h"
#include "monitor/ShiftJis.h"
#include "monitor/ShiftJisUtf8.h"
#include "monitor/Texts.h"

#include <gtest/gtest.h>

#include <random>

namespace telvane {
namespace {

TEST(ShiftJisCodec, TheProgramsTextsAreTheJapaneseTheyStandFor) {
    ASSERT_TRUE(ShiftJisAvailable());
    const struct {
        const char* Bytes;
        const char* Utf8;
    } texts[] = {
        {texts::kStatusNumberChanged, u8"番号変化"},
        {texts::kStatusCannotDetect, u8"検出不可"},
        {texts::kStatusActivity, u8"動作検出"},
        {texts::kStatusQuerying, u8"調査中"},
        {texts::kNumberNoPort, u8"ポート未指定"},
        {texts::kStatusNoPort, u8"未指定"},
        {texts::kNoNumberInformation, u8"番号情報なし"},
        {texts::kUnitMinutes, u8"分"},
        {texts::kUnitSeconds, u8"秒"},
        {texts::kHintBefore, u8"着信を "},
        {texts::kHintAfter, u8" に記録します"},
    };
    for (const auto& text : texts) {
        EXPECT_EQ(FromShiftJis(text.Bytes), QString::fromUtf8(text.Utf8)) << text.Utf8;
        EXPECT_EQ(ToShiftJis(QString::fromUtf8(text.Utf8)), text.Bytes) << text.Utf8;
    }
}

TEST(ShiftJisCodec, AnyByteStringSurvivesTheTripThroughUnicode) {
    const std::string awkward[] = {std::string("a\0b", 3),
                                   "\x80",
                                   "\xA0",
                                   "\xFD\xFE\xFF",
                                   "\x82",
                                   "\x82\x20",
                                   "\x81\x7F",
                                   "\\~",
                                   "\xEF\x40",
                                   "\xF0\x40\xF9\xFC"};
    for (const auto& bytes : awkward) {
        EXPECT_EQ(ToShiftJis(FromShiftJis(bytes)), bytes);
        EXPECT_EQ(ShiftJisFromUtf8(Utf8FromShiftJis(bytes)), bytes);
    }
    std::mt19937 random(1);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes(random() % 40, '\0');
        for (char& byte : bytes) {
            byte = static_cast<char>(random());
        }
        ASSERT_EQ(ToShiftJis(FromShiftJis(bytes)), bytes);
        ASSERT_EQ(ShiftJisFromUtf8(Utf8FromShiftJis(bytes)), bytes);
    }
}

// Settings files that the Qt codec wrote read back to the same bytes, and
// the conversion writes what the Qt codec would have written.
TEST(ShiftJisCodec, TheConversionAgreesWithQtsForEveryCharacter) {
    std::vector<std::string> pieces;
    for (int first = 0x80; first <= 0xFF; ++first) {
        pieces.emplace_back(1, static_cast<char>(first));
        for (int second = 0; second <= 0xFF && IsLeadByte(static_cast<unsigned char>(first));
             ++second) {
            pieces.push_back({static_cast<char>(first), static_cast<char>(second)});
        }
    }
    for (const std::string& bytes : pieces) {
        const std::string qt = FromShiftJis(bytes).toStdString();
        ASSERT_EQ(ShiftJisFromUtf8(qt), bytes) << qt;
        ASSERT_EQ(Utf8FromShiftJis(bytes), qt);
    }
    // Where other converters decode to the JIS forms of characters.
    EXPECT_EQ(ShiftJisFromUtf8(u8"\u301C\u2016\u2212\u00A2\u00A3\u00AC\u2014"),
              "\x81\x60\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA\x81\x5C");
}

TEST(ShiftJisCodec, HalfWidthKatakanaAndUnencodableCharacters) {
    EXPECT_EQ(FromShiftJis("\xCC\xA7\xB2\xD9"), QString::fromUtf8(u8"ﾌｧｲﾙ"));
    EXPECT_EQ(ToShiftJis(QString::fromUtf8(u8"a\U0001F600b")), "a?b");
    EXPECT_EQ(ShiftJisFromUtf8(u8"a\U0001F600b\u00A5"), "a?b?");
}

} // namespace
} // namespace telvane
