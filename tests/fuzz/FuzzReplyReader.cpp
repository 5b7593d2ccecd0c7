// Fuzz target: whatever bytes a device sends, split into receive
// notifications however the line delivers them, the monitor keeps whole
// watched lines in their slots, keeps its line buffer bounded, reads the
// caller's number from the calling-party line and leaves Current and Previous
// in step after every result phase.
//
// Input: byte 0 gives the number n (0..31) of control bytes that follow; the
// rest is the byte stream of the device. The control bytes are used in turn,
// over and over, until the stream is used up:
//   bits 0-5  length of the next notification (1..63); 0 runs a result phase
//             and starts the next query instead
//   bit 6     the window thread does not pick the bytes up yet
//   bit 7     the notification's bytes come 1200 times in a row (a device
//             that streams without end, longer than a line may grow); only
//             the first two such bytes of an input count, so that inputs
//             stay quick to run
// A last result phase follows the stream.
#include "monitor/CallerMonitor.h"
#include "monitor/CallerNumber.h"
#include "monitor/ReplyReader.h"
#include "monitor/Texts.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/RecordingView.h"
#include "monitor/sim/SimRig.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace telvane;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

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
class TFuzzPort final : public IPort {
public:
    void SetPort(std::uint8_t) override {}
    void Open() override { Open_ = true; }
    void WriteString(const std::string&) override {}
    void Close() override {
        Open_ = false;
        Waiting.clear();
    }
    std::size_t Read(char* buffer, std::size_t count) override {
        Require(Open_, "Read on a closed port");
        const std::size_t n = std::min(count, Waiting.size());
        Waiting.copy(buffer, n);
        Waiting.erase(0, n);
        return n;
    }
    bool IsOpen() const { return Open_; }
    std::string Waiting;

private:
    bool Open_ = false;
};

class TFuzzClock final : public IClock {
public:
    std::string Now() const override { return "2026/03/01 09:00:00"; }
};

class TFuzzWakeup final : public IReceiveWakeup {
public:
    void PostReceived() override { ++Count; }
    int Count = 0;
};

// What the monitor must hold, worked out line by line from the stream.
struct TExpected {
    std::string Buffer;
    TSnapshot Current;
    bool EndLineSinceDrain = false;

    void Feed(char byte) {
        if (byte == '\n') {
            return;
        }
        if (byte != '\r') {
            if (Buffer.size() < TReplyReader::kMaxLineLength) {
                Buffer += byte;
            }
            return;
        }
        const std::string line = Buffer;
        Buffer.clear();
        if (line.rfind("AtermIT", 0) == 0 || line.rfind("INS", 0) == 0) {
            Current[0] = line;
        }
        for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
            if (line.rfind(std::string(WatchKeys[slot]), 0) == 0) {
                Current[slot] = line;
            }
        }
        if (line.rfind("OK", 0) == 0 || line.rfind("ERROR", 0) == 0) {
            EndLineSinceDrain = true;
        }
    }
};

bool BeginsWithText(const std::string& line, std::string_view prefix) {
    return line.size() >= prefix.size() && line.compare(0, prefix.size(), prefix) == 0;
}

void CheckSlots(const TSnapshot& current) {
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const std::string& line = current[slot];
        if (line.empty()) {
            continue;
        }
        Require(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos,
                "a slot holds a line end");
        Require(line.size() <= TReplyReader::kMaxLineLength, "a slot holds more than a line");
        if (slot == 0) {
            Require(BeginsWithText(line, "AtermIT") || BeginsWithText(line, "INS"),
                    "slot 0 holds a line that is no identity line");
        } else {
            Require(BeginsWithText(line, WatchKeys[slot]), "a slot holds a line of another key");
        }
    }
}

// The number is what follows the first "=", without leading blanks and at
// most kMaxCallerNumberLength bytes of it; BUFFER EMPTY means no number.
void CheckCallerNumber(const std::string& line, const std::string& number) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) {
        Require(number.empty(), "a number from a line without =");
        return;
    }
    const std::string after = line.substr(equals + 1);
    const std::size_t limit = std::min(after.size(), kMaxCallerNumberLength);
    std::size_t start = 0;
    while (start < limit && after[start] == ' ') {
        ++start;
    }
    const std::string taken = after.substr(start, limit - start);
    if (taken == "BUFFER EMPTY") {
        Require(number == texts::kNoNumberInformation, "BUFFER EMPTY is shown as a number");
    } else {
        Require(number == taken, "the number is not what follows the first =");
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
    TFuzzClock clock;
    TFuzzWakeup wakeup;
    sim::TRecordingView view;
    sim::TMemorySettingsStore store;
    sim::TFixedLocation location("/nonexistent-telvane-folder");
    view.Port = "COM1";
    TCallerMonitor monitor(TMonitorEnvironment{view, timer, port, clock, location, store, wakeup});

    TExpected expected;
    bool wakeArmed = true;
    int wakeups = 0;

    monitor.AllFormCreated();
    Require(port.IsOpen(), "the first query opened no port");
    expected.Current[0].clear();

    const auto afterDrain = [&] {
        wakeArmed = true;
        Require(monitor.LineBuffer() == expected.Buffer, "the line buffer lost or gained bytes");
        Require(monitor.CurrentSnapshot() == expected.Current, "a slot misses its last line");
        CheckSlots(monitor.CurrentSnapshot());
    };

    const auto resultPhase = [&] {
        const TSnapshot before = monitor.PreviousSnapshot();
        const bool callerChanged = expected.Current[kCallingPartySlot] != before[kCallingPartySlot];
        monitor.Timer1Timer();
        // The reply is over: an unfinished line must not join the next reply.
        expected.Buffer.clear();
        afterDrain();
        const TSnapshot& current = monitor.CurrentSnapshot();
        const TSnapshot& previous = monitor.PreviousSnapshot();
        for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
            Require(current[slot] == previous[slot], "Current and Previous differ after a result");
        }
        if (current[0].empty()) {
            Require(previous[0] == before[0], "an empty identity line replaced the stored one");
        } else {
            Require(previous[0] == current[0], "the identity line was not taken over");
        }
        if (callerChanged) {
            Require(view.Status == texts::kStatusNumberChanged, "a new caller went unreported");
        } else if (current[0].empty()) {
            Require(view.Status == texts::kStatusCannotDetect, "no identity line, no 検出不可");
        }
        CheckCallerNumber(previous[kCallingPartySlot], monitor.GetCallerNumber());
        Require(view.Number == monitor.GetCallerNumber(), "the number label shows another text");
        Require(!port.IsOpen(), "the result phase left the port open");
        Require(monitor.IsCheckPending() && timer.Enabled() && timer.Interval() == 300000,
                "the poll interval is not armed");
        expected.EndLineSinceDrain = false;
        // The next query.
        monitor.Timer1Timer();
        expected.Current[0].clear();
        afterDrain();
        Require(monitor.CurrentSnapshot()[0].empty(), "a query kept the old identity line");
        Require(port.IsOpen() && timer.Enabled() && timer.Interval() == 5000,
                "the next query did not start");
    };

    bool sends = controlCount == 0;
    for (std::size_t i = 0; i < controlCount; ++i) {
        sends = sends || (control[i] & 0x3F) != 0;
    }
    std::size_t used = 0;
    int floods = 0;
    for (std::size_t step = 0; sends && used < streamSize; ++step) {
        const std::uint8_t c = controlCount > 0 ? control[step % controlCount] : 63;
        const std::size_t length = c & 0x3F;
        if (length == 0) {
            resultPhase();
            continue;
        }
        const std::string chunk(stream + used, std::min(length, streamSize - used));
        used += chunk.size();
        int repeats = 1;
        if ((c & 0x80) != 0 && floods < 2) {
            ++floods;
            repeats = 1200;
        }
        for (int r = 0; r < repeats; ++r) {
            port.Waiting += chunk;
            for (const char byte : chunk) {
                expected.Feed(byte);
            }
            monitor.Comm1CommReceive(static_cast<std::uint16_t>(chunk.size()));
            Require(port.Waiting.empty(), "a notification left announced bytes unread");
            if (wakeArmed) {
                ++wakeups;
                wakeArmed = false;
            }
            Require(wakeup.Count == wakeups, "the window thread was woken too often or not at all");
        }
        if ((c & 0x40) == 0) {
            monitor.DrainReceived();
            afterDrain();
            if (expected.EndLineSinceDrain) {
                Require(timer.Enabled() && timer.Interval() == TCallerMonitor::kAfterEndLineMs,
                        "an end line did not cut the reply wait short");
                expected.EndLineSinceDrain = false;
            }
        }
    }
    resultPhase();
    return 0;
}
