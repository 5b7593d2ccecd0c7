// A month of polling on the simulated clock: the monitor polls every 15
// seconds, callers ring at random moments, the adapter stays silent or is
// cut off now and then, the call log is on, and half-way through the program
// is closed for a while and started again (a caller rings meanwhile).
//
// Every call must be detected exactly once, by the first query whose reply
// carried the new calling-party line; every log line must name the last
// answered query before it, that query and the caller; and the memory in use
// must not grow.
//
// TELVANE_SOAK_DAYS sets the simulated days (default 30).
#include "TempFolder.h"

#include "monitor/Texts.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/SimRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TELVANE_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TELVANE_SANITIZED_HEAP 1
#endif
#endif
#ifdef TELVANE_SANITIZED_HEAP
// The sanitizers' allocators count what is in use; g++ ships no header that
// declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace telvane {
namespace {

using sim::TimeTextOfSeconds;

constexpr std::uint64_t kSecond = 1000;
constexpr std::uint64_t kMinute = 60 * kSecond;
constexpr std::uint64_t kHour = 60 * kMinute;
constexpr std::uint64_t kDay = 24 * kHour;

// Bytes of heap in use by the program (not what the allocator keeps back).
std::size_t HeapInUse() {
#ifdef TELVANE_SANITIZED_HEAP
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

std::uint64_t SoakDays() {
    if (const char* days = std::getenv("TELVANE_SOAK_DAYS")) {
        const long value = std::strtol(days, nullptr, 10);
        if (value > 0) {
            return static_cast<std::uint64_t>(value);
        }
    }
    return 30;
}

struct TCall {
    std::string Number;
    std::int64_t At = 0; // seconds since the start of the month
};

class Soak : public ::testing::Test {
protected:
    // Runs the program from the given moment for the given time, with
    // callers ringing at random meanwhile. Returns the rig's result phases.
    int RunProgram(std::uint64_t from, std::uint64_t duration) {
        sim::TSimRig rig(Folder.Path(), &Store,
                         sim::TSimClock::kDefaultStart + static_cast<std::int64_t>(from / kSecond));
        if (from == 0) {
            rig.View.Port = "COM1";
            rig.View.Interval = std::string("15") + texts::kUnitSeconds;
            rig.View.LogRing = true;
        }
        const auto secondsOf = [&rig, from] {
            return static_cast<std::int64_t>((from + rig.Scheduler.Now()) / kSecond);
        };
        rig.Port.Responder = [&](std::uint8_t) { return Reply(secondsOf()); };
        rig.View.OnStatus = [this](const std::string& status) {
            if (status == texts::kStatusNumberChanged) {
                ++Detections;
            }
        };
        ScheduleCall(rig, from, from + duration);
        // The window's status history is the recording view's, not the
        // program's: it is dropped every hour so that only the program's
        // own memory is measured.
        std::function<void()> forget = [&] {
            rig.View.StatusHistory.clear();
            rig.View.StatusHistory.shrink_to_fit();
            rig.Scheduler.PostAfter(kHour, forget);
        };
        rig.Scheduler.PostAfter(kHour, forget);

        rig.Start();
        if (from == 0) {
            rig.Scheduler.RunUntil(kDay);
            HeapAtStart = HeapInUse();
            ResidentAtStart = ResidentBytes();
        }
        rig.Scheduler.RunUntil(duration);
        // Measured with a program running, as at the start.
        HeapAtEnd = HeapInUse();
        ResidentAtEnd = ResidentBytes();
        EXPECT_TRUE(rig.View.Errors.empty()) << rig.View.Errors.front();
        EXPECT_TRUE(rig.View.Messages.empty()) << rig.View.Messages.front();
        EXPECT_LT(rig.Monitor->LineBuffer().size(), 4096u);
        // The cycle timer, the next caller and the hourly clean-up; at most
        // one delivery of a reply in flight besides.
        EXPECT_LE(rig.Scheduler.PendingEvents(), 4u);
        rig.Handle([&rig] { rig.Monitor->FormClose(); });
        return rig.ResultPhases;
    }

    // The next caller rings between 2 minutes and 4 hours from now, and no
    // later than half an hour before the program is closed.
    void ScheduleCall(sim::TSimRig& rig, std::uint64_t from, std::uint64_t until) {
        std::uniform_int_distribution<std::uint64_t> gap(2 * kMinute, 4 * kHour);
        // Odd milliseconds: a call never coincides with a query's command.
        const std::uint64_t at = (rig.Scheduler.Now() + gap(Random)) | 1;
        if (from + at + 30 * kMinute >= until) {
            return;
        }
        rig.Scheduler.PostAt(at, [this, &rig, from, until] {
            Ring(static_cast<std::int64_t>((from + rig.Scheduler.Now()) / kSecond));
            ScheduleCall(rig, from, until);
        });
    }

    void Ring(std::int64_t at) {
        // Every caller has a number of its own; now and then one withholds it.
        std::string number = "0" + std::to_string(300000000 + Calls.size() * 7919 % 699999999);
        if (Calls.size() % 17 == 5) {
            number = "BUFFER EMPTY";
        }
        Overtaken += Unseen ? 1 : 0;
        Unseen = true;
        Calls.push_back({number, at});
        Device.Ring(number);
    }

    static std::string TimeText(std::int64_t at) {
        return at < 0 ? std::string() : TimeTextOfSeconds(sim::TSimClock::kDefaultStart + at);
    }

    // What the adapter sent to one query, as the log must show it: the first
    // query after a call whose reply carries the calling-party line whole
    // sees the call; the log line names the last query before it whose reply
    // carried the identity line whole.
    void Note(std::int64_t at, bool identity, bool caller) {
        ++Queries;
        if (Unseen && caller) {
            const std::string& number = Calls.back().Number;
            ExpectedLog += TimeText(LastAnswered) + "," + TimeText(at) + "," +
                           (number == "BUFFER EMPTY" ? texts::kNoNumberInformation : number) +
                           "\r\n";
            Unseen = false;
        }
        if (identity) {
            LastAnswered = at;
        }
    }

    // The adapter's answer to one query: usually the listing, 2.5% of the
    // time nothing, 2.5% of the time the listing cut off at a random byte,
    // also several times in a row.
    std::optional<sim::TSimReply> Reply(std::int64_t at) {
        sim::TSimReply reply;
        reply.Bytes = Device.Listing();
        const auto dice = Random() % 1000;
        if (dice < 25) {
            Note(at, false, false);
            return std::nullopt;
        }
        bool identity = true;
        bool caller = true;
        if (dice < 50) {
            const std::size_t cut = Random() % reply.Bytes.size();
            const std::string identityLine = "AtermIT SIMULATED ADAPTER\r";
            const std::string callerLine = Device.Line(kCallingPartySlot) + "\r";
            identity = reply.Bytes.find(identityLine) + identityLine.size() <= cut;
            caller = reply.Bytes.find(callerLine) + callerLine.size() <= cut;
            reply.Bytes.resize(cut);
            ++CutReplies;
        }
        Note(at, identity, caller);
        return reply;
    }

    testing::TTempFolder Folder;
    sim::TMemorySettingsStore Store;
    sim::TSimAdapter Device;
    std::mt19937_64 Random{20260301};
    std::vector<TCall> Calls;
    // Reserved in advance, like Calls, so that the test's own records do not
    // count as growth of the program's memory.
    std::string ExpectedLog;
    std::int64_t LastAnswered = -1;
    bool Unseen = false;
    int Overtaken = 0;
    std::size_t Queries = 0;
    int Detections = 0;
    int CutReplies = 0;
    std::size_t HeapAtStart = 0;
    std::size_t ResidentAtStart = 0;
    std::size_t HeapAtEnd = 0;
    std::size_t ResidentAtEnd = 0;
};

TEST_F(Soak, MonthOfFifteenSecondPollingDetectsEveryCallOnceAndStaysFlat) {
    const std::uint64_t days = SoakDays();
    ASSERT_GE(days, 2u) << "the soak needs at least two days";
    const std::uint64_t total = days * kDay;
    const std::uint64_t firstRun = total / 2;
    const std::uint64_t downtime = 47 * kMinute;
    // The program is closed for a while; a caller rings meanwhile.
    const std::uint64_t downCall = firstRun + 20 * kMinute;
    Calls.reserve(days * 48);
    ExpectedLog.reserve(days * 48 * 80);

    const auto started = std::chrono::steady_clock::now();
    // The adapter already holds a calling-party line when the program first
    // starts with an empty snapshot: the first answer counts as a call.
    Ring(0);
    int results = RunProgram(0, firstRun);
    Ring(static_cast<std::int64_t>(downCall / kSecond));
    results += RunProgram(firstRun + downtime, total - firstRun - downtime);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    EXPECT_EQ(Overtaken, 0) << "a call rang before the one before it was seen";
    EXPECT_FALSE(Unseen) << "the last call was never seen";
    const std::string log = testing::ReadFile(Folder.Path() / texts::kRingLogFileName);
    // The first line that differs, not the whole month.
    const auto differs =
        std::mismatch(log.begin(), log.end(), ExpectedLog.begin(), ExpectedLog.end());
    EXPECT_EQ(std::string(differs.first, log.end()).substr(0, 120),
              std::string(differs.second, ExpectedLog.end()).substr(0, 120));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), static_cast<long>(Calls.size()));
    EXPECT_EQ(Detections, static_cast<int>(Calls.size()));

    std::printf("soak: %llu simulated days, %d result phases, %zu queries (%d cut off), "
                "%zu calls, %.1f s\n",
                static_cast<unsigned long long>(days), results, Queries, CutReplies, Calls.size(),
                seconds);
    std::printf("soak: heap in use %zu -> %zu bytes, resident %zu -> %zu KiB\n", HeapAtStart,
                HeapAtEnd, ResidentAtStart / 1024, ResidentAtEnd / 1024);
    // A cycle takes 15 s plus the reply (under a second, 5 s when silent):
    // fewer results would mean that polling stalled somewhere.
    EXPECT_GT(results, static_cast<int>((total - downtime) / (17 * kSecond)));
    EXPECT_LE(HeapAtEnd, HeapAtStart + 64 * 1024) << "the heap grew";
}

} // namespace
} // namespace telvane
