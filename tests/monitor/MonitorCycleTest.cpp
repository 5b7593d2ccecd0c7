// The query cycle on the simulated clock: statuses, timing, detection, the
// call log and the failures that must not stop the monitor.
#include "monitor/MonitorError.h"
#include "monitor/ShowAllReport.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace telvane {
namespace {

using sim::TimeTextOfSeconds;
using sim::TSimClock;
using sim::TSimReply;
using testing::ReadFile;

const std::string kMin = texts::kUnitMinutes;
const std::string kSec = texts::kUnitSeconds;

class Cycle : public ::testing::Test {
protected:
    Cycle() {
        Rig.AnswerWithListing();
        Rig.View.Port = "COM1";
    }

    std::string TimeAt(std::uint64_t ms) const {
        return TimeTextOfSeconds(TSimClock::kDefaultStart + static_cast<std::int64_t>(ms / 1000));
    }
    std::string Log() const { return ReadFile(Folder.Path() / "RingLog.txt"); }
    // Replies with exactly these bytes from now on.
    void AnswerWith(const std::string& bytes, std::size_t chunk = 64) {
        Rig.Port.Responder = [bytes, chunk](std::uint8_t) {
            TSimReply reply;
            reply.Bytes = bytes;
            reply.ChunkSize = chunk;
            return std::optional<TSimReply>(reply);
        };
    }
    void Silent() {
        Rig.Port.Responder = [](std::uint8_t) { return std::optional<TSimReply>(); };
    }
    // Settles the start-up query so that later queries can be looked at alone.
    void StartAndSettle() {
        Rig.Start();
        ASSERT_TRUE(Rig.RunUntilResult());
    }

    testing::TTempFolder Folder;
    sim::TSimRig Rig{Folder.Path()};
};

TEST_F(Cycle, FirstAnsweredQueryOnEmptySnapshotReportsTheCallerAndLogsIt) {
    Rig.View.LogRing = true;
    Rig.Adapter.Ring("0123456789");
    Rig.Start();
    EXPECT_EQ(Rig.View.Number, "?");
    EXPECT_EQ(Rig.View.Status, texts::kStatusQuerying);
    EXPECT_TRUE(Rig.Port.IsOpen());

    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_LT(Rig.Scheduler.Now(), 5000u) << "the end line must cut the reply wait short";
    EXPECT_FALSE(Rig.Port.IsOpen());
    EXPECT_EQ(Rig.View.Status, texts::kStatusNumberChanged);
    EXPECT_EQ(Rig.View.Number, "0123456789");
    EXPECT_EQ(Rig.View.Time, TimeAt(0));
    EXPECT_EQ(Rig.Monitor->PreviousSnapshot()[10], Rig.Adapter.Line(10));
    EXPECT_EQ(Rig.Monitor->PreviousSnapshot()[0], "AtermIT SIMULATED ADAPTER");
    EXPECT_EQ(Log(), "," + TimeAt(0) + ",0123456789\r\n");
    EXPECT_TRUE(Rig.Monitor->IsCheckPending());
    EXPECT_TRUE(Rig.Timer1.Enabled());
    EXPECT_EQ(Rig.Timer1.Interval(), 300000u);
}

TEST_F(Cycle, NewCallerBetweenTwoPollsGivesExactlyOneLogLine) {
    Rig.View.LogRing = true;
    StartAndSettle();
    const std::string firstLine = Log();
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, "");
    const std::string quietPoll = Rig.Monitor->GetQueryTime();
    EXPECT_EQ(Rig.Monitor->GetLastPollTime(), quietPoll);

    Rig.Scheduler.RunFor(60000);
    Rig.Adapter.Ring("0312345678");
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusNumberChanged);
    const std::string ringQuery = Rig.Monitor->GetQueryTime();
    EXPECT_EQ(Rig.Monitor->GetRingTime(), ringQuery);
    EXPECT_EQ(Log(), firstLine + quietPoll + "," + ringQuery + ",0312345678\r\n");

    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, "");
    EXPECT_EQ(Rig.View.Number, "0312345678");
    EXPECT_EQ(Rig.View.Time, ringQuery);
    EXPECT_EQ(Log(), firstLine + quietPoll + "," + ringQuery + ",0312345678\r\n");
}

TEST_F(Cycle, LogLineFieldsForSpecialNumbers) {
    Rig.View.LogRing = true;
    StartAndSettle();
    const std::string noInfo = texts::kNoNumberInformation;
    for (const std::string& number : {std::string("0312/55"), std::string("012,345"),
                                      std::string("  BUFFER EMPTY"), std::string("P")}) {
        Rig.Adapter.Ring(number);
        ASSERT_TRUE(Rig.RunUntilResult());
    }
    std::istringstream lines(Log());
    std::vector<std::string> numbers;
    for (std::string line; std::getline(lines, line);) {
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        // Field 1 is empty on the first line, 19 bytes long after.
        numbers.push_back(line.substr(line.find(',') + 21));
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{noInfo, "0312/55", "012,345", noInfo, "P"}));
}

TEST_F(Cycle, SilentAdapterErrorReplyOrMissingPortChangeNothing) {
    StartAndSettle();
    const TSnapshot before = Rig.Monitor->PreviousSnapshot();
    const std::string lastPoll = Rig.Monitor->GetLastPollTime();

    Silent();
    Rig.Adapter.Ring("0999");
    ASSERT_TRUE(Rig.RunUntilResult());
    const std::uint64_t queryStart = Rig.Scheduler.Now() - 5000;
    EXPECT_EQ(Rig.Monitor->GetQueryTime(), TimeAt(queryStart));
    EXPECT_EQ(Rig.View.Status, texts::kStatusCannotDetect);

    // An error reply has no identity line either.
    AnswerWith("ERROR\r\n");
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusCannotDetect);

    Rig.View.Port = "COM7"; // no such device
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    const std::uint64_t start = Rig.Scheduler.Now();
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.Scheduler.Now() - start, 5000u);
    EXPECT_EQ(Rig.View.Status, texts::kStatusCannotDetect);
    EXPECT_TRUE(Rig.View.Errors.empty()) << "open failures are not reported";
    EXPECT_EQ(Rig.Monitor->PreviousSnapshot(), before);
    EXPECT_EQ(Rig.Monitor->GetLastPollTime(), lastPoll);
    EXPECT_TRUE(Rig.Timer1.Enabled()) << "polling goes on";
}

// The first query of all: the reply wait ends 100 ms after an end line, each
// end line restarting that wait, else at the 5 s deadline. Only a reply with
// an identity line counts as a poll.
TEST_F(Cycle, ReplyWaitEndsShortlyAfterEachEndLineElseAtTheDeadline) {
    std::string noEnd = Rig.Adapter.Listing();
    noEnd.erase(noEnd.find("\r\nOK"));
    const struct {
        const char* Name;
        std::string Bytes;
        std::size_t Chunk;
        std::uint64_t GapMs;
        std::uint64_t EndsAt;
        std::string Status;
    } cases[] = {
        {"listing without end line", noEnd + "\r\n", 64, 64, 5000, texts::kStatusNumberChanged},
        {"error reply alone", "ERROR\r\n", 64, 64, 200 + 100, texts::kStatusCannotDetect},
        {"two end lines 50 ms apart", "OK\r\nOK\r\n", 4, 50, 200 + 50 + 100,
         texts::kStatusCannotDetect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        testing::TTempFolder folder;
        sim::TSimRig rig{folder.Path()};
        rig.View.Port = "COM1";
        rig.Port.Responder = [&c](std::uint8_t) {
            TSimReply reply;
            reply.Bytes = c.Bytes;
            reply.ChunkSize = c.Chunk;
            reply.ChunkGapMs = c.GapMs;
            return std::optional<TSimReply>(reply);
        };
        rig.Start();
        ASSERT_TRUE(rig.RunUntilResult());
        EXPECT_EQ(rig.Scheduler.Now(), c.EndsAt);
        EXPECT_EQ(rig.View.Status, c.Status);
        const bool answered = c.Status == texts::kStatusNumberChanged;
        EXPECT_EQ(rig.Monitor->GetLastPollTime(), answered ? rig.Monitor->GetQueryTime() : "");
        EXPECT_EQ(rig.Monitor->GetRingTime(), answered ? rig.Monitor->GetQueryTime() : "");
    }
}

TEST_F(Cycle, OnlyTheCallingPartyLineMeansANewCaller) {
    StartAndSettle();
    // Another watched line changes: activity, no caller.
    Rig.Adapter.SetValue(3, "BUSY");
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusActivity);
    const std::string ring = Rig.Monitor->GetRingTime();

    // A reply without the calling-party line keeps the earlier one.
    std::string listing = Rig.Adapter.Listing();
    const auto at = listing.find("RECEIVE CALLING");
    listing.erase(at, listing.find('\n', at) + 1 - at);
    AnswerWith(listing);
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, "");
    EXPECT_EQ(Rig.Monitor->GetRingTime(), ring);

    // Any difference in that line counts, even where the number stays.
    listing = Rig.Adapter.Listing();
    listing.replace(listing.find("RECEIVE CALLING PARTY"), 21, "RECEIVE CALLING PARTY ");
    AnswerWith(listing);
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusNumberChanged);
}

TEST_F(Cycle, ShowAllReportComesOnceWithTheNextQuietResult) {
    int shown = 0;
    Rig.View.WhileModal = [&](const std::string&) {
        ++shown;
        // The user reads the box for a minute; the cycle waits meanwhile.
        EXPECT_FALSE(Rig.Timer1.Enabled());
        EXPECT_FALSE(Rig.Port.IsOpen());
        Rig.Scheduler.Skip(60000);
    };
    StartAndSettle();

    // The result of this query is a change: the report waits.
    Rig.Adapter.Ring("0312345678");
    Rig.Handle([&] { Rig.Monitor->ShowButtonClick(); });
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(Rig.Monitor->IsShowAllRequested());

    // The next regular poll is quiet and shows it.
    ASSERT_TRUE(Rig.RunUntilResult());
    ASSERT_EQ(shown, 1);
    EXPECT_FALSE(Rig.Monitor->IsShowAllRequested());
    EXPECT_EQ(Rig.View.Messages.back(),
              ShowAllReport(Rig.Monitor->GetQueryTime(), Rig.Monitor->GetRingTime(),
                            Rig.Monitor->PreviousSnapshot()));
    EXPECT_EQ(Rig.View.Messages.back().rfind("(Now: ", 0), 0u);
    // The poll interval starts when the box is closed.
    EXPECT_EQ(Rig.Timer1.NextTickAt(), Rig.Scheduler.Now() + 300000);

    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(shown, 1);
}

TEST_F(Cycle, ShowButtonWithoutPortKeepsTheRequest) {
    Rig.View.Port = "";
    Rig.Start();
    Rig.Handle([&] { Rig.Monitor->ShowButtonClick(); });
    EXPECT_EQ(Rig.View.Number, texts::kNumberNoPort);
    EXPECT_EQ(Rig.View.Status, texts::kStatusNoPort);
    EXPECT_FALSE(Rig.Timer1.Enabled());
    Rig.Scheduler.RunFor(24 * 3600 * 1000);
    EXPECT_EQ(Rig.Port.OpenCount(), 0);
    EXPECT_EQ(Rig.View.Time, "1998/01/01 00:00:00");

    // Choosing a port starts a query; the first result changes everything,
    // so the report waits for the one after.
    Rig.View.Port = "COM1";
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_TRUE(Rig.View.Messages.empty());
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Messages.size(), 1u);
}

TEST_F(Cycle, PollIntervalTakesEffectFromTheNextResult) {
    StartAndSettle();
    Rig.View.Interval = "15" + kSec;
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    EXPECT_TRUE(Rig.Port.IsOpen()) << "a selector change queries at once";
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.Timer1.Interval(), 15000u);
    const std::uint64_t result = Rig.Scheduler.Now();
    Rig.Scheduler.RunUntilTrue([&] { return Rig.Port.IsOpen(); }, 60000);
    EXPECT_EQ(Rig.Scheduler.Now() - result, 15000u);
}

TEST_F(Cycle, IllegalUnitWarnsAndUsesMinutes) {
    Rig.View.Interval = " 2m";
    StartAndSettle();
    EXPECT_EQ(Rig.View.Messages, std::vector<std::string>{"Illegal Interval 2m"});
    EXPECT_EQ(Rig.Timer1.Interval(), 120000u);
    EXPECT_TRUE(Rig.Timer1.Enabled());
}

TEST_F(Cycle, BadIntervalNumberStopsTheCycleAfterTheResultIsShown) {
    for (const std::string& text : {"5" + kMin, "-5" + kMin, "ab" + kSec}) {
        Rig.View.Interval = text;
        Rig.View.Messages.clear();
        Rig.View.Errors.clear();
        Rig.Adapter.Ring("0" + std::to_string(text.size()) + text.substr(0, 1));
        Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
        ASSERT_TRUE(Rig.RunUntilResult());
        EXPECT_EQ(Rig.View.Errors.size(), 1u) << text;
        EXPECT_NE(Rig.View.Errors.front().find(text), std::string::npos);
        EXPECT_EQ(Rig.View.Status, texts::kStatusNumberChanged);
        EXPECT_EQ(Rig.View.Number, Rig.Adapter.Value(10));
        EXPECT_TRUE(Rig.Monitor->IsCheckPending());
        EXPECT_FALSE(Rig.Timer1.Enabled()) << text;
    }
    // "5分" has no unit in bytes 3 and 4 either: the warning comes first.
    Rig.View.Interval = "5" + kMin;
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Messages, std::vector<std::string>{"Illegal Interval5" + kMin});
    const int opens = Rig.Port.OpenCount();
    Rig.Scheduler.RunFor(3600 * 1000);
    EXPECT_EQ(Rig.Port.OpenCount(), opens);
}

TEST_F(Cycle, ZeroIntervalNeverPollsAgain) {
    Rig.View.Interval = " 0" + kMin;
    StartAndSettle();
    EXPECT_TRUE(Rig.Timer1.Enabled());
    Rig.Scheduler.RunFor(48 * 3600 * 1000);
    EXPECT_EQ(Rig.Port.CommandCount(), 1);
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    EXPECT_EQ(Rig.Port.CommandCount(), 2);
}

TEST_F(Cycle, PortTextsOnlyTheFourthByteCounts) {
    Rig.Port.ExistingPorts = {0, 1, 2};
    const struct {
        std::string Text;
        int Port;
    } ports[] = {{"COM12", 1}, {"COM2", 2}, {"xyz0", 0}};
    for (const auto& p : ports) {
        Rig.View.Port = p.Text;
        Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
        EXPECT_EQ(Rig.Port.Port(), p.Port) << p.Text;
        ASSERT_TRUE(Rig.RunUntilResult());
    }
}

TEST_F(Cycle, OpenQueryStillEndsWhenTheUserBreaksThePortText) {
    Rig.Start();
    Rig.Scheduler.RunFor(50);
    Rig.View.Port = "COMx";
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    EXPECT_EQ(Rig.View.Errors.size(), 1u);
    EXPECT_FALSE(Rig.Timer1.Enabled());
    EXPECT_TRUE(Rig.Port.IsOpen());
    // The reply's end line re-arms the timer and the result phase runs.
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusNumberChanged);
    EXPECT_FALSE(Rig.Port.IsOpen());
}

TEST_F(Cycle, CheckDuringAQueryResendsOnTheOpenPort) {
    Rig.Start();
    Rig.Scheduler.RunFor(100);
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    EXPECT_EQ(Rig.Port.OpenCount(), 1);
    EXPECT_EQ(Rig.Port.CommandCount(), 2);
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusNumberChanged);
}

TEST_F(Cycle, UnwritableLogIsReportedAndPollingGoesOn) {
    Rig.View.LogRing = true;
    std::filesystem::create_directory(Folder.Path() / "RingLog.txt");
    Rig.Adapter.Ring("0111");
    Rig.Start();
    ASSERT_TRUE(Rig.RunUntilResult());
    ASSERT_EQ(Rig.View.Notices.size(), 1u);
    EXPECT_EQ(Rig.View.Notices[0].rfind(texts::kRingLogBefore + Folder.Path().string(), 0), 0u);
    EXPECT_EQ(Rig.View.Number, "0111");
    EXPECT_EQ(Rig.View.Time, TimeAt(0));
    EXPECT_TRUE(Rig.Timer1.Enabled());

    // The next call finds the log writable again: the waiting line goes first.
    std::filesystem::remove(Folder.Path() / "RingLog.txt");
    Rig.Adapter.Ring("0222");
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Log(), "," + TimeAt(0) + ",0111\r\n" + TimeAt(0) + "," + Rig.Monitor->GetRingTime() +
                         ",0222\r\n");
}

TEST_F(Cycle, UntickedLogWritesNothing) {
    Rig.Adapter.Ring("0111");
    StartAndSettle();
    Rig.View.LogRing = true;
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() / "RingLog.txt"));
}

// Weeks of polling with calls at random moments and an adapter that is
// silent or cut off now and then: every call is logged once, correctly.
TEST_F(Cycle, WeeksOfPollingMissNoCallAndDoubleNone) {
    Rig.View.LogRing = true;
    Rig.View.Interval = " 1" + kMin;
    std::mt19937 random(7);
    Rig.Port.Responder = [&](std::uint8_t) {
        TSimReply reply;
        reply.Bytes = Rig.Adapter.Listing();
        const auto dice = random() % 100;
        if (dice < 4) {
            return std::optional<TSimReply>();
        }
        if (dice < 8) {
            reply.Bytes.resize(random() % reply.Bytes.size());
        }
        return std::optional<TSimReply>(reply);
    };
    StartAndSettle();
    const std::string firstLine = Log();

    struct TCall {
        std::string Number;
        std::string At;
    };
    std::vector<TCall> calls;
    const std::uint64_t days = 7;
    const std::uint64_t end = days * 24 * 3600 * 1000;
    for (std::uint64_t at = 600000; at < end; at += 20 * 60000 + random() % (90 * 60000)) {
        Rig.Scheduler.PostAt(at, [&, at] {
            calls.push_back({"09" + std::to_string(10000000 + calls.size()), TimeAt(at)});
            Rig.Adapter.Ring(calls.back().Number);
        });
    }
    Rig.Scheduler.RunUntil(end);

    std::istringstream log(Log().substr(firstLine.size()));
    std::size_t index = 0;
    for (std::string line; std::getline(log, line); ++index) {
        ASSERT_LT(index, calls.size());
        ASSERT_EQ(line, line.substr(0, 40) + calls[index].Number + "\r");
        // A reply cut off before its calling-party line still counts as an
        // answered poll, so field 1 may lie after the call; field 2 never
        // lies before it.
        const std::string lastPoll = line.substr(0, 19);
        const std::string ringQuery = line.substr(20, 19);
        EXPECT_LT(lastPoll, ringQuery);
        EXPECT_GE(ringQuery, calls[index].At);
    }
    EXPECT_EQ(index, calls.size());
    EXPECT_GT(calls.size(), 100u);
    EXPECT_GT(Rig.ResultPhases, static_cast<int>(days * 24 * 50));
    // Nothing piles up: at most the timer and a stray delivery wait.
    EXPECT_LE(Rig.Scheduler.PendingEvents(), 2u);
    EXPECT_LT(Rig.Monitor->LineBuffer().size(), 4096u);
}

} // namespace
} // namespace telvane
