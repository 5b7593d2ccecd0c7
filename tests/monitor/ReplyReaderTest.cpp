// Line assembly and recognition of the adapter's reply.
#include "monitor/ReplyReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace telvane {
namespace {

struct TReaderRun {
    TSnapshot Current;
    int EndLines = 0;
    TReplyReader Reader{Current, [this] { ++EndLines; }};

    void Feed(const std::string& bytes) {
        for (const char byte : bytes) {
            Reader.AddChar(byte);
        }
    }
};

struct TReaderCase {
    const char* Name;
    std::vector<std::string> Chunks;
    std::vector<std::pair<std::size_t, std::string>> Slots;
    int EndLines;
    std::string LeftInBuffer;
};

class ReplyReaderCases : public ::testing::TestWithParam<TReaderCase> {};

TEST_P(ReplyReaderCases, StoresWatchedLinesAndCountsEndLines) {
    const TReaderCase& c = GetParam();
    TReaderRun run;
    for (const auto& chunk : c.Chunks) {
        run.Feed(chunk);
    }
    TSnapshot expected;
    for (const auto& [slot, line] : c.Slots) {
        expected[slot] = line;
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(run.Current[slot], expected[slot]) << "slot " << slot;
    }
    EXPECT_EQ(run.EndLines, c.EndLines);
    EXPECT_EQ(run.Reader.LineBuffer(), c.LeftInBuffer);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyReaderCases,
    ::testing::Values(
        TReaderCase{"LineSplitOverNotifications",
                    {"RECEIVE CALL", "ING PARTY = 0", "12\r"},
                    {{10, "RECEIVE CALLING PARTY = 012"}},
                    0,
                    ""},
        TReaderCase{"LineFeedAnywhereIsDropped",
                    {"DATA\n PORT\r\n", "\nAtermIT\r"},
                    {{1, "DATA PORT"}, {0, "AtermIT"}},
                    0,
                    ""},
        TReaderCase{
            "LfCrOrderReadsTheSame", {"\nDATA PORT = A\n\rOK\n\r"}, {{1, "DATA PORT = A"}}, 1, ""},
        TReaderCase{"CrCrGivesAnEmptyLineThatChangesNothing", {"\r\r\r"}, {}, 0, ""},
        TReaderCase{"ZeroByteStaysInTheLine",
                    {"RECEIVE CALLING PARTY = 1\0"s
                     "2\r"s},
                    {{10, "RECEIVE CALLING PARTY = 1\0"s
                          "2"s}},
                    0,
                    ""},
        TReaderCase{"KeywordTwiceKeepsTheLater",
                    {"ANALOG A PORT = 1\rANALOG A PORT = 2\r"},
                    {{3, "ANALOG A PORT = 2"}},
                    0,
                    ""},
        TReaderCase{
            "BothIdentityKindsLaterWins", {"AtermIT 1\rINS-X 2\r"}, {{0, "INS-X 2"}}, 0, ""},
        TReaderCase{
            "BlankBeforeKeywordIsNotRecognised", {" DATA PORT = 1\r AtermIT\r OK\r"}, {}, 0, ""},
        TReaderCase{"LowerCaseOkIsNoEndLine", {"ok\rOk\rOKAY\rERRORS\r"}, {}, 2, ""},
        TReaderCase{"EveryEndLineCounts", {"OK\rERROR\rOK\r"}, {}, 3, ""},
        TReaderCase{"BytesAfterEndLineStillFeed",
                    {"OK\rDIAGNOSIS DATA PORT = X\rRECEIVE CALLED"},
                    {{2, "DIAGNOSIS DATA PORT = X"}},
                    1,
                    "RECEIVE CALLED"},
        TReaderCase{"KeywordLinesWithoutIdentityAreStored",
                    {"RECEIVE CALLED PARTY = 1\rDIAGNOSIS ANALOG C PORT = 2\rERROR\r"},
                    {{9, "RECEIVE CALLED PARTY = 1"}, {8, "DIAGNOSIS ANALOG C PORT = 2"}},
                    1,
                    ""},
        TReaderCase{"EachPrefixFindsItsOwnSlot",
                    {"DATA PORT\rDIAGNOSIS DATA PORT\rANALOG A PORT\rDIAGNOSIS ANALOG A PORT\r"
                     "ANALOG B PORT\rDIAGNOSIS ANALOG B PORT\rANALOG C PORT\r"
                     "DIAGNOSIS ANALOG C PORT\rRECEIVE CALLED PARTY\rRECEIVE CALLING PARTY\r"},
                    {{1, "DATA PORT"},
                     {2, "DIAGNOSIS DATA PORT"},
                     {3, "ANALOG A PORT"},
                     {4, "DIAGNOSIS ANALOG A PORT"},
                     {5, "ANALOG B PORT"},
                     {6, "DIAGNOSIS ANALOG B PORT"},
                     {7, "ANALOG C PORT"},
                     {8, "DIAGNOSIS ANALOG C PORT"},
                     {9, "RECEIVE CALLED PARTY"},
                     {10, "RECEIVE CALLING PARTY"}},
                    0,
                    ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ReplyReader, PartialLineJoinsTheNextBytesUntilDiscarded) {
    TReaderRun run;
    run.Feed("RECEIVE CALLING PA"); // cut off
    run.Feed("AtermIT\rDATA PORT\r");
    EXPECT_EQ(run.Current[0], "");
    EXPECT_EQ(run.Current[1], "DATA PORT");

    run.Feed("RECEIVE CALLING PARTY = ");
    run.Reader.DiscardPartialLine();
    run.Feed("ATV1I4\\L0\\L1\rAtermIT\r");
    EXPECT_EQ(run.Current[10], "");
    EXPECT_EQ(run.Current[0], "AtermIT");
}

TEST(ReplyReader, OverlongLineKeepsItsBeginningAndTheBufferStaysBounded) {
    TReaderRun run;
    run.Feed("RECEIVE CALLING PARTY = ");
    run.Feed(std::string(3 * TReplyReader::kMaxLineLength, '7'));
    EXPECT_EQ(run.Reader.LineBuffer().size(), TReplyReader::kMaxLineLength);
    run.Feed("\rDATA PORT\r");
    EXPECT_EQ(run.Current[10].size(), TReplyReader::kMaxLineLength);
    EXPECT_EQ(run.Current[10].rfind("RECEIVE CALLING PARTY = 777", 0), 0u);
    EXPECT_EQ(run.Current[1], "DATA PORT");
}

} // namespace
} // namespace telvane
