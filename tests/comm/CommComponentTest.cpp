// TComm against the recording driver: the exact calls it makes, the device
// control block it builds, its errors and how the watch thread dispatches.

#include "CommMessages.h"
#include "RecordingCommPlatform.h"
#include "comm/Comm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;
using TScript = TRecordingCommPlatform::TTransferScript;

namespace {

class CommComponent : public ::testing::Test {
protected:
    Calls MyCalls() const { return Driver->CallsOn(std::this_thread::get_id()); }
    void LogHandlers() {
        Comm.SetOnCommReceive(
            [this](TComm*, uint16_t Size) { Log.Add("receive " + std::to_string(Size)); });
        Comm.SetOnCommTransmit(
            [this](TComm*, uint16_t Size) { Log.Add("transmit " + std::to_string(Size)); });
        Comm.SetOnCommEvent(
            [this](TComm*, TCommEventMask Mask) { Log.Add("event " + Hex(Mask.ToBits())); });
    }

    std::shared_ptr<TRecordingCommPlatform> Driver = std::make_shared<TRecordingCommPlatform>();
    TLog Log; // outlives Comm, whose handlers write to it
    TComm Comm{Driver};
};

// Settings made while closed reach no driver, and transfers raise.
TEST_F(CommComponent, ClosedComponentNeverCallsTheDriver) {
    Comm.SetPort(3);
    Comm.SetBaudRate(-1);
    Comm.SetParityBits(cpbEven);
    Comm.SetByteSize(cbs7);
    Comm.SetStopBits(csb2);
    Comm.SetFlowControls({});
    Comm.SetReceiveNotifySize(1);
    Comm.SetSendNotifySize(2);
    Comm.SetEventMask({evCts});
    Comm.Close();
    char buffer[4];
    for (const std::function<void()>& use : std::vector<std::function<void()>>{
             [&] { Comm.Write("abc", 3); }, [&] { Comm.WriteString(""); },
             [&] { Comm.Read(buffer, 4); }}) {
        try {
            use();
            ADD_FAILURE() << "a transfer on a closed port must raise";
        } catch (const ECommError& error) {
            EXPECT_EQ(error.what(), NotStarted);
        }
    }
    EXPECT_EQ(MyCalls(), Calls{});
}

TEST_F(CommComponent, OpenAppliesEverySettingInOrderAndCloseUndoesIt) {
    TCommDcb driver{};
    driver.DCBlength = 28;
    driver.BaudRate = 1;
    driver.Flags = 0xFFFFFFFFu;
    driver.wReserved = 0x1234;
    driver.XonLim = 7;
    driver.XoffLim = 8;
    driver.ByteSize = 6;
    driver.Parity = 2;
    driver.StopBits = 2;
    driver.ErrorChar = 0x55;
    driver.EofChar = 0x1A;
    driver.EvtChar = 0x7E;
    driver.wReserved1 = 0x5678;
    Driver->SetDriverDcb(driver);

    Comm.Open();
    Calls expected{"CreateEventA",      "CreateEventA",
                   "CreateFileA COM1",  "SetupComm 100 4096 4096",
                   "PurgeComm 100 0xf", "SetCommTimeouts 100 4294967295 0 1000 0 1000"};
    for (int round = 0; round < 7; ++round) {
        expected.push_back("GetCommState 100");
        expected.push_back("SetCommState 100");
    }
    expected.insert(expected.end(), {"SetCommMask 100 0x0", "GetCommMask 100",
                                     "SetCommMask 100 0x1", "EscapeCommFunction 100 5"});
    EXPECT_EQ(MyCalls(), expected);

    // Each round changes only the fields of its own setting, in this order.
    const std::vector<std::function<void(TCommDcb&)>> changes{
        [](TCommDcb& d) { d.BaudRate = 9600; },
        [](TCommDcb& d) { d.ByteSize = 8; },
        [](TCommDcb& d) { d.Parity = 0; },
        [](TCommDcb& d) { d.StopBits = 0; },
        [](TCommDcb& d) {
            d.Flags = 0xFEC0E017u;
            d.XonChar = 0x11;
            d.XoffChar = 0x13;
        },
        [](TCommDcb& d) { d.XoffLim = 1024; },
        [](TCommDcb& d) { d.XonLim = 1024; },
    };
    const std::vector<TCommDcb> states = Driver->StatesSet();
    ASSERT_EQ(states.size(), changes.size());
    TCommDcb want = driver;
    for (size_t i = 0; i < changes.size(); ++i) {
        changes[i](want);
        EXPECT_EQ(std::memcmp(&states[i], &want, sizeof want), 0) << "round " << i;
    }

    Driver->ForgetCalls();
    Comm.SetBaudRateUserDefined(1);
    Comm.Open();
    EXPECT_EQ(MyCalls(), Calls{}) << "Open of an open port does nothing";

    Comm.Close();
    EXPECT_EQ(MyCalls(),
              (Calls{"SetCommMask 100 0x0", "EscapeCommFunction 100 6", "PurgeComm 100 0xf",
                     "CloseHandle 100", "CloseHandle 10", "CloseHandle 11"}));
    EXPECT_EQ(Comm.Watch(), nullptr);
    for (const std::string& call : Driver->CallsNotOn(std::this_thread::get_id()))
        EXPECT_EQ(call, "WaitCommEvent 100") << "the watch thread only waits";
    Driver->ForgetCalls();
    Comm.Close();
    EXPECT_EQ(MyCalls(), Calls{});
}

TEST_F(CommComponent, FlowControlsRebuildTheirBitsOverAnyDriverBlock) {
    struct TCase {
        TCommFlowControls Set;
        uint32_t Before;
        uint32_t After;
    };
    const TCase cases[] = {
        {{}, 0, 0x1013},
        {{}, 0xFFFFFFFFu, 0xFEC0D013u},
        {{cfcRtsCts}, 0, 0x2017},
        {{cfcRtsCts}, 0xFFFFFFFFu, 0xFEC0E017u},
        {{cfcHalfDuplex}, 0, 0x3017},
        {{cfcRtsCts, cfcHalfDuplex}, 0xFFFFFFFFu, 0xFEC0F017u},
        {{cfcDtrDsr, cfcXonXoff}, 0, 0x132B},
        {{cfcDtrDsr, cfcXonXoff}, 0xFFFFFFFFu, 0xFEC0D32Bu},
        {{cfcDtrDsr, cfcRtsCts, cfcXonXoff, cfcHalfDuplex}, 0, 0x332F},
        {{cfcDtrDsr, cfcRtsCts, cfcXonXoff, cfcHalfDuplex}, 0xFFFFFFFFu, 0xFEC0F32Fu},
    };
    Comm.Open();
    for (const TCase& c : cases) {
        TCommDcb dcb = Driver->DriverDcb();
        dcb.Flags = c.Before;
        dcb.XonChar = dcb.XoffChar = 0;
        Driver->SetDriverDcb(dcb);
        Comm.SetFlowControls(c.Set);
        const TCommDcb after = Driver->DriverDcb();
        EXPECT_EQ(Hex(after.Flags), Hex(c.After))
            << "set " << Hex(c.Set.ToBits()) << " over " << Hex(c.Before);
        EXPECT_EQ(after.XonChar, 0x11);
        EXPECT_EQ(after.XoffChar, 0x13);
    }
}

TEST_F(CommComponent, SettersWhileOpenChangeOnlyTheirField) {
    struct TCase {
        const char* Name;
        std::function<void(TComm&)> Change;
        bool ReachesDriver;
        std::function<bool(const TCommDcb&)> Holds;
    };
    const TCase cases[] = {
        {"user-defined rate", [](TComm& c) { c.SetBaudRateUserDefined(4000), c.SetBaudRate(-1); },
         true, [](const TCommDcb& d) { return d.BaudRate == 4000; }},
        {"user-defined rate alone", [](TComm& c) { c.SetBaudRateUserDefined(5000); }, false,
         [](const TCommDcb& d) { return d.BaudRate == 4000; }},
        {"any other rate as it is", [](TComm& c) { c.SetBaudRate(31250); }, true,
         [](const TCommDcb& d) { return d.BaudRate == 31250; }},
        {"5 data bits", [](TComm& c) { c.SetByteSize(cbs5); }, true,
         [](const TCommDcb& d) { return d.ByteSize == 5; }},
        {"1.5 stop bits", [](TComm& c) { c.SetStopBits(csb15); }, true,
         [](const TCommDcb& d) { return d.StopBits == 1; }},
        {"mark parity", [](TComm& c) { c.SetParityBits(cpbMark); }, true,
         [](const TCommDcb& d) { return d.Parity == 3; }},
        {"XoffLim wraps", [](TComm& c) { c.SetReceiveNotifySize(5000); }, true,
         [](const TCommDcb& d) { return d.XoffLim == 64632; }},
        {"input queue alone", [](TComm& c) { c.SetInQueueSize(1000); }, false,
         [](const TCommDcb& d) { return d.XoffLim == 64632; }},
        {"XoffLim from the stored queue", [](TComm& c) { c.SetReceiveNotifySize(3072); }, true,
         [](const TCommDcb& d) { return d.XoffLim == 63464; }},
        {"XonLim keeps the low 16 bits", [](TComm& c) { c.SetSendNotifySize(70000); }, true,
         [](const TCommDcb& d) { return d.XonLim == 4464; }},
        {"stored only", [](TComm& c) { c.SetPort(7), c.SetOutQueueSize(5); }, false,
         [](const TCommDcb&) { return true; }},
    };
    Comm.Open();
    for (const TCase& c : cases) {
        Driver->ForgetCalls();
        c.Change(Comm);
        const Calls round{"GetCommState 100", "SetCommState 100"};
        EXPECT_EQ(MyCalls(), c.ReachesDriver ? round : Calls{}) << c.Name;
        EXPECT_TRUE(c.Holds(Driver->DriverDcb())) << c.Name;
    }
}

TEST_F(CommComponent, EventMaskReachesTheDriverAndTheWatchOutlivesAChange) {
    LogHandlers();
    Comm.SetEventMask({evCts, evRing});
    EXPECT_EQ(MyCalls(), Calls{});
    Comm.Open();
    const Calls calls = MyCalls();
    const Calls tail(calls.end() - 4, calls.end());
    EXPECT_EQ(tail, (Calls{"SetCommMask 100 0x108", "GetCommMask 100", "SetCommMask 100 0x109",
                           "EscapeCommFunction 100 5"}));

    // A change while the watch thread waits ends that wait; the thread waits
    // again instead of ending, and received characters stay in the mask.
    Driver->WaitUntilIdle();
    Driver->ForgetCalls();
    Comm.SetEventMask({evTxempty, evPerr});
    Comm.SetEventMask({});
    EXPECT_EQ(MyCalls(), (Calls{"SetCommMask 100 0x205", "SetCommMask 100 0x1"}));
    Driver->InjectEvent({CommEv::Rxchar, 3, 0});
    EXPECT_EQ(Log.WaitFor(1), Calls{"receive 3"});
}

TEST_F(CommComponent, OpenFailuresGiveTheirCodeAndLeaveNothingHeld) {
    struct TCase {
        std::function<void(TRecordingCommPlatform&)> Break;
        int32_t Code;
        Calls Expected;
    };
    const TCase cases[] = {
        {[](TRecordingCommPlatform& d) { d.FailCreateEvent(1); }, -2, {"CreateEventA"}},
        {[](TRecordingCommPlatform& d) { d.FailCreateEvent(2); },
         -3,
         {"CreateEventA", "CreateEventA", "CloseHandle 10"}},
        {[](TRecordingCommPlatform& d) { d.FailCreateFile(); },
         -1,
         {"CreateEventA", "CreateEventA", "CreateFileA COM1", "CloseHandle 10", "CloseHandle 11"}},
    };
    for (const TCase& c : cases) {
        auto driver = std::make_shared<TRecordingCommPlatform>();
        c.Break(*driver);
        TComm comm(driver);
        try {
            comm.Open();
            ADD_FAILURE() << "Open must fail with " << c.Code;
        } catch (const ECommOpenError& error) {
            EXPECT_EQ(error.ErrorCode(), c.Code);
            EXPECT_EQ(error.what(), OpenError + std::to_string(c.Code));
        }
        EXPECT_FALSE(comm.IsOpen());
        EXPECT_THROW(comm.WriteString("x"), ECommError);
        comm.Close();
        EXPECT_EQ(driver->CallsOn(std::this_thread::get_id()), c.Expected);
    }
}

TEST_F(CommComponent, WriteTakesUpToOutQueueSizeAndWaitsForRoom) {
    Comm.Open();
    Driver->ForgetCalls();
    const std::string full(4096, 'x');
    Comm.Write(full.data(), 4096);
    EXPECT_EQ(MyCalls(), (Calls{"ClearCommError 100", "WriteFile 100 4096 11"}));
    Driver->ForgetCalls();
    try {
        Comm.Write(full.data(), 4097);
        ADD_FAILURE() << "one byte more than OutQueueSize must raise";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.what(), TooLong);
    }
    Comm.SetOutQueueSize(10);
    EXPECT_THROW(Comm.Write(full.data(), 11), ECommError);
    EXPECT_EQ(MyCalls(), Calls{});
    Comm.Write(full.data(), 10);
    Comm.Write(full.data(), 0);
    EXPECT_EQ(Driver->Written().size(), 4096u + 10u);

    // The queue drains after two checks.
    Comm.SetOutQueueSize(4096);
    Driver->SetOutQueueCounts({4090, 4090, 0});
    Driver->ForgetCalls();
    Comm.WriteString("ATV1I4\\L0\\L1\r");
    EXPECT_EQ(MyCalls(), (Calls{"ClearCommError 100", "ClearCommError 100", "ClearCommError 100",
                                "WriteFile 100 13 11"}));

    // The queue never drains: give up after the write time-out, with pauses
    // between the checks rather than a spin.
    Driver->SetOutQueueCounts({4090});
    Driver->ForgetCalls();
    try {
        Comm.WriteString("ATV1I4\\L0\\L1\r");
        ADD_FAILURE() << "a queue that never drains must end the wait";
    } catch (const ECommReadWriteError& error) {
        EXPECT_EQ(error.ErrorCode() & CommCe::TxFull, CommCe::TxFull);
    }
    const Calls calls = MyCalls();
    EXPECT_LT(calls.size(), 300u);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "WriteFile 100 13 11"), 0);
}

TEST_F(CommComponent, TransfersReportHowTheyEnded) {
    constexpr uint32_t All = UINT32_MAX;
    struct TCase {
        const char* Name;
        bool IsRead;
        TScript Script;
        int32_t RaisedCode; // -1: nothing raised
        int32_t Delivered;  // what Read returns
    };
    const TCase cases[] = {
        {"write refused",
         false,
         {TScript::Refused, 0, false, All, CommCe::Frame},
         CommCe::Frame,
         0},
        {"write pending, ends complete", false, {TScript::Pending, 2}, -1, 0},
        {"write cut short by the time-out",
         false,
         {TScript::Pending, 0, false, 5},
         CommCe::TxFull,
         0},
        {"write fails while waited for",
         false,
         {TScript::Pending, 0, true, 5, CommCe::Overrun},
         CommCe::Overrun,
         0},
        {"read at once", true, {TScript::Complete}, -1, 8},
        {"read pending, short", true, {TScript::Pending, 1, false, 3}, -1, 3},
        {"read refused",
         true,
         {TScript::Refused, 0, false, All, CommCe::RxParity},
         CommCe::RxParity,
         0},
        {"read fails while waited for", true, {TScript::Pending, 0, true, 2, CommCe::Break}, -1, 2},
    };
    Comm.Open();
    for (const TCase& c : cases) {
        char buffer[8] = {};
        try {
            if (c.IsRead) {
                Driver->ScriptRead(c.Script, "abcdefghij");
                EXPECT_EQ(Comm.Read(buffer, 8), c.Delivered) << c.Name;
                EXPECT_EQ(std::string(buffer, static_cast<size_t>(c.Delivered)),
                          std::string("abcdefgh", static_cast<size_t>(c.Delivered)));
            } else {
                Driver->ScriptWrite(c.Script);
                Comm.WriteString("ATV1I4\\L0\\L1\r");
            }
            EXPECT_EQ(c.RaisedCode, -1) << c.Name << " must raise";
        } catch (const ECommReadWriteError& error) {
            EXPECT_EQ(error.ErrorCode(), c.RaisedCode) << c.Name;
            EXPECT_EQ(error.what(), ReadWriteError + std::to_string(c.RaisedCode));
        }
        EXPECT_TRUE(Comm.IsOpen()) << c.Name;
    }
}

TEST_F(CommComponent, EventWordsDispatchToOneNotificationEach) {
    LogHandlers();
    Comm.Open();
    const TRecordingCommPlatform::TEvent events[] = {
        {CommEv::Rxchar, 5, 0},
        {CommEv::Rxchar | CommEv::Cts, 3, 0}, // received characters win
        {CommEv::Rxchar, 0, 0},               // queue already drained: nothing
        {CommEv::Rxchar | CommEv::Txempty, 2, 0},
        {CommEv::Txempty | CommEv::Ring, 0, 7}, // then the empty output queue
        {CommEv::Cts | CommEv::Ring, 0, 0},
        {CommEv::Perr, 0, 0}, // printer errors are no line event
        {0x03FA, 0, 0},
    };
    for (const auto& event : events)
        Driver->InjectEvent(event);
    const Calls expected{"receive 5",   "receive 3", "receive 2",  "transmit 7",
                         "event 0x108", "event 0x0", "event 0x1fa"};
    EXPECT_EQ(Log.WaitFor(expected.size()), expected);

    // The word 0 ends the watch thread; what comes after is never announced.
    Driver->InjectEvent({0, 0, 0});
    ASSERT_NE(Comm.Watch(), nullptr);
    EXPECT_TRUE(Comm.Watch()->WaitFor(10s));
    Driver->InjectEvent({CommEv::Rxchar, 4, 0});
    Comm.Close();
    EXPECT_EQ(Log.WaitFor(0), expected);
}

TEST_F(CommComponent, FailedWaitEndsTheWatchThread) {
    LogHandlers();
    Comm.Open();
    Driver->InjectEvent({CommEv::Rxchar, 1, 0, true});
    EXPECT_TRUE(Comm.Watch()->WaitFor(10s));
    EXPECT_TRUE(Comm.IsOpen());
}

TEST_F(CommComponent, HandlerExceptionsReachTheErrorHandlerAndTheWatchGoesOn) {
    TLog errors;
    const TCommErrorHandler previous =
        SetCommErrorHandler([&](const std::exception& e) { errors.Add(e.what()); });
    int calls = 0;
    Comm.SetOnCommReceive([&](TComm*, uint16_t Size) {
        ++calls;
        if (calls == 1)
            throw ECommReadWriteError(CommCe::RxParity);
        if (calls == 2)
            throw 42;
        Log.Add("receive " + std::to_string(Size));
    });
    Comm.Open();
    for (uint32_t size = 1; size <= 3; ++size)
        Driver->InjectEvent({CommEv::Rxchar, size, 0});
    EXPECT_EQ(Log.WaitFor(1), Calls{"receive 3"});
    const Calls reported = errors.WaitFor(2);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0], ReadWriteError + "4");
    Comm.Close();
    SetCommErrorHandler(previous);
}

TEST_F(CommComponent, CloseReturnsOnlyAfterTheRunningHandler) {
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false;
    bool release = false;
    std::atomic<bool> finished{false};
    Comm.SetOnCommReceive([&](TComm*, uint16_t) {
        std::unique_lock<std::mutex> guard(lock);
        entered = true;
        changed.notify_all();
        changed.wait(guard, [&] { return release; });
        guard.unlock();
        std::this_thread::sleep_for(20ms); // a late finish shows a Close that did not wait
        finished = true;
    });
    Comm.Open();
    Driver->InjectEvent({CommEv::Rxchar, 1, 0});
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return entered; });
    }
    bool finishedWhenClosed = false;
    std::thread closer([&] {
        Comm.Close();
        finishedWhenClosed = finished;
    });
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
        changed.notify_all();
    }
    closer.join();
    EXPECT_TRUE(finishedWhenClosed);
}

TEST_F(CommComponent, HandlerMayCloseAndTheComponentOpensAgain) {
    Comm.SetOnCommReceive([this](TComm* Sender, uint16_t Size) {
        Sender->Close();
        Log.Add("closed after " + std::to_string(Size));
    });
    Comm.Open();
    Driver->InjectEvent({CommEv::Rxchar, 2, 0});
    EXPECT_EQ(Log.WaitFor(1), Calls{"closed after 2"});
    EXPECT_FALSE(Comm.IsOpen());
    EXPECT_EQ(Comm.Watch(), nullptr);

    LogHandlers();
    Comm.Open();
    Driver->InjectEvent({CommEv::Rxchar, 6, 0});
    EXPECT_EQ(Log.WaitFor(2), (Calls{"closed after 2", "receive 6"}));
}

TEST_F(CommComponent, DsrStateFollowsTheModemStatus) {
    Driver->SetModemStatus(CommModem::DsrOn);
    EXPECT_FALSE(Comm.DsrState()) << "closed";
    Comm.Open();
    EXPECT_TRUE(Comm.DsrState());
    Driver->SetModemStatus(CommModem::CtsOn | CommModem::RlsdOn);
    EXPECT_FALSE(Comm.DsrState());
}

} // namespace
