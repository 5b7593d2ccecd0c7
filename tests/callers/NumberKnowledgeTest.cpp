// What the program says of a caller's number, on Linux and under Wine.
#include "callers/NumberKnowledge.h"
#include "callers/Phonebook.h"
#include "monitor/Texts.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

struct TNumberCase {
    const char* Caller; // Shift_JIS
    bool Parsed;
    const char* Display;
    const char* Area;
    const char* Kind;
    const char* Key;
    const char* Withheld = "";
};

// Japanese numbers read alike on every platform, from the compiled table; a
// call from abroad gets its country where libphonenumber's plugin is there.
TEST(NumberKnowledgeTest, DescribesCallerTexts) {
    const TNumberCase cases[] = {
        {"0312345678", true, "03-1234-5678", "東京", "固定電話", "+81312345678"},
        {"0451234567", true, "045-123-4567", "横浜", "固定電話", "+81451234567"},
        {"0612345678", true, "06-1234-5678", "大阪", "固定電話", "+81612345678"},
        {"09012345678", true, "090-1234-5678", "", "携帯電話", "+819012345678"},
        {"0120123456", true, "0120-123-456", "", "通話料無料", "+81120123456"},
        {"05012345678", true, "050-1234-5678", "", "IP電話", "+815012345678"},
        {"+81 3-1234-5678", true, "03-1234-5678", "東京", "固定電話", "+81312345678"},
        {"0312345678/12", true, "03-1234-5678/12", "東京", "固定電話", "+81312345678"},
        // An extension: too short for a number, still a key of its own.
        {"201", true, "201", "", "", "201"},
        {"P", false, "P", "", "", "", "非通知"},
        {"O", false, "O", "", "", "", "表示圏外"},
        {"C", false, "C", "", "", "", "公衆電話"},
        {texts::kNoNumberInformation, false, "番号情報なし", "", "", ""},
        {"BUFFER EMPTY", false, "BUFFER EMPTY", "", "", ""},
        {"ERROR 0312345678", false, "ERROR 0312345678", "", "", ""},
        {"0312345678/x", false, "0312345678/x", "", "", ""},
        {"03+12345678", false, "03+12345678", "", "", ""},
        {"", false, "", "", "", ""},
    };
    const TNumberKnowledge numbers("JP", "ja");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Caller);
        const TNumberInfo info = numbers.Describe(c.Caller);
        EXPECT_EQ(info.Parsed, c.Parsed);
        EXPECT_EQ(info.Display, c.Display);
        EXPECT_EQ(info.Area, c.Area);
        EXPECT_EQ(info.Kind, c.Kind);
        EXPECT_EQ(info.MatchKey, c.Key);
        EXPECT_EQ(numbers.CallerKey(c.Caller), info.MatchKey);
        EXPECT_EQ(info.Withheld, c.Withheld);
    }
    const bool library = LoadNumberPlugin("JP", false) != nullptr;
    for (const auto& [abroad, digits] : {std::pair{"+12025550123", "+12025550123"},
                                         std::pair{"010-1-202-555-0123", "01012025550123"}}) {
        const TNumberInfo info = numbers.Describe(abroad);
        EXPECT_EQ(info.Display, library ? "+1 202-555-0123" : digits) << abroad;
        EXPECT_EQ(info.Area, library ? "アメリカ合衆国" : "") << abroad;
        EXPECT_EQ(info.MatchKey, "+12025550123") << abroad;
    }

    const TNumberKnowledge english("JP", "en");
    EXPECT_EQ(english.Describe("0312345678").Area, "Tokyo");
    EXPECT_EQ(english.Describe("09012345678").Kind, "mobile");
    EXPECT_EQ(english.Describe("O").Withheld, "not available");
}

// A number far beyond any phone number, from a broken file or adapter, is
// not read as one: its key keeps the first kMaxKeyDigits digits.
TEST(NumberKnowledgeTest, AHugeNumberGivesACappedKey) {
    const TNumberKnowledge numbers("JP", "ja");
    const std::string huge = "+81" + std::string(15000, '3');
    const std::string capped = "+81" + std::string(kMaxKeyDigits - 2, '3');
    EXPECT_EQ(numbers.MatchKey(huge), capped);
    EXPECT_EQ(numbers.MatchKey("tel:" + huge + ";ext=1"), capped);
    const TNumberInfo info = numbers.Describe(huge);
    EXPECT_FALSE(info.Parsed);
    EXPECT_EQ(info.MatchKey, capped);
    EXPECT_EQ(numbers.CallerKey(huge + "/12"), capped);
}

// Contacts written in any common way find the caller, sub-address or not.
TEST(NumberKnowledgeTest, ContactsMatchCallerWrittenOtherwise) {
    const TNumberKnowledge numbers("JP", "ja");
    testing::TTempFolder folder;
    const auto file = folder.Path() / "contacts.csv";
    ASSERT_TRUE(testing::WriteFile(file, "\"+81 3-1234-5678\",Tokyo A\n"
                                         "03(1234)5699,Tokyo B\n"
                                         "tel:+81-90-1234-5678;ext=1,Mobile\n"
                                         "０６－１２３４－５６７８,Osaka\n"
                                         "201,Extension\n"));
    TPhonebook book;
    ASSERT_FALSE(book.Load(file, numbers).has_value());
    EXPECT_EQ(book.size(), 5u);
    const std::pair<const char*, const char*> calls[] = {
        {"0312345678", "Tokyo A"},   {"0312345678/12", "Tokyo A"},
        {"+81312345699", "Tokyo B"}, {"09012345678", "Mobile"},
        {"0612345678", "Osaka"},     {"201", "Extension"},
        {"0312345679", nullptr},     {"P", nullptr},
        {"2010", nullptr},
    };
    for (const auto& [caller, name] : calls) {
        SCOPED_TRACE(caller);
        const auto found = book.NameFor(numbers.Describe(caller).MatchKey);
        EXPECT_EQ(found.value_or("(none)"), name ? name : "(none)");
    }
}

} // namespace
} // namespace telvane
