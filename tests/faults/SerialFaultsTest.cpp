// Serial devices that misbehave, met by the monitor through the real serial
// component on pseudo-terminals. The test thread plays the window thread:
// it runs the monitor's handlers, picks up what the watch thread hands over,
// and gives the timer's ticks itself, so no test waits for a deadline to pass
// in real time. The other end of the pseudo-terminal plays the adapter.
//
// Each fault must end its query quietly in "検出不可" (or without any
// detection when the identity line came), the next query must work once
// the device is back, and no descriptor or thread may be left behind.
#include "FaultHelpers.h"
#include "PtyDevice.h"

#include "comm/Comm.h"
#include "monitor/CallerMonitor.h"
#include "monitor/ReplyReader.h"
#include "monitor/Texts.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/RecordingView.h"
#include "monitor/sim/SimAdapter.h"
#include "monitor/sim/SimRig.h"
#include "ui/CommPort.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace telvane {
namespace {

using namespace std::chrono_literals;

using faults::kPatience;
using faults::TPtyDevice;

// The window's timer: the test gives the ticks.
class TManualTimer final : public ITimer {
public:
    void SetEnabled(bool enabled) override { Enabled_ = enabled; }
    bool Enabled() const override { return Enabled_; }
    void SetInterval(std::uint32_t milliseconds) override { Interval_ = milliseconds; }
    std::uint32_t Interval() const override { return Interval_; }

private:
    bool Enabled_ = false;
    std::uint32_t Interval_ = 5000;
};

// The window thread's queue of wake-ups from the watch thread.
class TWakeups final : public IReceiveWakeup {
public:
    void PostReceived() override {
        std::lock_guard<std::mutex> lock(Mutex_);
        ++Pending_;
        Changed_.notify_all();
    }
    void Wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(Mutex_);
        Changed_.wait_for(lock, timeout, [this] { return Pending_ > 0; });
        Pending_ = 0;
    }

private:
    std::mutex Mutex_;
    std::condition_variable Changed_;
    int Pending_ = 0;
};

// A clock that moves on a second with every query.
class TStepClock final : public IClock {
public:
    std::string Now() const override {
        return sim::TimeTextOfSeconds(sim::TSimClock::kDefaultStart + Seconds_++);
    }

private:
    mutable std::int64_t Seconds_ = 0;
};

class SerialFaults : public ::testing::Test {
protected:
    void SetUp() override {
        // ThreadSanitizer starts a thread of its own with the first thread
        // the process makes; let that happen before counting.
        std::thread([] {}).join();
        Fds = faults::CountEntries("/proc/self/fd");
        Threads = faults::CountEntries("/proc/self/task");
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            OldConfigHome = old;
        }
        ::setenv("XDG_CONFIG_HOME", Folder.Path().c_str(), 1);
        Ports = Folder.Path() / "Maruvo" / "Telvane" / "ports";
        std::filesystem::create_directories(Ports);
        PreviousHandler = SetCommErrorHandler([this](const std::exception& error) {
            std::lock_guard<std::mutex> lock(ErrorsLock);
            CommErrors.push_back(error.what());
        });

        Device = std::make_unique<TPtyDevice>();
        LinkTo(Device->SlavePath());
        View.Port = "COM1";
        Monitor = std::make_unique<TCallerMonitor>(
            TMonitorEnvironment{View, Timer1, Port, Clock, Location, Store, Wakeups});
        Comm.SetOnCommReceive(
            [this](TComm*, std::uint16_t size) { Monitor->Comm1CommReceive(size); });
    }

    void TearDown() override {
        Comm.Close();
        Comm.SetOnCommReceive(nullptr);
        Device.reset();
        SetCommErrorHandler(PreviousHandler);
        if (OldConfigHome.empty()) {
            ::unsetenv("XDG_CONFIG_HOME");
        } else {
            ::setenv("XDG_CONFIG_HOME", OldConfigHome.c_str(), 1);
        }
        EXPECT_TRUE(CommErrors.empty()) << "reported from the watch thread: " << CommErrors[0];
    }

    // Nothing of the faults and the queries is left: the test's own
    // pseudo-terminal is closed first.
    void ExpectNothingLeftBehind() {
        Comm.Close();
        Device.reset();
        EXPECT_EQ(faults::CountEntries("/proc/self/fd"), Fds) << "a descriptor was left open";
        EXPECT_EQ(faults::CountEntries("/proc/self/task"), Threads) << "a thread was left running";
    }

    void LinkTo(const std::filesystem::path& target) {
        std::filesystem::remove(Ports / "COM1");
        std::filesystem::create_symlink(target, Ports / "COM1");
    }

    // The window thread picks up what the watch thread handed over until the
    // test is content or the patience runs out.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        for (;;) {
            Monitor->DrainReceived();
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            Wakeups.Wait(20ms);
        }
    }
    bool EndLineSeen() const {
        return Timer1.Enabled() && Timer1.Interval() == TCallerMonitor::kAfterEndLineMs;
    }

    // One whole query: the command arrives, the adapter answers with its
    // listing, the reply's end cuts the wait short, and the result follows.
    void AnsweredQuery() {
        ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand);
        Device->Write(Adapter.Listing());
        ASSERT_TRUE(PumpUntil([this] { return EndLineSeen(); })) << "the reply did not arrive";
        Monitor->Timer1Timer();
        ASSERT_FALSE(Comm.IsOpen());
        ASSERT_TRUE(Monitor->IsCheckPending());
    }
    // The start-up query, answered: the program knows the adapter's lines.
    void StartAndSettle() {
        Adapter.Ring("0120000100");
        Monitor->AllFormCreated();
        AnsweredQuery();
        ASSERT_EQ(View.Status, texts::kStatusNumberChanged);
        ASSERT_EQ(View.Number, "0120000100");
    }
    // The poll interval ends: the next query starts.
    void NextPoll() {
        ASSERT_TRUE(Monitor->IsCheckPending());
        Monitor->Timer1Timer();
        ASSERT_EQ(View.Status, texts::kStatusQuerying);
    }
    // The reply deadline ends: the result phase runs with what came.
    void Deadline() {
        ASSERT_FALSE(Monitor->IsCheckPending());
        Monitor->Timer1Timer();
        EXPECT_FALSE(Comm.IsOpen());
        EXPECT_TRUE(Monitor->IsCheckPending() && Timer1.Enabled()) << "the cycle must go on";
    }
    // The query that failed changed nothing the program holds.
    void ExpectQuietFailure(const TSnapshot& before) {
        EXPECT_EQ(View.Status, texts::kStatusCannotDetect);
        EXPECT_EQ(View.Number, "0120000100");
        EXPECT_EQ(Monitor->PreviousSnapshot(), before);
        EXPECT_TRUE(View.Errors.empty()) << View.Errors[0];
    }
    // The device is back (on a fresh pseudo-terminal if need be) and a new
    // caller has rung: the next query finds the caller.
    void ExpectNextPollWorks() {
        Adapter.Ring("0120000200");
        NextPoll();
        AnsweredQuery();
        EXPECT_EQ(View.Status, texts::kStatusNumberChanged);
        EXPECT_EQ(View.Number, "0120000200");
        EXPECT_TRUE(View.Errors.empty()) << View.Errors[0];
    }

    faults::TTempFolder Folder;
    std::filesystem::path Ports;
    std::string OldConfigHome;
    std::size_t Fds = 0;
    std::size_t Threads = 0;
    TCommErrorHandler PreviousHandler;
    std::mutex ErrorsLock;
    std::vector<std::string> CommErrors;

    std::unique_ptr<TPtyDevice> Device;
    sim::TSimAdapter Adapter;
    sim::TRecordingView View;
    TManualTimer Timer1;
    TComm Comm;
    TCommPort Port{Comm};
    TStepClock Clock;
    sim::TFixedLocation Location{"/nonexistent-telvane-folder"};
    sim::TMemorySettingsStore Store;
    TWakeups Wakeups;
    std::unique_ptr<TCallerMonitor> Monitor;
};

TEST_F(SerialFaults, UnpluggedMidReply) {
    StartAndSettle();
    const TSnapshot before = Monitor->PreviousSnapshot();
    Adapter.Ring("0120000150");
    NextPoll();
    ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand);
    // The identity line and a few more, then the plug is pulled mid-line.
    const std::string listing = Adapter.Listing();
    Device->Write(listing.substr(0, listing.find("ANALOG A PORT") + 5));
    // Bytes still on their way when the line goes dead are lost; these came.
    ASSERT_TRUE(PumpUntil([this] { return !Monitor->CurrentSnapshot()[0].empty(); }));
    TCommWatch* watch = Comm.Watch();
    ASSERT_NE(watch, nullptr);
    Device->Unplug();
    EXPECT_TRUE(watch->WaitFor(kPatience)) << "the watch thread must end with the line";
    Deadline();
    EXPECT_EQ(View.Status, "") << "the identity line came, nothing else changed";
    EXPECT_EQ(View.Number, "0120000100") << "the new caller's line never came";
    EXPECT_EQ(Monitor->PreviousSnapshot(), before);

    // Plugged in again: a new pseudo-terminal behind COM1.
    Device = std::make_unique<TPtyDevice>();
    LinkTo(Device->SlavePath());
    ExpectNextPollWorks();
    ExpectNothingLeftBehind();
}

TEST_F(SerialFaults, DeviceGoneBeforeOpen) {
    StartAndSettle();
    const TSnapshot before = Monitor->PreviousSnapshot();
    const std::string path = Device->SlavePath();
    Device.reset(); // the pseudo-terminal is gone; COM1 points nowhere
    NextPoll();
    Deadline();
    ExpectQuietFailure(before);

    Device = std::make_unique<TPtyDevice>();
    LinkTo(Device->SlavePath());
    ExpectNextPollWorks();
    ExpectNothingLeftBehind();
}

TEST_F(SerialFaults, PermissionDenied) {
    StartAndSettle();
    const TSnapshot before = Monitor->PreviousSnapshot();
    // Root ignores permission bits, not the immutable attribute: opening the
    // device for writing is refused.
    const std::filesystem::path guarded = Folder.Path() / "guarded-device";
    ASSERT_TRUE(faults::WriteFile(guarded, ""));
    {
        faults::TImmutable locked(guarded);
        if (!locked.Applied()) {
            GTEST_SKIP() << "cannot make a file immutable: " << locked.Error();
        }
        LinkTo(guarded);
        NextPoll();
        EXPECT_EQ(Device->Read(1, 200ms), "") << "nothing may reach the adapter";
        Deadline();
        ExpectQuietFailure(before);
    }
    LinkTo(Device->SlavePath());
    ExpectNextPollWorks();
    ExpectNothingLeftBehind();
}

TEST_F(SerialFaults, ExclusiveLockHeldElsewhere) {
    StartAndSettle();
    const TSnapshot before = Monitor->PreviousSnapshot();
    ASSERT_EQ(::flock(Device->Slave(), LOCK_EX | LOCK_NB), 0);
    NextPoll();
    EXPECT_EQ(Device->Read(1, 200ms), "") << "nothing may reach the adapter";
    Deadline();
    ExpectQuietFailure(before);

    ASSERT_EQ(::flock(Device->Slave(), LOCK_UN), 0);
    ExpectNextPollWorks();
    ExpectNothingLeftBehind();
}

TEST_F(SerialFaults, ReadErrorWhileTheAdapterStaysConnected) {
    StartAndSettle();
    const TSnapshot before = Monitor->PreviousSnapshot();
    NextPoll();
    ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand);
    TCommWatch* watch = Comm.Watch();
    ASSERT_NE(watch, nullptr);
    // A hang-up of the slave side: every descriptor of it reads and writes
    // only errors from now on, while the adapter's side stays open.
    if (::ioctl(Device->Slave(), TIOCVHANGUP) != 0) {
        GTEST_SKIP() << "cannot hang up the terminal: " << std::strerror(errno);
    }
    EXPECT_TRUE(watch->WaitFor(kPatience)) << "the watch thread must end on the error";
    Deadline();
    ExpectQuietFailure(before);

    ASSERT_TRUE(Device->ReopenSlave());
    Device->Discard();
    ExpectNextPollWorks();
    ExpectNothingLeftBehind();
}

// A pseudo-terminal has no CTS line to hold; stopping its output (as a
// received XOFF would) holds the command back just the same.
TEST_F(SerialFaults, WriteThatTimesOut) {
    StartAndSettle();
    const TSnapshot before = Monitor->PreviousSnapshot();
    ASSERT_EQ(::tcflow(Device->Slave(), TCOOFF), 0);
    NextPoll(); // the command waits a second for the line, then gives up
    EXPECT_TRUE(Comm.IsOpen());
    EXPECT_EQ(Device->Read(1, 200ms), "") << "the command must not get through";
    Deadline();
    ExpectQuietFailure(before);

    ASSERT_EQ(::tcflow(Device->Slave(), TCOON), 0);
    ExpectNextPollWorks();
    EXPECT_EQ(Device->Read(1, 200ms), "") << "a late copy of the command came";
    ExpectNothingLeftBehind();
}

// An adapter that never stops sending, with or without line ends: the
// deadline ends the query, the line buffer stays within its bound, and the
// next query after the adapter calmed down works.
TEST_F(SerialFaults, AdapterThatNeverStopsSending) {
    StartAndSettle();
    const std::string streams[] = {
        "AtermIT BABBLING ADAPTER\r\nDATA PORT = BUSY\r\nNOISE \x01\x02\x03\r\n",
        std::string(4096, 'x'),
    };
    for (const std::string& stream : streams) {
        SCOPED_TRACE(stream.substr(0, 10));
        const TSnapshot before = Monitor->PreviousSnapshot();
        NextPoll();
        ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand);
        std::atomic<bool> stop{false};
        std::atomic<std::size_t> sent{0};
        std::thread babbler([&] {
            while (!stop) {
                const std::size_t n = Device->WriteSome(stream);
                sent += n;
                if (n == 0) {
                    std::this_thread::sleep_for(1ms);
                }
            }
        });
        // Far more than a line may hold, handed over to the window thread.
        ASSERT_TRUE(PumpUntil([&] { return sent > 4 * TReplyReader::kMaxLineLength; }));
        Deadline(); // closes the port while the bytes still pour in
        stop = true;
        babbler.join();

        EXPECT_LE(Monitor->LineBuffer().size(), TReplyReader::kMaxLineLength);
        EXPECT_NE(View.Status, texts::kStatusNumberChanged);
        EXPECT_EQ(View.Number, "0120000100");
        EXPECT_EQ(Monitor->PreviousSnapshot()[kCallingPartySlot], before[kCallingPartySlot]);
        EXPECT_TRUE(View.Errors.empty());
        Device->Discard();
    }
    ExpectNextPollWorks();
    ExpectNothingLeftBehind();
}

} // namespace
} // namespace telvane
