// What the call log receives from odd numbers: no byte may end or cut a line.
#include "monitor/CallerNumber.h"
#include "monitor/Settings.h"
#include "monitor/sim/SimRig.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

// A Ctrl-Z in one number must not let the next append cut that line.
TEST(LogField, MarksAndLineEndsInFieldsAreReplacedOnlyInTheLog) {
    testing::TTempFolder folder;
    sim::TSimRig rig(folder.Path());
    rig.AnswerWithListing();
    rig.View.Port = "COM1";
    rig.View.LogRing = true;
    const std::string stored = "a\rb\nc\x1A";
    rig.Settings.Keys[SettingsKey]["LastDateTime"] = stored;
    const auto logged = [](const std::string& field) {
        std::string bytes;
        for (const char byte : field) {
            bytes += byte == '\r' || byte == '\n' || byte == '\x1A' ? '?' : byte;
        }
        return bytes;
    };
    std::string expected;
    for (const std::string& number :
         {std::string("0311\x1A"
                      "2222"),
          std::string("0333333333"), std::string("0344444444"), std::string("\x82\x1A\x82\xA0")}) {
        rig.Adapter.Ring(number);
        const std::string pollBefore = expected.empty() ? stored : rig.Monitor->GetLastPollTime();
        if (expected.empty()) {
            rig.Start();
        }
        ASSERT_TRUE(rig.RunUntilResult());
        EXPECT_EQ(rig.View.Number, number);
        expected +=
            logged(pollBefore) + ',' + rig.Monitor->GetRingTime() + ',' + logged(number) + "\r\n";
    }
    EXPECT_EQ(testing::ReadFile(folder.Path() / "RingLog.txt"), expected);
}

TEST(LogField, CapOnTheNumberNeverSplitsADoubleByteCharacter) {
    const std::string kana = "\x82\xA0";
    const struct {
        std::string After;
        std::string Number;
    } cases[] = {
        {std::string(999, '1') + kana, std::string(999, '1')},
        {std::string(998, '1') + kana + "2", std::string(998, '1') + kana},
        {std::string(999, '1') + "\x82", std::string(999, '1') + "\x82"}, // lone, not cut
        {kana + std::string(998, '1') + kana, kana + std::string(998, '1')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractCallerNumber("RECEIVE CALLING PARTY =" + c.After), c.Number);
    }
}

} // namespace
} // namespace telvane
