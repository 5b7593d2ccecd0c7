// What the call log receives from odd numbers: no byte may end or cut a line.
#include "monitor/CallLog.h"
#include "monitor/CallerNumber.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

// A Ctrl-Z in one number must not let the next append cut that line.
TEST(LogField, MarksAndLineEndsNeverReachTheLog) {
    testing::TTempFolder folder;
    const auto file = folder.Path() / "RingLog.txt";
    for (const char* number : {"0311\x1A"
                               "2222",
                               "0333333333", "0344444444"}) {
        AppendRingLog(file, "RingLog.txt", "a\r\nb", "t", number);
    }
    EXPECT_EQ(testing::ReadFile(file),
              "a??b,t,0311?2222\r\na??b,t,0333333333\r\na??b,t,0344444444\r\n");
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
