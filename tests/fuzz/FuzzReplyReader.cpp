// Fuzz target: whatever bytes a device sends, split into receive
// notifications however the line delivers them, the monitor never crashes,
// keeps its line buffer bounded, keeps only whole watched lines in their
// slots, and leaves Current and Previous in step, the port closed and the
// next poll armed after every result phase.
//
// Input: byte 0 gives the number n (0..31) of control bytes that follow; the
// rest is the byte stream of the device. The control bytes are used in turn,
// over and over, until the stream is used up:
//   bits 0-5  length of the next notification (1..63); 0 runs a result phase
//             and starts the next query instead
//   bit 6     the window thread does not pick the bytes up yet
//   bit 7     the notification's bytes come 1200 times in a row (a device
//             that streams without end, longer than a line may grow); only
//             the first two such bytes of an input count
// A last result phase follows the stream.
#include "monitor/CallerMonitor.h"
#include "monitor/ReplyReader.h"
#include "monitor/Texts.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/RecordingView.h"
#include "monitor/sim/SimRig.h"

#include "Require.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace telvane;

class TFuzzTimer final : public ITimer {
public:
    void SetEnabled(bool enabled) override { Enabled_ = enabled; }
    bool Enabled() const override { return Enabled_; }
    void SetInterval(std::uint32_t milliseconds) override { Interval_ = milliseconds; }
    std::uint32_t Interval() const override { return Interval_; }

private:
    bool Enabled_ = false;
    std::uint32_t Interval_ = 5000;
};

// The line to the device: what the test puts in is what Read hands out.
class TFuzzPort final : public IPort, public IClock, public IReceiveWakeup {
public:
    void SetPort(std::uint8_t) override {}
    void Open() override { IsOpen = true; }
    void WriteString(const std::string&) override {}
    void Close() override {
        IsOpen = false;
        Waiting.clear();
    }
    std::size_t Read(char* buffer, std::size_t count) override {
        Require(IsOpen, "Read on a closed port");
        const std::size_t n = std::min(count, Waiting.size());
        Waiting.copy(buffer, n);
        Waiting.erase(0, n);
        return n;
    }
    std::string Now() const override { return "2026/03/01 09:00:00"; }
    void PostReceived() override { ++Wakeups; }

    bool IsOpen = false;
    std::string Waiting;
    int Wakeups = 0;
};

void CheckSlots(const TSnapshot& current) {
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const std::string& line = current[slot];
        Require(line.find_first_of("\r\n") == std::string::npos, "a slot holds a line end");
        Require(line.size() <= TReplyReader::kMaxLineLength, "a slot holds more than a line");
        Require(slot == 0 || line.empty() || line.rfind(WatchKeys[slot], 0) == 0,
                "a slot holds a line of another key");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t controlCount = std::min<std::size_t>(data[0] % 32, size - 1);
    const std::uint8_t* control = data + 1;
    const char* stream = reinterpret_cast<const char*>(data + 1 + controlCount);
    const std::size_t streamSize = size - 1 - controlCount;

    TFuzzTimer timer;
    TFuzzPort port;
    sim::TRecordingView view;
    sim::TMemorySettingsStore store;
    sim::TFixedLocation location("/nonexistent-telvane-folder");
    view.Port = "COM1";
    TCallerMonitor monitor(TMonitorEnvironment{view, timer, port, port, location, store, port});
    monitor.AllFormCreated();
    Require(port.IsOpen, "the first query opened no port");

    const auto afterDrain = [&] {
        Require(monitor.LineBuffer().size() <= TReplyReader::kMaxLineLength,
                "the line buffer grew past a line");
        CheckSlots(monitor.CurrentSnapshot());
    };
    const auto resultPhase = [&] {
        monitor.Timer1Timer();
        afterDrain();
        Require(monitor.LineBuffer().empty(), "an unfinished line outlived its reply");
        for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
            Require(monitor.CurrentSnapshot()[slot] == monitor.PreviousSnapshot()[slot],
                    "Current and Previous differ after a result");
        }
        const std::string& number = monitor.GetCallerNumber();
        Require(number == texts::kNoNumberInformation ||
                    monitor.PreviousSnapshot()[kCallingPartySlot].find(number) != std::string::npos,
                "the number is no part of the calling-party line");
        Require(view.Number == number, "the number label shows another text");
        Require(!port.IsOpen, "the result phase left the port open");
        Require(monitor.IsCheckPending() && timer.Enabled(), "the poll interval is not armed");
        monitor.Timer1Timer();
        Require(port.IsOpen && monitor.CurrentSnapshot()[0].empty(),
                "the next query did not start");
    };

    bool sends = controlCount == 0;
    for (std::size_t i = 0; i < controlCount; ++i) {
        sends = sends || (control[i] & 0x3F) != 0;
    }
    std::size_t used = 0;
    int floods = 0;
    int notifications = 0;
    for (std::size_t step = 0; sends && used < streamSize; ++step) {
        const std::uint8_t c = controlCount > 0 ? control[step % controlCount] : 63;
        const std::size_t length = c & 0x3F;
        if (length == 0) {
            resultPhase();
            continue;
        }
        const std::string chunk(stream + used, std::min(length, streamSize - used));
        used += chunk.size();
        const int repeats = (c & 0x80) != 0 && floods++ < 2 ? 1200 : 1;
        for (int r = 0; r < repeats; ++r) {
            port.Waiting += chunk;
            monitor.Comm1CommReceive(static_cast<std::uint16_t>(chunk.size()));
            Require(port.Waiting.empty(), "a notification left announced bytes unread");
            ++notifications;
        }
        Require(port.Wakeups <= notifications, "the window thread was woken more than told");
        if ((c & 0x40) == 0) {
            monitor.DrainReceived();
            afterDrain();
        }
    }
    resultPhase();
    return 0;
}
