// Fuzz target: the texts a user types into the two selectors, or that come
// back from the settings store, whatever bytes they hold. The poll interval
// and the port number follow their rules or fail with the monitor's own
// error, which names the text; the monitor then reports it and stops the
// cycle, or polls at exactly the number times the unit. Any byte string also
// survives the trip through Unicode at the Qt boundary unchanged.
//
// Input: byte 0 (modulo the input's size) is the length of the port text
// that follows it; the rest is the interval text. Each text is used as the
// bytes the store gives back and, decoded as UTF-8, as what the user typed.
#include "monitor/MonitorError.h"
#include "monitor/PollInterval.h"
#include "monitor/PortText.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <string>

namespace {

using namespace telvane;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Whether an error's message names a text. what() ends at the first zero
// byte, so a text with one is named up to there.
bool Names(const char* message, const std::string& part) {
    return std::string(message).find(part.c_str()) != std::string::npos;
}

// Every text of at most two bytes that reads as an integer, with its value:
// digits, a blank or a sign before a single digit.
const std::map<std::string, int>& NumberTexts() {
    static const std::map<std::string, int> numbers = [] {
        std::map<std::string, int> all;
        for (int n = 0; n <= 99; ++n) {
            all[std::to_string(n)] = n;
        }
        for (int n = 0; n <= 9; ++n) {
            const std::string digit = std::to_string(n);
            all["0" + digit] = n;
            all[" " + digit] = n;
            all["+" + digit] = n;
            all["-" + digit] = -n;
        }
        return all;
    }();
    return numbers;
}

std::optional<std::uint32_t> ExpectedFactor(const std::string& text) {
    const std::string unit = text.size() > 2 ? text.substr(2, 2) : std::string();
    if (unit == texts::kUnitMinutes) {
        return 60000;
    }
    if (unit == texts::kUnitSeconds) {
        return 1000;
    }
    return std::nullopt;
}

// The interval the rules give, or nothing when the text must be refused.
std::optional<std::uint32_t> ExpectedInterval(const std::string& text, std::uint32_t factor) {
    const auto found = NumberTexts().find(text.substr(0, 2));
    if (found == NumberTexts().end()) {
        return std::nullopt;
    }
    const std::int64_t product = static_cast<std::int64_t>(found->second) * factor;
    if (product < 0 || product > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(product);
}

void CheckReportText(const std::string& message) {
    const std::string report = ErrorReportText(message);
    Require(report == message || report == message + ".", "the error report changed its text");
    if (!message.empty() && static_cast<unsigned char>(message.back()) < 0x80 &&
        (message.size() < 2 || static_cast<unsigned char>(message[message.size() - 2]) < 0x80)) {
        Require((report != message) == (message.back() > '.'), "the period rule is broken");
    }
}

void CheckRules(const std::string& text) {
    CheckReportText(text);

    const auto factor = IntervalUnitFactor(text);
    Require(factor == ExpectedFactor(text), "the interval unit is read from the wrong bytes");
    for (const std::uint32_t f : {std::uint32_t{60000}, std::uint32_t{1000}}) {
        const auto expected = ExpectedInterval(text, f);
        try {
            const std::uint32_t interval = PollIntervalMs(text, f);
            Require(expected && interval == *expected, "an interval other than number * unit");
        } catch (const EMonitorError& error) {
            Require(!expected, "a usable interval text was refused");
            Require(Names(error.what(), texts::kIntervalBefore + text),
                    "the interval error does not name the text");
            CheckReportText(error.what());
        }
    }

    const bool digit = text.size() >= 4 && text[3] >= '0' && text[3] <= '9';
    try {
        const std::uint8_t port = PortNumberFromText(text);
        Require(digit && port == text[3] - '0', "a port number other than the 4th byte's digit");
    } catch (const EMonitorError& error) {
        Require(!digit, "a port text with a digit in 4th place was refused");
        Require(Names(error.what(), texts::kPortTextBefore + text),
                "the port error does not name the text");
        CheckReportText(error.what());
    }
}

// The monitor with these selector texts, for one query and its result.
void CheckMonitor(const std::string& portText, const std::string& intervalText) {
    sim::TSimRig rig("/nonexistent-telvane-folder");
    rig.AnswerWithListing();
    rig.View.Port = portText;
    rig.View.Interval = intervalText;
    rig.Start();

    if (portText.empty()) {
        Require(rig.View.Number == texts::kNumberNoPort && rig.View.Status == texts::kStatusNoPort,
                "an empty port text is not reported as such");
        Require(!rig.Timer1.Enabled() && rig.Port.OpenCount() == 0, "a query without a port");
        return;
    }
    const bool digit = portText.size() >= 4 && portText[3] >= '0' && portText[3] <= '9';
    if (!digit) {
        Require(rig.View.Errors.size() == 1, "a port text without a digit went unreported");
        Require(!rig.Timer1.Enabled() && rig.Port.OpenCount() == 0, "the cycle did not stop");
        Require(rig.View.Number == "?", "the number label left its querying state");
        return;
    }
    Require(rig.View.Errors.empty(), "a port that cannot be opened was reported");
    Require(rig.Port.Port() == portText[3] - '0', "the wrong port was chosen");
    Require(rig.RunUntilResult(), "no result phase came");
    Require(!rig.Port.IsOpen(), "the port stayed open");

    const auto factor = ExpectedFactor(intervalText);
    if (!factor) {
        Require(!rig.View.Messages.empty() &&
                    rig.View.Messages.front() == texts::kIllegalInterval + intervalText,
                "an interval without unit went unreported");
    }
    const auto expected = ExpectedInterval(intervalText, factor.value_or(60000));
    if (expected) {
        Require(rig.View.Errors.empty(), "a usable interval was reported");
        Require(rig.Timer1.Enabled() && rig.Timer1.Interval() == *expected,
                "the poll interval is not number * unit");
        Require(rig.Monitor->IsCheckPending(), "no next query is pending");
    } else {
        Require(rig.View.Errors.size() == 1, "an unusable interval went unreported");
        Require(!rig.Timer1.Enabled(), "the cycle goes on with an unusable interval");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool available = ShiftJisAvailable();
    Require(available, "this Qt cannot convert Shift_JIS");
    if (size == 0) {
        return 0;
    }
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = data[0] % size;
    const std::string stored[2] = {bytes.substr(0, split), bytes.substr(split)};

    for (const std::string& text : stored) {
        Require(ToShiftJis(FromShiftJis(text)) == text, "a stored text changed on its way");
        CheckRules(text);
        const std::string typed = ToShiftJis(QString::fromUtf8(text.data(), text.size()));
        Require(ToShiftJis(FromShiftJis(typed)) == typed, "a typed text changed on its way");
        CheckRules(typed);
    }
    CheckMonitor(stored[0], stored[1]);
    CheckMonitor(ToShiftJis(QString::fromUtf8(stored[0].data(), stored[0].size())),
                 ToShiftJis(QString::fromUtf8(stored[1].data(), stored[1].size())));
    return 0;
}
