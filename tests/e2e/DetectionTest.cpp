// New callers as the user meets them: the adapter's listing changes between
// two polls, and the call log gets one line for it.
#include "EndToEnd.h"

namespace e2e {
namespace {

// Replies paced like a 9600 bit/s line, so the program gets them in pieces.
class Detection : public EndToEnd {
protected:
    Detection() : EndToEnd("1") {}
};

TEST_F(Detection, NewCallerBetweenPollsWritesExactlyOneLine) {
    WriteSettings(SettingsFile(), Polling());
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string first;
    ASSERT_NO_FATAL_FAILURE(NextLine(first));
    ASSERT_NO_FATAL_FAILURE(ExpectQuietPolls(1));

    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0312345678"));
    std::string second;
    ASSERT_NO_FATAL_FAILURE(NextLine(second));
    ASSERT_NO_FATAL_FAILURE(ExpectQuietPolls(2));
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));

    // The first answered query ever has no earlier poll: the line starts with
    // a comma, and the adapter's "BUFFER EMPTY" is written in Shift_JIS.
    const auto start = Fields(first);
    ASSERT_EQ(start.size(), 3u) << first;
    EXPECT_EQ(start[0], "");
    EXPECT_TRUE(IsTimeText(start[1])) << first;
    EXPECT_EQ(first, "," + start[1] + "," + sjis::kNoNumber + "\r\n");

    // The call came between the poll before and the one that saw it.
    const auto call = Fields(second);
    ASSERT_EQ(call.size(), 3u) << second;
    EXPECT_TRUE(IsTimeText(call[0])) << second;
    EXPECT_TRUE(IsTimeText(call[1])) << second;
    EXPECT_LE(start[1], call[0]);
    EXPECT_LE(call[0], call[1]);
    EXPECT_EQ(second, call[0] + "," + call[1] + ",0312345678\r\n");
    // Nothing else in the file: no header, no other line end, no padding.
    EXPECT_EQ(ReadFile(CallLog()), first + second);

    EXPECT_EQ(saved["DateTime"], call[1]);
    EXPECT_LE(call[1], saved["LastDateTime"]);
    EXPECT_EQ(saved["Magic10"].substr(0, 21), "RECEIVE CALLING PARTY");
    EXPECT_EQ(saved["Magic10"].substr(saved["Magic10"].size() - 12), "= 0312345678");
}

TEST_F(Detection, ShapeOfTheReplyDoesNotChangeWhatIsRead) {
    const struct {
        const char* Name;
        std::vector<std::string> Commands; // to ta-sim, before the ring
    } shapes[] = {
        {"LF CR line ends and RING lines", {"eol lfcr", "ringlines 3"}},
        {"slow line", {"eol crlf", "ringlines 0", "delay 5"}},
        {"bare CR line ends, no echo", {"delay 1", "eol cr", "echo off"}},
        {"stray and zero bytes, look-alike lines, random chunks",
         {"eol crlf", "echo on", "noise on", "bursts on"}},
    };
    WriteSettings(SettingsFile(), Polling());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitForLogLines(CallLog(), 1));

    // A new shape and a new caller at once: the caller must be read through
    // whatever the shape adds, and nothing else may count as a call.
    int number = 0;
    ASSERT_TRUE(Adapter->WaitForSent(Adapter->Sent() + 1));
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.Name);
        for (const std::string& command : shape.Commands) {
            Adapter->Send(command);
        }
        const std::string caller = "06" + std::to_string(12345670 + ++number);
        Adapter->Send("caller " + caller);
        std::string line;
        ASSERT_NO_FATAL_FAILURE(NextLine(line));
        EXPECT_EQ(Fields(line).back(), caller);
    }

    // Another adapter's identity line changes a watched line, but not the
    // caller: no call.
    Adapter->Send("identity ins");
    ASSERT_NO_FATAL_FAILURE(ExpectQuietPolls(2));

    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    EXPECT_EQ(saved["Magic0"].substr(0, 3), "INS");
    EXPECT_EQ(LogLines(CallLog()).size(), 1 + std::size(shapes));
}

} // namespace
} // namespace e2e
