// Contacts files as real exports write them, files that must be refused or
// partly skipped, and names written to Telvane's own phonebook.
#include "callers/Phonebook.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace telvane {
namespace {

using namespace std::string_literals;
using testing::ReadFile;
using testing::TTempFolder;
using testing::WriteFile;

using TNames = std::vector<std::pair<const char*, const char*>>; // number -> name

struct TFileCase {
    const char* What;
    std::string Bytes;
    TNames Expected;
};

std::string Card(const std::string& lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n";
}

// The text as Windows address books save it: UTF-16 with a byte order mark.
std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : u"\uFEFF" + text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(PhonebookTest, ReadsExportedFiles) {
    // Names over 256 bytes are cut before a character: 100 kanji of three
    // bytes each, 150 accented letters of two.
    std::string kanji300, accents300;
    for (int i = 0; i < 150; ++i) {
        kanji300 += i < 100 ? "山" : "";
        accents300 += "é";
    }
    const std::string kanjiCut = kanji300.substr(0, 255), accentsCut = accents300.substr(0, 256);
    const std::string longCut(kMaxNameBytes, 'n');
    const TFileCase cases[] = {
        {"several TEL lines, TYPE parameters, CR LF",
         Card(
             "FN:山田 太郎\r\nTEL;TYPE=CELL:090-1234-5678\r\nTEL;TYPE=HOME,VOICE:03-1234-5678\r\n"),
         {{"09012345678", "山田 太郎"}, {"0312345678", "山田 太郎"}}},
        {"folded lines with blank and tab, LF only",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Jo\n hn\n\t Smith\nTEL:03-1234-\n 5678\nEND:VCARD\n",
         {{"0312345678", "John Smith"}}},
        {"escaped characters",
         Card("FN:Smith\\, John\\; Jr.\\nX\r\nTEL:0312345678\r\n"),
         {{"0312345678", "Smith, John; Jr. X"}}},
        {"N when FN is missing, Western and Japanese order",
         Card("N:Smith;John;;Dr.;\r\nTEL:0312345678\r\n") +
             Card("N:山田;花子;;;\r\nTEL:0612345678\r\n"),
         {{"0312345678", "Dr. John Smith"}, {"0612345678", "山田 花子"}}},
        {"ORG when there is no name",
         Card("ORG:Acme\\, Inc.;Sales\r\nTEL:0312345678\r\n"),
         {{"0312345678", "Acme, Inc."}}},
        {"vCard 2.1 Shift_JIS quoted-printable with a soft line break",
         "BEGIN:VCARD\r\nVERSION:2.1\r\n"
         "N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63;=91=BE=\r\n=98=59\r\n"
         "TEL;CELL:09012345678\r\nEND:VCARD\r\n",
         {{"09012345678", "山田 太郎"}}},
        {"Shift_JIS without CHARSET",
         Card("FN:\x8E\x52\x93\x63\r\nTEL:0312345678\r\n"),
         {{"0312345678", "山田"}}},
        {"UTF-8 with BOM, vCard 4.0 tel: URI and item groups",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ünal\r\n"
         "TEL;VALUE=uri;TYPE=\"voice,cell\":tel:+81-90-1111-2222;ext=5\r\n"
         "item1.TEL;type=pref:+81 6-1234-5678\r\nitem1.X-ABLabel:work\r\nEND:VCARD\r\n",
         {{"09011112222", "Ünal"}, {"0612345678", "Ünal"}}},
        {"an embedded photo of 100 KB is passed over",
         Card("FN:Photo\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + std::string(100000, 'A') +
              "\r\nTEL:0312345678\r\n"),
         {{"0312345678", "Photo"}}},
        {"CSV with heading, quotes, blank line and CR LF",
         "number,name\r\n0312345678,\"Tanaka, Ichiro\"\r\n\r\n\"06-1234-5678\",\"A \"\"B\"\"\"\r\n",
         {{"0312345678", "Tanaka, Ichiro"}, {"0612345678", "A \"B\""}}},
        {"names of 300 bytes and of 100,000",
         Card("FN:" + kanji300 + "\r\nTEL:0312345678\r\n") +
             Card("FN:" + std::string(100000, 'n') + "\r\nTEL:0451234567\r\n"),
         {{"0312345678", kanjiCut.c_str()}, {"0451234567", longCut.c_str()}}},
        {"CSV name of 300 bytes",
         "0612345678," + accents300 + "\n",
         {{"0612345678", accentsCut.c_str()}}},
        {"CSV of name,number in Shift_JIS",
         "\x8E\x52\x93\x63,0312345678\n",
         {{"0312345678", "山田"}}},
        {"UTF-16 LE: a character beyond the BMP, and a broken surrogate",
         Utf16(u"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:𠮷田\r\nTEL:0312345678\r\nEND:VCARD\r\n"
               u"BEGIN:VCARD\r\nFN:\xD842x\r\nTEL:0612345678\r\nEND:VCARD\r\n",
               false),
         {{"0312345678", "𠮷田"}, {"0612345678", "\uFFFDx"}}},
        {"UTF-16 BE, vCard 2.1 quoted-printable Shift_JIS",
         Utf16(u"BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93="
               u"63;=91=BE=98=59\nTEL;CELL:09012345678\nEND:VCARD\n",
               true),
         {{"09012345678", "山田 太郎"}}},
    };
    TTempFolder folder;
    const TNumberKnowledge numbers("JP", "ja");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const auto file = folder.Path() / "contacts";
        ASSERT_TRUE(WriteFile(file, c.Bytes));
        TPhonebook book;
        const auto error = book.Load(file, numbers);
        ASSERT_FALSE(error.has_value()) << error->Line << ": " << error->What;
        EXPECT_EQ(book.SkippedCount(), 0u);
        for (const auto& [number, name] : c.Expected) {
            EXPECT_EQ(book.NameFor(numbers.MatchKey(number)).value_or("(none)"), name) << number;
        }
    }
}

struct TBadCase {
    const char* What;
    std::string Bytes;
    bool Refused;
    std::vector<std::size_t> Lines; // of the refusal, or of each skipped card
};

// Each bad file is refused with its line, keeping the book loaded before, or
// loses only the bad cards, whatever they hold.
TEST(PhonebookTest, BadFilesAreRefusedOrSkippedWithTheirLine) {
    const std::string good = Card("FN:Good\r\nTEL:0312345678\r\n");
    std::string manyCards;
    for (std::size_t i = 0; i <= kMaxPhonebookCards; ++i) {
        manyCards += "BEGIN:VCARD\nFN:x\nTEL:0312345678\nEND:VCARD\n";
    }
    const TBadCase cases[] = {
        {"binary junk",
         std::string("\x7F"
                     "ELF\x02\x01\n\x01\x00\x00",
                     10),
         true,
         {2}},
        {"binary junk without zero bytes", "\xC3\x28\xFF\xFE\xA0\n\x80\x81,\x82\n", true, {1}},
        {"more cards than the limit", manyCards, true, {4 * kMaxPhonebookCards + 1}},
        {"unterminated quoted-printable",
         Card("FN;ENCODING=QUOTED-PRINTABLE:Bad=4=\r\n") + good +
             "BEGIN:VCARD\r\nTEL;ENCODING=QUOTED-PRINTABLE:=30=",
         false,
         {3, 10}},
        {"TEL without digits", good + Card("FN:NoDigits\r\nTEL:unknown\r\n"), false, {6}},
        {"CSV line with an open quote", "0312345678,Good\n\"0612345678,Open\n", false, {2}},
        {"a card with a NUL, one of binary junk, a broken quoted-printable run",
         Card("FN:Nul\r\nTEL:0612\0"s + "345678\r\n") +
             "BEGIN:VCARD\r\n\x89PNG\x1A\x07\xFF\xD8\x03\r\n\x10\x80\nEND:VCARD\r\n" +
             Card("N;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1=G0\r\nTEL:0721234567\r\n") + good,
         false,
         {4, 7, 12}},
        {"UTF-16 CSV, a line with a NUL",
         Utf16(u"0312345678,Good\r\n0612345678,\0Bad\r\n"s, false),
         false,
         {2}},
    };
    TTempFolder folder;
    const TNumberKnowledge numbers("JP", "en");
    const auto goodFile = folder.Path() / "good.vcf";
    ASSERT_TRUE(WriteFile(goodFile, Card("FN:Before\r\nTEL:0451234567\r\n")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TPhonebook book;
        ASSERT_FALSE(book.Load(goodFile, numbers).has_value());
        const auto file = folder.Path() / "bad.vcf";
        ASSERT_TRUE(WriteFile(file, c.Bytes));
        const auto error = book.Load(file, numbers);
        if (c.Refused) {
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(error->File, file.u8string());
            EXPECT_EQ(error->Line, c.Lines.at(0));
            EXPECT_FALSE(error->What.empty());
            EXPECT_EQ(book.NameFor(numbers.MatchKey("0451234567")).value_or(""), "Before");
            continue;
        }
        ASSERT_FALSE(error.has_value()) << error->What;
        EXPECT_EQ(book.NameFor(numbers.MatchKey("0312345678")).value_or(""), "Good");
        EXPECT_FALSE(book.NameFor(numbers.MatchKey("0451234567")).has_value());
        EXPECT_FALSE(book.NameFor(numbers.MatchKey("0612345678")).has_value());
        ASSERT_EQ(book.SkippedCount(), c.Lines.size());
        for (std::size_t i = 0; i < c.Lines.size(); ++i) {
            EXPECT_EQ(book.Warnings().at(i).Line, c.Lines[i]);
            EXPECT_EQ(book.Warnings().at(i).File, file.u8string());
        }
    }

    TPhonebook book;
    const auto huge = folder.Path() / "huge.vcf";
    ASSERT_TRUE(WriteFile(huge, good));
    std::filesystem::resize_file(huge, 100u * 1024 * 1024); // sparse: costs no disk
    const auto tooLarge = book.Load(huge, numbers);
    ASSERT_TRUE(tooLarge.has_value());
    EXPECT_EQ(tooLarge->Line, 0u);
    EXPECT_TRUE(book.Load(folder.Path() / "missing.vcf", numbers).has_value());
}

TEST(PhonebookTest, NamesGoToTheOwnFileOnly) {
    TTempFolder folder;
    const TNumberKnowledge numbers("JP", "ja");
    const auto own = folder.Path() / "config" / "phonebook.vcf";
    const std::string foreign = "BEGIN:VCARD\nVERSION:3.0\nFN:Kept\nTEL:0612345678\nEND:VCARD";

    AddToOwnPhonebook(own, "First", "0312345678");
    ASSERT_TRUE(WriteFile(own, foreign + "\n" + ReadFile(own)));
    AddToOwnPhonebook(own, "Second", "0312345678/12");
    // Escapes and folding of a long name survive the reader.
    const std::string longName = "株式会社 長い名前の会社, 営業部; 第二課 " + std::string(20, 'x');
    AddToOwnPhonebook(own, longName, "+81 45-123-4567");

    const std::string written = ReadFile(own);
    EXPECT_EQ(written.rfind(foreign, 0), 0u) << written;
    TPhonebook book;
    ASSERT_FALSE(book.Load(own, numbers).has_value());
    EXPECT_EQ(book.size(), 3u);
    EXPECT_EQ(book.NameFor(numbers.MatchKey("0312345678")).value_or(""), "Second");
    EXPECT_EQ(book.NameFor(numbers.MatchKey("0451234567")).value_or(""), longName);
    EXPECT_EQ(book.NameFor(numbers.MatchKey("0612345678")).value_or(""), "Kept");

    // An empty name takes the card away again.
    AddToOwnPhonebook(own, "", "0312345678");
    ASSERT_FALSE(book.Load(own, numbers).has_value());
    EXPECT_FALSE(book.NameFor(numbers.MatchKey("0312345678")).has_value());
    EXPECT_EQ(book.size(), 2u);

    // A refused write leaves no temporary file behind.
    const auto blocked = folder.Path() / "blocked.vcf";
    std::filesystem::create_directories(blocked / "inside");
    EXPECT_THROW(AddToOwnPhonebook(blocked, "Name", "0312345678"), EPhonebookError);
    EXPECT_THROW(AddToOwnPhonebook(own, "Name", "unknown"), EPhonebookError);
    EXPECT_THROW(AddToOwnPhonebook(own, std::string(300, 'n'), "0312345678"), EPhonebookError);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 2u); // config/ and blocked.vcf/
}

} // namespace
} // namespace telvane
