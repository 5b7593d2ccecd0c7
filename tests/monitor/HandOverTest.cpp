// Received bytes cross from the port's watch thread to the window thread:
// a real thread feeds replies while the window thread runs query cycles.
#include "monitor/CallerMonitor.h"
#include "monitor/ErrorReport.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/RecordingView.h"
#include "monitor/sim/SimRig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace telvane {
namespace {

// A timer that only the window thread may touch; ticks are given by hand.
class TWindowTimer final : public ITimer {
public:
    void SetEnabled(bool enabled) override {
        CheckThread();
        Enabled_ = enabled;
    }
    bool Enabled() const override { return Enabled_; }
    void SetInterval(std::uint32_t ms) override {
        CheckThread();
        Interval_ = ms;
    }
    std::uint32_t Interval() const override { return Interval_; }
    std::thread::id WindowThread = std::this_thread::get_id();
    std::atomic<int> ForeignTouches{0};

private:
    void CheckThread() {
        if (std::this_thread::get_id() != WindowThread) {
            ++ForeignTouches;
        }
    }
    bool Enabled_ = false;
    std::uint32_t Interval_ = 5000;
};

// A port whose watch thread sends numbered calling-party lines, in pieces,
// until it is closed; Close stops and joins it, as the serial component does.
class TThreadedPort final : public IPort {
public:
    std::function<void(std::uint16_t)> OnReceive;

    void SetPort(std::uint8_t) override {}
    void Open() override {
        if (Watch_.joinable()) {
            return;
        }
        Stop_ = false;
        Watch_ = std::thread([this] { Run(); });
    }
    void WriteString(const std::string&) override {}
    void Close() override {
        if (!Watch_.joinable()) {
            return;
        }
        Stop_ = true;
        Watch_.join();
        std::lock_guard<std::mutex> lock(Mutex_);
        Input_.clear();
    }
    std::size_t Read(char* buffer, std::size_t count) override {
        std::lock_guard<std::mutex> lock(Mutex_);
        const std::size_t n = std::min(count, Input_.size());
        std::copy_n(Input_.begin(), n, buffer);
        Input_.erase(0, n);
        return n;
    }

    // The last calling-party line whose carriage return was announced
    // before the close. Read on the window thread after Close only.
    std::string LastCompleteLine;
    std::atomic<int> LinesSent{0};

private:
    void Run() {
        const std::string identity = "AtermIT\r\n";
        Send(identity);
        while (!Stop_) {
            const std::string line = "RECEIVE CALLING PARTY = " + std::to_string(Counter_++);
            const std::string bytes = line + "\r\n";
            // In two pieces, so that lines also break across notifications.
            const std::size_t half = bytes.size() / 2;
            Send(bytes.substr(0, half));
            Send(bytes.substr(half));
            LastCompleteLine = line;
            ++LinesSent;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    void Send(const std::string& bytes) {
        std::size_t queued;
        {
            std::lock_guard<std::mutex> lock(Mutex_);
            Input_ += bytes;
            queued = Input_.size();
        }
        OnReceive(static_cast<std::uint16_t>(std::min<std::size_t>(queued, 0xFFFF)));
    }

    std::thread Watch_;
    std::atomic<bool> Stop_{false};
    std::mutex Mutex_;
    std::string Input_;
    std::uint64_t Counter_ = 0;
};

// The window thread's event queue and clock.
class TWindow final : public IReceiveWakeup, public IClock {
public:
    void PostReceived() override {
        std::lock_guard<std::mutex> lock(Mutex_);
        ++Pending_;
        Ready_.notify_one();
    }
    // Waits for one wake-up; returns false after the timeout.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(Mutex_);
        const bool woken = Ready_.wait_for(lock, timeout, [&] { return Pending_ > 0; });
        Pending_ -= woken ? 1 : 0;
        return woken;
    }
    std::string Now() const override { return "2026/03/01 09:00:00"; }

private:
    std::mutex Mutex_;
    std::condition_variable Ready_;
    int Pending_ = 0;
};

TEST(HandOver, ResultPhaseSeesEveryLineCompletedBeforeTheClose) {
    sim::TRecordingView view;
    view.Port = "COM1";
    TWindowTimer timer;
    TThreadedPort port;
    TWindow events;
    sim::TFixedLocation location(std::filesystem::temp_directory_path());
    sim::TMemorySettingsStore settings;
    TCallerMonitor monitor({view, timer, port, events, location, settings, events});
    port.OnReceive = [&](std::uint16_t size) { monitor.Comm1CommReceive(size); };

    ASSERT_TRUE(RunReportingErrors(view, [&] { monitor.AllFormCreated(); }));
    for (int cycle = 0; cycle < 200; ++cycle) {
        // The window thread handles a few wake-ups while the reply flows (at
        // least one line more: a busy machine may hold the watch thread back)...
        const int sentBefore = port.LinesSent;
        for (int i = 0; i < 3 || port.LinesSent == sentBefore; ++i) {
            ASSERT_LT(i, 100) << "the reply stopped flowing";
            if (events.Wait(std::chrono::milliseconds(200))) {
                monitor.DrainReceived();
            }
        }
        // ...then the deadline tick: the result phase, then the query phase.
        ASSERT_TRUE(RunReportingErrors(view, [&] { monitor.Timer1Timer(); }));
        ASSERT_EQ(monitor.PreviousSnapshot()[10], port.LastCompleteLine) << "cycle " << cycle;
        ASSERT_EQ(monitor.PreviousSnapshot()[0], "AtermIT");
        ASSERT_TRUE(RunReportingErrors(view, [&] { monitor.Timer1Timer(); }));
    }
    port.Close();
    EXPECT_EQ(timer.ForeignTouches, 0) << "only the window thread may touch the timer";
    EXPECT_TRUE(view.Errors.empty());
}

} // namespace
} // namespace telvane

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
