// The program's life across starts: what it stores when it ends, what it
// reads back, and the poll interval.
#include "EndToEnd.h"

namespace e2e {
namespace {

using Lifecycle = EndToEnd;

void ExpectAllValues(const TSettings& saved) {
    for (const std::string& name : kSettingNames) {
        EXPECT_EQ(saved.count(name), 1u) << name << " not saved";
    }
    EXPECT_EQ(saved.size(), kSettingNames.size());
}

TEST_F(Lifecycle, EveryEndingSignalSavesTheSettings) {
    const struct {
        int Signal;
        const char* Interval;
    } endings[] = {{SIGTERM, " 1秒"}, {SIGINT, " 2秒"}, {SIGHUP, " 3秒"}, {SIGQUIT, " 4秒"}};
    for (const auto& ending : endings) {
        SCOPED_TRACE(::strsignal(ending.Signal));
        std::filesystem::remove(CallLog());
        // No stored snapshot: the first answered query logs a line.
        WriteSettings(SettingsFile(), Polling({{"Interval", ending.Interval}}));
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_TRUE(WaitForLogLines(CallLog(), 1));
        TSettings saved;
        ASSERT_NO_FATAL_FAILURE(Stop(saved, ending.Signal));
        ExpectAllValues(saved);
        EXPECT_EQ(saved["Port"], "COM1");
        EXPECT_EQ(saved["Interval"], ending.Interval);
        EXPECT_EQ(saved["LogRing"], "1");
        EXPECT_EQ(saved["Dream"], "0");
        const auto fields = Fields(LogLines(CallLog()).at(0));
        EXPECT_EQ(saved["DateTime"], fields.at(1));
        EXPECT_EQ(saved["LastDateTime"], fields.at(1));
        EXPECT_EQ(saved["Magic10"].rfind("RECEIVE CALLING PARTY", 0), 0u);
    }
}

// The one test that waits for the shortest interval of the list. Values
// not understood are said once at start, and kept.
TEST_F(Lifecycle, FifteenSecondIntervalAndQuietBetweenPolls) {
    WriteSettings(SettingsFile(),
                  Polling({{"Interval", "15秒"}, {"Region", "jp"}, {"Tray", "yes please"}}));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitForLogLines(CallLog(), 1));
    const auto programCpu = Program->Process().CpuTime();
    const auto adapterCpu = Adapter->Process().CpuTime();
    // Well within the interval no query comes...
    EXPECT_FALSE(Adapter->WaitForCommands(2, 10s)) << "polled before the interval ended";
    // ... and the program and the adapter sleep meanwhile.
    EXPECT_LT(Program->Process().CpuTime() - programCpu, 1000ms);
    EXPECT_LT(Adapter->Process().CpuTime() - adapterCpu, 1000ms);
    // Then it does.
    EXPECT_TRUE(Adapter->WaitForCommands(2));
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    EXPECT_EQ(saved["Interval"], "15秒");
    EXPECT_EQ(saved["Region"], "jp");
    const std::string errors = Program->Stderr();
    EXPECT_EQ(Count(errors, "telvane: settings: Region \"jp\" is not understood; JP is used\n"), 1u)
        << errors;
    EXPECT_EQ(
        Count(errors, "telvane: settings: Tray \"yes please\" is not understood; 0 is used\n"), 1u)
        << errors;
}

} // namespace
} // namespace e2e
