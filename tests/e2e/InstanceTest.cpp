// Starts that share a settings location, and the end of a program whose
// settings cannot be saved.
#include "EndToEnd.h"

namespace e2e {
namespace {

using Instance = EndToEnd;

TEST_F(Instance, OneProgramPerSettingsLocationAndNoStaleLockAfterAKill) {
    WriteSettings(SettingsFile(), Polling());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitForLogLines(CallLog(), 1));

    TTelvane second(ConfigHome(), Root.Path() / "second");
    second.Start();
    const auto status = second.Process().Wait(kPatience);
    EXPECT_TRUE(EndedCleanly(status)) << DescribeStatus(status);
    EXPECT_NE(second.Stderr().find("already running"), std::string::npos) << second.Stderr();
    EXPECT_FALSE(std::filesystem::exists(second.CallLog())) << "the second one polled";

    // Killed, the first leaves nothing behind that keeps a new start out.
    Program->Process().Signal(SIGKILL);
    ASSERT_TRUE(Program->Process().Wait(kPatience));
    second.Start();
    ASSERT_TRUE(second.WaitUntilReady());
    Adapter->Send("caller 0399999999");
    ASSERT_TRUE(WaitForLogLines(second.CallLog(), 1)) << second.Stderr();
    EXPECT_TRUE(EndedCleanly(second.Stop(SIGTERM)));
}

TEST_F(Instance, FailedSaveOnASignalGoesToStderr) {
    std::filesystem::create_directories(SettingsFile()); // no file can be written there
    ASSERT_NO_FATAL_FAILURE(Start());
    const auto status = Program->Stop(SIGTERM);
    EXPECT_TRUE(EndedCleanly(status)) << DescribeStatus(status);
    EXPECT_NE(Program->Stderr().find("telvane: " + std::string("設定を保存できません")),
              std::string::npos)
        << Program->Stderr();
}

} // namespace
} // namespace e2e
