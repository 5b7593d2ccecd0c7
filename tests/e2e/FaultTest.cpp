// An adapter or a port that does not answer as it should. Each test first
// lets the program store the adapter's listing, then starts it again with a
// new caller waiting behind the fault. A query that got no identity line must
// not count as a poll: the call's line names the last answered query of the
// first run as the poll before the call.
#include "EndToEnd.h"

namespace e2e {
namespace {

class Faults : public EndToEnd {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(EndToEnd::SetUp());
        ASSERT_NO_FATAL_FAILURE(Baseline(Stored));
        FirstQuery = Adapter->Commands() + 1;
    }

    // The new caller's line, once it is there.
    void ExpectCallLogged(const std::string& caller, std::vector<std::string>& fields) {
        ASSERT_TRUE(WaitForLogLines(CallLog(), 2)) << "the call was not logged";
        fields = Fields(LogLines(CallLog()).at(1));
        ASSERT_EQ(fields.size(), 3u);
        EXPECT_EQ(fields[2], caller);
    }

    TSettings Stored;
    int FirstQuery = 0;
};

// Also the first query after a start that gets no reply: the stored snapshot
// stays as it was, so that query is no call.
TEST_F(Faults, SilentAdapterIsNoCallAndPollingGoesOn) {
    Adapter->Send("silent");
    Adapter->Send("caller 0398765432");
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Adapter->WaitForCommands(FirstQuery));
    const auto cpuBefore = Program->Process().CpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    // The next query comes after the reply deadline and the poll interval.
    ASSERT_TRUE(Adapter->WaitForCommands(FirstQuery + 1)) << "polling stopped";
    const auto cpu = Program->Process().CpuTime() - cpuBefore;
    const auto wall = std::chrono::steady_clock::now() - wallBefore;
    // Waiting for a reply that does not come must not keep a processor busy.
    EXPECT_LT(cpu * 4, wall) << "the program used " << cpu.count() << " ms of processor time";

    std::vector<std::string> fields;
    ASSERT_NO_FATAL_FAILURE(ExpectCallLogged("0398765432", fields));
    EXPECT_EQ(fields[0], Stored["LastDateTime"]);
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    EXPECT_EQ(LogLines(CallLog()).size(), 2u);
}

TEST_F(Faults, HangUpInTheMiddleOfAReply) {
    Adapter->Send("hangup");
    Adapter->Send("caller 0398765435");
    ASSERT_NO_FATAL_FAILURE(Start());
    // ta-sim comes back on a new pseudo-terminal, and COM1 follows it.
    const std::string hangUp = "hangup " + std::to_string(FirstQuery);
    bool hungUp = false;
    ASSERT_TRUE(Adapter->WaitFor([&](const std::string& event) {
        hungUp = hungUp || event == hangUp;
        return hungUp && event.rfind("link COM1", 0) == 0;
    })) << "no hang-up, or no new link after it";

    // The half reply had no calling-party line; the next query finds it.
    std::vector<std::string> fields;
    ASSERT_NO_FATAL_FAILURE(ExpectCallLogged("0398765435", fields));
    EXPECT_TRUE(IsTimeText(fields[0]));
    EXPECT_GE(Adapter->Commands(), FirstQuery + 1);
    ASSERT_NO_FATAL_FAILURE(ExpectQuietPolls(1));
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
}

// The reply takes longer than the program waits for it: the query ends with
// the lines that came, the rest of the reply runs into the next query, where
// the calling-party line and "OK" end that one. Where a query's port closes
// in the middle of a line, that line's start is joined to the next query's
// first line, so how many lines the log gets is up to the timing; the call
// itself must be logged, and polling must go on.
TEST_F(Faults, AdapterSlowerThanTheReplyDeadline) {
    Adapter->Send("slow 20"); // about 9 s for the listing
    Adapter->Send("caller 0398765437");
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Adapter->WaitForEvent("sent " + std::to_string(FirstQuery)));
    Adapter->Send("delay 0.2");
    ASSERT_TRUE(WaitForLogLines(CallLog(), 2));
    ASSERT_NO_FATAL_FAILURE(WaitForPolls(3));
    bool logged = false;
    for (const std::string& line : LogLines(CallLog())) {
        const auto fields = Fields(line);
        logged = logged || (fields.size() == 3 && fields[2] == "0398765437");
    }
    EXPECT_TRUE(logged) << ReadFile(CallLog());
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    EXPECT_EQ(saved["Magic10"].substr(saved["Magic10"].size() - 12), "= 0398765437");
}

} // namespace
} // namespace e2e
