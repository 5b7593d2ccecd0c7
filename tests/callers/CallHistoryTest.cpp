// RingLog.txt read back: as the monitor writes it, with lines damaged by
// other programs, the Ctrl-Z rule, and reads of only what was appended.
#include "callers/CallLogIndex.h"
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

// The numbers of the calls from `from` on, read back from the log.
std::vector<std::string> Numbers(const TCallLogIndex& index, std::size_t from = 0) {
    std::vector<std::string> numbers;
    for (std::size_t i = from; i < index.Calls(); ++i) {
        numbers.push_back(index.Call(i).value_or(TCallRecord{}).Number);
        EXPECT_EQ(numbers.back(), index.Text(index.CallerOf(i)));
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

    TCallLogIndex index(log);
    EXPECT_TRUE(index.Update());
    EXPECT_EQ(Numbers(index), (std::vector<std::string>{"0312345678", "0612345678/12", "P",
                                                        "03,1234", "0612345678"}));
    EXPECT_EQ(index.Call(1)->PreviousPoll, "");
    EXPECT_EQ(index.Call(1)->RingTime, t2);
    EXPECT_EQ(index.Skipped(), 4u);
    EXPECT_EQ(index.EndOffset(), ReadFile(log).size() - 1);

    // The monitor cuts the mark and appends; the rest of a half-written line
    // waits for the next read.
    AppendRingLog(log, "RingLog.txt", t1, t2, texts::kNoNumberInformation);
    {
        std::ofstream out(log, std::ios::binary | std::ios::app);
        out << t1 << "," << t2 << ",09";
    }
    EXPECT_TRUE(index.Update());
    EXPECT_EQ(Numbers(index, 5), (std::vector<std::string>{texts::kNoNumberInformation}));
    EXPECT_EQ(index.Skipped(), 4u);
    {
        std::ofstream out(log, std::ios::binary | std::ios::app);
        out << "012345678\r\n";
    }
    EXPECT_TRUE(index.Update());
    EXPECT_EQ(Numbers(index, 6), (std::vector<std::string>{"09012345678"}));
    EXPECT_FALSE(index.Update());

    // A replaced file is read again from its start; a line longer than any
    // call line is no call.
    ASSERT_TRUE(
        WriteFile(log, std::string(3 << 20, 'x') + "\n" + t1 + "," + t2 + ",0451234567\r\n"));
    EXPECT_TRUE(index.Update());
    EXPECT_EQ(Numbers(index), (std::vector<std::string>{"0451234567"}));
    EXPECT_EQ(index.Skipped(), 1u);
    TCallLogIndex missing(folder.Path() / "missing.txt");
    EXPECT_FALSE(missing.Update());
}

TEST(CallHistoryTest, CountsCallsPerNumberWhateverTheWriting) {
    const TNumberKnowledge numbers("JP", "ja");
    TTempFolder folder;
    std::string log;
    for (const char* number : {"0312345678", "0312345678/12", "+81312345678", "P", "P",
                               texts::kNoNumberInformation, "0612345678"}) {
        log += ",2026/03/01 09:05:00," + std::string(number) + "\r\n";
    }
    ASSERT_TRUE(WriteFile(folder.Path() / "RingLog.txt", log));
    TCallLogIndex index(folder.Path() / "RingLog.txt");
    index.Update();
    // Before the keys are known each text counts itself.
    EXPECT_EQ(index.CountOf(index.CallerOf(0)), 1u);
    index.Update(&numbers);
    EXPECT_EQ(index.Keyed(), index.Callers());
    EXPECT_EQ(index.CountOf(index.CallerOf(0)), 3u);
    EXPECT_EQ(index.CountOf(index.CallerOf(2)), 3u);
    EXPECT_EQ(index.CountOf(index.CallerOf(3)), 2u);
    EXPECT_EQ(index.CountOf(index.CallerOf(5)), 1u);
    EXPECT_EQ(index.CountOf(index.CallerOf(6)), 1u);
    {
        std::ofstream out(folder.Path() / "RingLog.txt", std::ios::binary | std::ios::app);
        out << ",2026/03/01 09:06:00,0312345678\r\n";
    }
    index.Update(&numbers);
    EXPECT_EQ(index.CountOf(index.CallerOf(2)), 4u);
    index.ForgetKeys();
    EXPECT_EQ(index.CountOf(index.CallerOf(2)), 1u);
}

} // namespace
} // namespace telvane
