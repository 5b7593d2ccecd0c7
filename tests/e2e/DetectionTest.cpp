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

// The two times and the number of a log line.
struct TLine {
    std::string Before;
    std::string At;
    std::string Number;
    bool EndsWithCrLf;
};

TLine Parse(const std::string& line) {
    // The number itself may hold commas; the times cannot.
    const auto first = line.find(',');
    const auto second = line.find(',', first + 1);
    TLine parsed;
    parsed.Before = line.substr(0, first);
    parsed.At = line.substr(first + 1, second - first - 1);
    const bool crlf = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
    parsed.Number = line.substr(second + 1, line.size() - second - 1 - (crlf ? 2 : 0));
    parsed.EndsWithCrLf = crlf;
    return parsed;
}

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
    const TLine start = Parse(first);
    EXPECT_EQ(start.Before, "");
    EXPECT_TRUE(IsTimeText(start.At)) << first;
    EXPECT_EQ(first, "," + start.At + "," + sjis::kNoNumber + "\r\n");

    // The call came between the poll before and the one that saw it.
    const TLine call = Parse(second);
    EXPECT_TRUE(IsTimeText(call.Before)) << second;
    EXPECT_TRUE(IsTimeText(call.At)) << second;
    EXPECT_LE(start.At, call.Before);
    EXPECT_LE(call.Before, call.At);
    EXPECT_EQ(second, call.Before + "," + call.At + ",0312345678\r\n");
    // Nothing else in the file: no header, no other line end, no padding.
    EXPECT_EQ(ReadFile(CallLog()), first + second);

    EXPECT_EQ(saved["DateTime"], call.At);
    EXPECT_LE(call.At, saved["LastDateTime"]);
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
        EXPECT_EQ(Parse(line).Number, caller);
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
