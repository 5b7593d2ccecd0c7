// Fuzz target: the texts a user types into the two selectors, or that come
// back from the settings store, whatever bytes they hold. Reading the poll
// interval and the port either gives a value or fails with the monitor's own
// error naming the text; the monitor then either polls or reports and stops,
// and never crashes. Any byte string survives the trip through Unicode at
// the front ends' boundary unchanged.
//
// Input: byte 0 (modulo the input's size) is the length of the port text
// that follows it; the rest is the interval text. Each text is used as the
// bytes the store gives back and, decoded as UTF-8, as what the user typed.
#include "monitor/MonitorError.h"
#include "monitor/PollInterval.h"
#include "monitor/PortText.h"
#include "monitor/ShiftJisUtf8.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include "Require.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace telvane;

// An error names the text (what() ends at the first zero byte) and its
// report adds at most a period.
void CheckError(const EMonitorError& error, const std::string& before, const std::string& text) {
    const std::string message = error.what();
    Require(message.find((before + text).c_str()) != std::string::npos,
            "the error does not name the text");
    const std::string report = ErrorReportText(message);
    Require(report == message || report == message + ".", "the error report changed its text");
}

void CheckRules(const std::string& text) {
    for (const std::uint32_t factor : {std::uint32_t{60000}, std::uint32_t{1000}}) {
        try {
            Require(PollIntervalMs(text, factor) % factor == 0, "an interval not a whole unit");
        } catch (const EMonitorError& error) {
            CheckError(error, texts::kIntervalBefore, text);
        }
    }
    try {
        Require(PortNumberFromText(text) <= 9, "a port number of more than one digit");
    } catch (const EMonitorError& error) {
        CheckError(error, texts::kPortTextBefore, text);
    }
}

// The monitor with these selector texts, for one query and its result.
void CheckMonitor(const std::string& portText, const std::string& intervalText) {
    sim::TSimRig rig("/nonexistent-telvane-folder");
    rig.AnswerWithListing();
    rig.View.Port = portText;
    rig.View.Interval = intervalText;
    rig.Start();
    if (!rig.Timer1.Enabled()) {
        Require(rig.Port.OpenCount() == 0, "a query without a port");
        Require(portText.empty() == rig.View.Errors.empty(), "a bad port text went unreported");
        return;
    }
    Require(rig.RunUntilResult(), "no result phase came");
    Require(!rig.Port.IsOpen(), "the port stayed open");
    Require(rig.Timer1.Enabled() != !rig.View.Errors.empty(),
            "the cycle neither goes on nor reports why it stopped");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = data[0] % size;
    const std::string stored[2] = {bytes.substr(0, split), bytes.substr(split)};
    std::string typed[2];
    for (int i = 0; i < 2; ++i) {
        typed[i] = ShiftJisFromUtf8(stored[i]);
        for (const std::string& text : {stored[i], typed[i]}) {
            Require(ShiftJisFromUtf8(Utf8FromShiftJis(text)) == text, "a text changed on its way");
            CheckRules(text);
        }
    }
    CheckMonitor(stored[0], stored[1]);
    CheckMonitor(typed[0], typed[1]);
    return 0;
}
