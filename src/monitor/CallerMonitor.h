// The caller monitor: the logic of the main window without its toolkit.
//
// A query opens the port, sends the adapter's diagnosis command and lets the
// reply reader fill Current; the next tick of Timer1 (the result phase)
// closes the port, compares Current with Previous, shows the status, detects
// a new caller from a change of the calling-party line, writes the call log
// and arms Timer1 with the poll interval, whose tick starts the next query.
//
// Every method runs on the window thread except Comm1CommReceive, which the
// port calls on its watch thread; it only reads the waiting bytes and queues
// them, and DrainReceived feeds them to the reply reader on the window thread.
#pragma once

#include "monitor/CallSink.h"
#include "monitor/Clock.h"
#include "monitor/Port.h"
#include "monitor/ProgramLocation.h"
#include "monitor/ReceiveQueue.h"
#include "monitor/ReceiveWakeup.h"
#include "monitor/ReplyReader.h"
#include "monitor/RingLogWriter.h"
#include "monitor/Settings.h"
#include "monitor/SettingsStore.h"
#include "monitor/Snapshot.h"
#include "monitor/Timer.h"
#include "monitor/View.h"

#include <cstdint>
#include <string>

namespace telvane {

// The application is minimised (standby). One flag for the whole program.
extern bool Standby;

// The services the monitor talks to. All must outlive the monitor.
struct TMonitorEnvironment {
    IView& View;
    ITimer& Timer1;
    IPort& Comm1;
    IClock& Clock;
    IProgramLocation& Location;
    ISettingsStore& Settings;
    IReceiveWakeup& Wakeup;
    // Optional: told of each new caller and of the adapter's reachability.
    ICallSink* CallSink = nullptr;
    // The port opens one device whatever the port text says, so an empty or
    // unreadable text queries it too.
    bool FixedDevice = false;
};

class TCallerMonitor {
public:
    static constexpr std::uint32_t kReplyDeadlineMs = 5000;
    static constexpr std::uint32_t kAfterEndLineMs = 100;

    explicit TCallerMonitor(const TMonitorEnvironment& environment);

    TCallerMonitor(const TCallerMonitor&) = delete;
    TCallerMonitor& operator=(const TCallerMonitor&) = delete;

    // Standby hooks, installed by the first result phase.
    void MiniMain();
    void RestMain();
    // Loads the settings and starts the first query. Errors of that query
    // escape to the caller's error report, as from any handler.
    void AllFormCreated();
    // Its first part: loads the settings and the last listing, and starts
    // no query, so that FormClose saves them as they were.
    void LoadStored();
    // Starts one query now; safe in any state, it restarts the cycle.
    void Check();
    // Ends the cycle: the timer off, the port closed, a reply under way
    // dropped. Check starts it again.
    void StopPolling();
    void AddLine(const std::string& line);
    void AddChar(char byte);
    // The port's receive notification (watch thread): reads the waiting
    // bytes and hands them to the window thread.
    void Comm1CommReceive(std::uint16_t size);
    // Window thread: feeds every byte handed over so far to the reply reader.
    void DrainReceived();
    void Timer1Timer();
    void CheckButtonClick();
    void ShowButtonClick();
    void WaitButtonClick();
    // Saves the settings and the last evaluated snapshot. A save that fails
    // raises an EMonitorError, so that it is reported like any other error.
    void FormClose();

    // State, readable for the window and for tests.
    const std::string& LineBuffer() const { return Reader.LineBuffer(); }
    const TSnapshot& CurrentSnapshot() const { return Current; }
    const TSnapshot& PreviousSnapshot() const { return Previous; }
    bool IsCheckPending() const { return CheckPending; }
    bool IsShowAllRequested() const { return ShowAllRequested; }
    bool IsFirstTick() const { return FirstTick; }
    const std::string& GetQueryTime() const { return QueryTime; }
    const std::string& GetRingTime() const { return RingTime; }
    const std::string& GetLastPollTime() const { return LastPollTime; }
    const std::string& GetCallerNumber() const { return CallerNumber; }
    bool AdapterReachable() const { return UnansweredInARow < kAdapterDownAfter; }
    // Log lines waiting for the call log to become writable.
    std::size_t PendingLogLines() const { return RingLog.Pending(); }

private:
    // What the settings store keeps, as the window and the fields hold it.
    TStoredSettings SettingsNow() const;
    // After a reply: compares the snapshots, shows the outcome and passes a
    // new caller on. The members after it are its parts, in order.
    void ResultPhase();
    // The first result: the window's minimise and restore reach the monitor.
    void TakeOverStandby();
    // Closes the port and feeds what arrived before the close.
    void EndReply();
    // Copies the changed lines of Current into Previous; whether any changed.
    bool TakeChangedLines();
    // The status line and the time of the last answered poll.
    void ShowPollOutcome(bool lineChanged);
    // Writes the call log line and tells the call sink of a new caller.
    void PassOnCaller(bool callingPartyChanged, const std::string& pollTimeBefore);
    void WriteRingLog(const std::string& lastPollTime);
    void ArmPollInterval();
    void NoteAdapterAnswer(bool answered);

    TMonitorEnvironment Env;
    TSnapshot Current;
    TSnapshot Previous;
    TReplyReader Reader;
    TReceiveQueue Received;
    TRingLogWriter RingLog{Env.Location, Env.View};
    bool CheckPending = false;
    bool ShowAllRequested = false;
    std::string QueryTime;
    std::string RingTime;
    std::string LastPollTime;
    std::string CallerNumber;
    bool FirstTick = false;
    int UnansweredInARow = 0;
};

} // namespace telvane
