#include "monitor/CallerMonitor.h"

#include "monitor/CallerNumber.h"
#include "monitor/MonitorError.h"
#include "monitor/PollInterval.h"
#include "monitor/PortText.h"
#include "monitor/Settings.h"
#include "monitor/ShowAllReport.h"
#include "monitor/Texts.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace telvane {

bool Standby = false;

TCallerMonitor::TCallerMonitor(const TMonitorEnvironment& environment)
    : Env(environment), Reader(Current, [this] {
          // The reply is complete: evaluate it shortly instead of waiting for
          // the rest of the reply deadline.
          Env.Timer1.SetEnabled(false);
          Env.Timer1.SetInterval(kAfterEndLineMs);
          Env.Timer1.SetEnabled(true);
      }) {}

void TCallerMonitor::MiniMain() {
    Standby = true;
}

void TCallerMonitor::RestMain() {
    Standby = false;
}

void TCallerMonitor::WaitButtonClick() {
    Env.View.MinimizeApplication();
}

void TCallerMonitor::AllFormCreated() {
    LoadStored();
    Check();
}

void TCallerMonitor::LoadStored() {
    Env.View.SetLogRingHint(std::string(texts::kHintBefore) + Env.Location.FolderText() +
                            texts::kRingLogFileName + texts::kHintAfter);
    Standby = false;

    // Values the store lacks keep what the window and the fields hold now.
    TStoredSettings stored = SettingsNow();
    LoadSettings(Env.Settings, stored);
    Env.View.SetPortText(stored.Port);
    Env.View.SetIntervalText(stored.Interval);
    RingTime = stored.DateTime;
    LastPollTime = stored.LastDateTime;
    Env.View.SetLogRingChecked(stored.LogRing);
    Previous = stored.Magic;
    Standby = stored.Dream;

    // The keyword lines of the current snapshot start as the stored ones, so
    // that a first query without reply changes nothing but the status. A call
    // that came in while the program was not running still changes slot 10
    // with the first answered query.
    for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
        Current[slot] = Previous[slot];
    }

    FirstTick = true;
}

void TCallerMonitor::StopPolling() {
    Env.Timer1.SetEnabled(false);
    CheckPending = false;
    EndReply();
}

void TCallerMonitor::FormClose() {
    // Call log lines still waiting for the log get a last try.
    RingLog.Flush();
    if (!SaveSettings(Env.Settings, SettingsNow())) {
        // Silence here would make the next start report the last caller again.
        const std::string where = Env.Settings.Location();
        throw EMonitorError(texts::kSettingsNotSaved + (where.empty() ? "" : " (" + where + ")"));
    }
    if (RingLog.Pending() != 0) {
        throw EMonitorError(texts::kRingLogDroppedBefore + std::to_string(RingLog.Pending()) +
                            texts::kRingLogDroppedAfter);
    }
}

TStoredSettings TCallerMonitor::SettingsNow() const {
    TStoredSettings settings;
    settings.Port = Env.View.PortText();
    settings.Interval = Env.View.IntervalText();
    settings.DateTime = RingTime;
    settings.LastDateTime = LastPollTime;
    settings.LogRing = Env.View.LogRingChecked();
    settings.Magic = Previous;
    settings.Dream = Standby;
    return settings;
}

void TCallerMonitor::Check() {
    // Bytes of an earlier reply still waiting belong before this query.
    DrainReceived();
    Env.Timer1.SetEnabled(false);
    CheckPending = false;

    const std::string portText = Env.View.PortText();
    if (portText.empty() && !Env.FixedDevice) {
        Env.View.SetNumberCaption(texts::kNumberNoPort);
        Env.View.SetStatusCaption(texts::kStatusNoPort);
        return;
    }

    Current[0].clear();
    Env.View.SetNumberCaption("?");
    Env.View.SetStatusCaption(texts::kStatusQuerying);
    QueryTime = Env.Clock.Now();

    const std::uint8_t port = Env.FixedDevice ? 1 : PortNumberFromText(portText);
    try {
        Env.Comm1.SetPort(port);
        Env.Comm1.Open();
        Env.Comm1.WriteString(std::string(kQueryCommand));
    } catch (const std::exception&) {
        // A port that cannot be opened or written shows up 5 s later as
        // "検出不可": the reply deadline passes without an identity line.
    }

    Env.Timer1.SetInterval(kReplyDeadlineMs);
    Env.Timer1.SetEnabled(true);
}

void TCallerMonitor::AddLine(const std::string& line) {
    Reader.AddLine(line);
}

void TCallerMonitor::AddChar(char byte) {
    Reader.AddChar(byte);
}

void TCallerMonitor::Comm1CommReceive(std::uint16_t size) {
    std::vector<char> buffer(size);
    const std::size_t got = Env.Comm1.Read(buffer.data(), buffer.size());
    if (got > 0 && Received.Push(buffer.data(), std::min(got, buffer.size()))) {
        Env.Wakeup.PostReceived();
    }
}

void TCallerMonitor::DrainReceived() {
    for (const char byte : Received.TakeAll()) {
        AddChar(byte);
    }
}

void TCallerMonitor::CheckButtonClick() {
    Check();
}

void TCallerMonitor::ShowButtonClick() {
    ShowAllRequested = true;
    Check();
}

void TCallerMonitor::Timer1Timer() {
    Env.Timer1.SetEnabled(false);
    if (CheckPending) {
        Check();
        return;
    }
    ResultPhase();
}

void TCallerMonitor::ResultPhase() {
    if (FirstTick) {
        FirstTick = false;
        TakeOverStandby();
    }
    EndReply();

    const bool callingPartyChanged = Current[kCallingPartySlot] != Previous[kCallingPartySlot];
    const bool lineChanged = TakeChangedLines();
    const std::string pollTimeBefore = LastPollTime;
    ShowPollOutcome(lineChanged);
    if (callingPartyChanged) {
        Env.View.SetStatusCaption(texts::kStatusNumberChanged);
        RingTime = QueryTime;
        Env.View.RestoreApplication();
    }
    CallerNumber = ExtractCallerNumber(Previous[kCallingPartySlot]);
    PassOnCaller(callingPartyChanged, pollTimeBefore);
    NoteAdapterAnswer(!Current[0].empty());

    Env.View.SetNumberCaption(CallerNumber);
    Env.View.SetTimeCaption(RingTime);
    CheckPending = true;
    ArmPollInterval();
}

void TCallerMonitor::TakeOverStandby() {
    Env.View.SetStandbyHandlers([this] { MiniMain(); }, [this] { RestMain(); });
    if (Standby) {
        Env.View.MinimizeApplication();
    }
}

void TCallerMonitor::EndReply() {
    // Once the port is closed no notification runs any more; every line that
    // came before the close is fed here, before the snapshots are compared.
    Env.Comm1.Close();
    DrainReceived();
    // The reply is over. The bytes of a line cut off by the deadline would
    // otherwise become the start of the next reply's first line, which can
    // turn "RECEIVE CALLING PARTY = " and an echoed command into a caller.
    Reader.DiscardPartialLine();
    // An end line fed just now must not re-arm the timer during this phase.
    Env.Timer1.SetEnabled(false);
}

bool TCallerMonitor::TakeChangedLines() {
    bool lineChanged = false;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        if (Current[slot] != Previous[slot]) {
            lineChanged = true;
            // An empty identity line never replaces the stored one.
            if (slot != 0 || !Current[0].empty()) {
                Previous[slot] = Current[slot];
            }
        }
    }
    return lineChanged;
}

void TCallerMonitor::ShowPollOutcome(bool lineChanged) {
    if (Current[0].empty()) {
        Env.View.SetStatusCaption(texts::kStatusCannotDetect);
        return;
    }
    LastPollTime = QueryTime;
    if (lineChanged) {
        Env.View.SetStatusCaption(texts::kStatusActivity);
        return;
    }
    Env.View.SetStatusCaption("");
    if (ShowAllRequested) {
        ShowAllRequested = false;
        Env.View.ShowMessage(ShowAllReport(QueryTime, RingTime, Previous));
    }
}

void TCallerMonitor::PassOnCaller(bool callingPartyChanged, const std::string& pollTimeBefore) {
    if (callingPartyChanged && Env.View.LogRingChecked()) {
        WriteRingLog(pollTimeBefore);
    } else {
        // Lines of an earlier outage go in as soon as the file takes them.
        RingLog.Flush();
    }
    if (callingPartyChanged && Env.CallSink != nullptr) {
        Env.CallSink->NewCaller(CallerNumber, RingTime, pollTimeBefore);
    }
}

void TCallerMonitor::WriteRingLog(const std::string& lastPollTime) {
    // A log that cannot be written must not stop or hold up the monitor: the
    // line waits for a later attempt and the user gets a notice that does
    // not wait for an answer.
    RingLog.Add(lastPollTime, RingTime, CallerNumber);
}

void TCallerMonitor::NoteAdapterAnswer(bool answered) {
    const bool wasReachable = AdapterReachable();
    UnansweredInARow = answered ? 0 : std::min(UnansweredInARow + 1, kAdapterDownAfter);
    if (Env.CallSink != nullptr && wasReachable != AdapterReachable()) {
        Env.CallSink->AdapterHealth(AdapterReachable());
    }
}

void TCallerMonitor::ArmPollInterval() {
    const std::string intervalText = Env.View.IntervalText();
    auto factor = IntervalUnitFactor(intervalText);
    if (!factor) {
        Env.View.ShowMessage(texts::kIllegalInterval + intervalText);
        factor = 60000;
    }
    const std::uint32_t interval = PollIntervalMs(intervalText, *factor);
    Env.Timer1.SetInterval(interval);
    Env.Timer1.SetEnabled(true);
}

} // namespace telvane
