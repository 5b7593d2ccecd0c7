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

TEST_F(Lifecycle, FirstStartQueriesNothingUntilAPortIsStored) {
    ASSERT_NO_FATAL_FAILURE(Start());
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(Adapter->Commands(), 0);
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    ExpectAllValues(saved);
    EXPECT_EQ(saved["Port"], "");
    EXPECT_EQ(saved["Interval"], " 5分");
    for (const std::string& name : kSettingNames) {
        if (name != "Interval" && name != "LogRing" && name != "Dream") {
            EXPECT_EQ(saved[name], "") << name;
        }
    }
    // Flags are stored as the integers 0 and 1.
    const std::string text = ReadFile(SettingsFile());
    EXPECT_NE(text.find("\nLogRing=0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nDream=0\n"), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(CallLog()));

    // The user picks the port and turns the call log on.
    saved["Port"] = "COM1";
    saved["Interval"] = " 1秒";
    saved["LogRing"] = "1";
    WriteSettings(SettingsFile(), saved);
    Adapter->Send("caller 0312345678");
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitForLogLines(CallLog(), 1));
    TSettings after;
    ASSERT_NO_FATAL_FAILURE(Stop(after));

    const std::string line = LogLines(CallLog()).at(0);
    const std::string at = after["DateTime"];
    EXPECT_TRUE(IsTimeText(at)) << at;
    EXPECT_EQ(line, "," + at + ",0312345678\r\n");
    EXPECT_EQ(after["LastDateTime"], at);
    // Each watched line of the listing went to its own slot.
    const char* const keys[] = {"AtermIT",
                                "DATA PORT ",
                                "DIAGNOSIS DATA PORT ",
                                "ANALOG A PORT ",
                                "DIAGNOSIS ANALOG A PORT ",
                                "ANALOG B PORT ",
                                "DIAGNOSIS ANALOG B PORT ",
                                "ANALOG C PORT ",
                                "DIAGNOSIS ANALOG C PORT ",
                                "RECEIVE CALLED PARTY ",
                                "RECEIVE CALLING PARTY "};
    for (int slot = 0; slot <= 10; ++slot) {
        const std::string name = "Magic" + std::to_string(slot);
        EXPECT_EQ(after[name].rfind(keys[slot], 0), 0u) << name << " = " << after[name];
    }
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

// The one test that waits for the shortest interval of the list.
TEST_F(Lifecycle, FifteenSecondIntervalAndQuietBetweenPolls) {
    WriteSettings(SettingsFile(), Polling({{"Interval", "15秒"}}));
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
}

} // namespace
} // namespace e2e
