// RingLog.txt read back: as the monitor writes it, with lines damaged by
// other programs, the Ctrl-Z rule, and reads of only what was appended.
#include "callers/CallHistory.h"
#include "callers/NumberKnowledge.h"
#include "monitor/CallLog.h"
#include "monitor/Texts.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace telvane {
namespace {

using testing::ReadFile;
using testing::TTempFolder;
using testing::WriteFile;

std::vector<std::string> Numbers(const THistoryRead& read) {
    std::vector<std::string> numbers;
    for (const auto& call : read.Calls) {
        numbers.push_back(call.Number);
    }
    return numbers;
}

TEST(CallHistoryTest, ReadsTheLogAndOnlyWhatWasAppended) {
    TTempFolder folder;
    const auto log = folder.Path() / "RingLog.txt";
    const std::string t1 = "2026/03/01 09:00:00";
    const std::string t2 = "2026/03/01 09:05:00";
    ASSERT_TRUE(WriteFile(log, t1 + "," + t2 + ",0312345678\r\n" +       // a call
                                   "," + t2 + ",0612345678/12\r\n" +     // first run
                                   "\x1A" + t1 + "," + t2 + ",0\r\n" +   // a Ctrl-Z inside
                                   "garbage written by an editor\r\n" +  // damaged
                                   t1 + "," + t2 + ",P\n" +              // LF only
                                   "2026/3/1 9:00:00," + t2 + ",1\r\n" + // damaged time
                                   t1 + "," + t2 +
                                   ",a\x01"
                                   "b\r\n" + // control byte
                                   "\r\n" +  // blank, not counted
                                   t1 +
                                   "," + t2 + ",03,1234\r\n" + // commas in the number
                                   t1 + "," + t2 + ",0612345678\r\n" + "\x1A")); // at the end

    const THistoryRead first = ReadCallHistory(log);
    EXPECT_EQ(Numbers(first), (std::vector<std::string>{"0312345678", "0612345678/12", "P",
                                                        "03,1234", "0612345678"}));
    EXPECT_EQ(first.Calls[1].PreviousPoll, "");
    EXPECT_EQ(first.Calls[1].RingTime, t2);
    EXPECT_EQ(first.Skipped, 4u);
    EXPECT_FALSE(first.Restarted);
    EXPECT_EQ(first.EndOffset, ReadFile(log).size() - 1);

    // The monitor cuts the mark and appends; the rest of a half-written line
    // waits for the next read.
    AppendRingLog(log, "RingLog.txt", t1, t2, texts::kNoNumberInformation);
    {
        std::ofstream out(log, std::ios::binary | std::ios::app);
        out << t1 << "," << t2 << ",09";
    }
    const THistoryRead second = ReadCallHistory(log, first.EndOffset);
    EXPECT_EQ(Numbers(second), (std::vector<std::string>{texts::kNoNumberInformation}));
    EXPECT_EQ(second.Skipped, 0u);
    {
        std::ofstream out(log, std::ios::binary | std::ios::app);
        out << "012345678\r\n";
    }
    const THistoryRead third = ReadCallHistory(log, second.EndOffset);
    EXPECT_EQ(Numbers(third), (std::vector<std::string>{"09012345678"}));
    EXPECT_EQ(ReadCallHistory(log, third.EndOffset).Calls.size(), 0u);

    // A replaced file is read again from its start.
    ASSERT_TRUE(WriteFile(log, t1 + "," + t2 + ",0451234567\r\n"));
    const THistoryRead replaced = ReadCallHistory(log, third.EndOffset);
    EXPECT_TRUE(replaced.Restarted);
    EXPECT_EQ(Numbers(replaced), (std::vector<std::string>{"0451234567"}));
    EXPECT_TRUE(ReadCallHistory(folder.Path() / "missing.txt").Calls.empty());
}

TEST(CallHistoryTest, CountsCallsPerNumberWhateverTheWriting) {
    const TNumberKnowledge numbers("JP", "ja");
    TCallCounter counter(numbers);
    std::vector<TCallRecord> calls;
    for (const char* number : {"0312345678", "0312345678/12", "+81312345678", "P", "P",
                               texts::kNoNumberInformation, "0612345678"}) {
        calls.push_back({"", "2026/03/01 09:05:00", number});
    }
    counter.Add(calls);
    EXPECT_EQ(counter.CountOf("0312345678"), 3u);
    EXPECT_EQ(counter.CountOf("P"), 2u);
    EXPECT_EQ(counter.CountOf(texts::kNoNumberInformation), 1u);
    EXPECT_EQ(counter.CountOf("0451234567"), 0u);
}

} // namespace
} // namespace telvane
