// Start-up, the settings store, closing and standby.
#include "monitor/Settings.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

using sim::TMemorySettingsStore;

const std::string kKey = SettingsKey;

class Lifecycle : public ::testing::Test {
protected:
    Lifecycle() { Rig.AnswerWithListing(); }

    TMemorySettingsStore::TKey& Stored() { return Rig.Settings.Keys[kKey]; }
    // The settings an earlier run left, with a complete snapshot.
    void StoreEarlierRun() {
        auto& key = Stored();
        key["Port"] = std::string("COM1");
        key["Interval"] = std::string("15") + texts::kUnitSeconds;
        key["DateTime"] = std::string("2026/02/28 20:00:00");
        key["LastDateTime"] = std::string("2026/02/28 23:59:00");
        key["LogRing"] = 1;
        key["Magic0"] = std::string("AtermIT SIMULATED ADAPTER");
        for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
            key[MagicValueName(slot)] = Rig.Adapter.Line(slot);
        }
        key["Dream"] = 0;
    }
    std::string Log() const { return testing::ReadFile(Folder.Path() / "RingLog.txt"); }

    testing::TTempFolder Folder;
    sim::TSimRig Rig{Folder.Path()};
};

TEST_F(Lifecycle, FirstStartWithoutKeyQueriesNothingAndCloseWritesAllSeventeen) {
    Rig.Start();
    EXPECT_EQ(Rig.View.Port, "");
    EXPECT_EQ(Rig.View.Interval, std::string(" 5") + texts::kUnitMinutes);
    EXPECT_FALSE(Rig.View.LogRing);
    EXPECT_FALSE(Standby);
    EXPECT_EQ(Rig.View.Number, texts::kNumberNoPort);
    EXPECT_EQ(Rig.View.Status, texts::kStatusNoPort);
    EXPECT_EQ(Rig.Monitor->PreviousSnapshot(), TSnapshot{});
    EXPECT_EQ(Rig.Settings.Calls, std::vector<std::string>{"open " + kKey});
    EXPECT_TRUE(Rig.Settings.Keys.empty());

    Rig.Monitor->FormClose();
    ASSERT_EQ(Rig.Settings.Keys.size(), 1u);
    EXPECT_EQ(Stored().size(), 17u);
    EXPECT_EQ(std::get<std::int32_t>(Stored().at("LogRing")), 0);
    EXPECT_EQ(std::get<std::string>(Stored().at("Magic10")), "");
}

TEST_F(Lifecycle, ValuesAreReadAndWrittenInTheirOwnOrder) {
    StoreEarlierRun();
    Stored()["Magic11"] = std::string("never read");
    Stored()["Magic01"] = std::string("never read");
    Rig.Start();
    std::vector<std::string> expected = {"open " + kKey};
    auto reads = [&](const std::string& name) {
        expected.push_back("exists " + name);
        expected.push_back("read " + name);
    };
    for (const char* name : {"Port", "Interval", "DateTime", "LastDateTime", "LogRing"}) {
        reads(name);
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        reads(MagicValueName(slot));
    }
    reads("Dream");
    expected.push_back("close");
    EXPECT_EQ(Rig.Settings.Calls, expected);

    Rig.Settings.Calls.clear();
    Rig.Monitor->FormClose();
    expected = {"create " + kKey};
    for (const char* name : {"Port", "Interval", "DateTime", "LastDateTime"}) {
        expected.push_back(std::string("write ") + name);
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        expected.push_back("write " + MagicValueName(slot));
    }
    expected.push_back("write Dream");
    expected.push_back("write LogRing");
    expected.push_back("close");
    EXPECT_EQ(Rig.Settings.Calls, expected);
}

TEST_F(Lifecycle, PartialKeyAndOddKindsKeepTheDefaultsOfWhatIsMissing) {
    Stored()["Interval"] = std::string("20") + texts::kUnitSeconds;
    Stored()["LogRing"] = 2;
    Stored()["Dream"] = std::string("yes");
    Stored()["Port"] = 3;
    Stored()["Magic10"] = std::string("RECEIVE CALLING PARTY = 1");
    Rig.Start();
    EXPECT_EQ(Rig.View.Interval, std::string("20") + texts::kUnitSeconds);
    EXPECT_TRUE(Rig.View.LogRing);
    EXPECT_FALSE(Standby);
    EXPECT_EQ(Rig.View.Port, "3");
    EXPECT_EQ(Rig.Monitor->GetRingTime(), "");
    EXPECT_EQ(Rig.Monitor->PreviousSnapshot()[10], "RECEIVE CALLING PARTY = 1");
    EXPECT_EQ(Rig.Monitor->PreviousSnapshot()[9], "");

    Rig.Monitor->FormClose();
    EXPECT_EQ(std::get<std::int32_t>(Stored().at("LogRing")), 1);
    EXPECT_EQ(std::get<std::int32_t>(Stored().at("Dream")), 0);
    EXPECT_EQ(std::get<std::string>(Stored().at("Port")), "3");
}

// Whether the adapter is silent or answers only "ERROR".
class FirstQueryWithoutReply : public Lifecycle, public ::testing::WithParamInterface<bool> {};

TEST_P(FirstQueryWithoutReply, AfterARestartIsNoCall) {
    StoreEarlierRun();
    const bool error = GetParam();
    Rig.Port.Responder = [error](std::uint8_t) {
        return error ? std::optional<sim::TSimReply>(sim::TSimReply{"ERROR\r\n"})
                     : std::optional<sim::TSimReply>();
    };
    Rig.Start();
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusCannotDetect);
    EXPECT_EQ(Rig.Monitor->GetRingTime(), "2026/02/28 20:00:00");
    EXPECT_EQ(Rig.Monitor->GetLastPollTime(), "2026/02/28 23:59:00");
    EXPECT_EQ(Rig.Monitor->PreviousSnapshot()[10], Rig.Adapter.Line(10));
    EXPECT_EQ(Rig.View.Number, texts::kNoNumberInformation);
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() / "RingLog.txt"));

    // The adapter answers again with the same listing: still no call.
    Rig.AnswerWithListing();
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, "");
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() / "RingLog.txt"));
}

INSTANTIATE_TEST_SUITE_P(SilentOrError, FirstQueryWithoutReply, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Error" : "Silent"; });

TEST_F(Lifecycle, CallWhileNotRunningIsDetectedByTheFirstAnsweredQuery) {
    StoreEarlierRun();
    Rig.Adapter.Ring("0887776666");
    Rig.Start();
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_EQ(Rig.View.Status, texts::kStatusNumberChanged);
    EXPECT_EQ(Log(), "2026/02/28 23:59:00,2026/03/01 09:00:00,0887776666\r\n");
}

TEST_F(Lifecycle, StoredStandbyMinimisesAtTheFirstResultPhaseOnly) {
    StoreEarlierRun();
    Stored()["Dream"] = 1;
    Rig.Start();
    EXPECT_TRUE(Standby);
    EXPECT_FALSE(Rig.View.Minimized);
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_TRUE(Rig.View.Minimized);
    EXPECT_TRUE(Standby);

    // The user restores the window; later results leave it alone.
    Rig.View.RestoreApplication();
    EXPECT_FALSE(Standby);
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_FALSE(Rig.View.Minimized);
}

TEST_F(Lifecycle, StoredStandbyWithoutPortIsKeptUntilAPortIsChosen) {
    StoreEarlierRun();
    Stored().erase("Port");
    Stored()["Dream"] = 1;
    Rig.Start();
    Rig.Scheduler.RunFor(3600 * 1000);
    EXPECT_FALSE(Rig.View.Minimized);
    Rig.View.MinimizeApplication();
    Rig.View.RestoreApplication();
    EXPECT_TRUE(Standby);
    Rig.Monitor->FormClose();
    EXPECT_EQ(std::get<std::int32_t>(Stored().at("Dream")), 1);

    Rig.View.Port = "COM1";
    Rig.Handle([&] { Rig.Monitor->CheckButtonClick(); });
    ASSERT_TRUE(Rig.RunUntilResult());
    EXPECT_TRUE(Rig.View.Minimized);
}

TEST_F(Lifecycle, SaveThatFailsIsReported) {
    Rig.Start();
    for (bool* fault : {&Rig.Settings.RefuseOpen, &Rig.Settings.FailClose}) {
        *fault = true;
        Rig.Handle([this] { Rig.Monitor->FormClose(); });
        *fault = false;
    }
    ASSERT_EQ(Rig.View.Errors.size(), 2u);
    EXPECT_EQ(Rig.View.Errors[1].rfind(texts::kSettingsNotSaved, 0), 0u);
}

TEST_F(Lifecycle, StoredPortWithoutDigitIsReportedAndTheProgramGoesOn) {
    Stored()["Port"] = std::string("COM");
    Rig.Start();
    EXPECT_EQ(Rig.View.Errors.size(), 1u);
    EXPECT_FALSE(Rig.Timer1.Enabled());
    EXPECT_TRUE(Rig.Monitor->IsFirstTick());
}

} // namespace
} // namespace telvane
