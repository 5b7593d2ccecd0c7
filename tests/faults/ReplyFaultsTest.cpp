// Replies that a failing adapter or line cuts short, on the simulated clock.
// A cut reply may end inside a line; those bytes must not begin the first
// line of the next reply, or the command's echo completes a cut calling-party
// line into "RECEIVE CALLING PARTY = ATV1I4\L0\L1", a caller that never rang.
#include "TempFolder.h"

#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace telvane {
namespace {

// Where the next replies end, as offsets into the listing's calling-party
// line: a byte count, kBefore (before the line) or kAfterEquals.
constexpr int kBefore = -1;
constexpr int kAfterEquals = -2;

TEST(ReplyFaults, CutRepliesMakeNoFalseCaller) {
    const struct {
        const char* Name;
        std::vector<int> Cuts;
    } cases[] = {
        {"cut inside the number, then whole", {30}},
        {"cut after the keyword, then before the line", {kAfterEquals, kBefore}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        testing::TTempFolder folder;
        sim::TSimRig rig{folder.Path()};
        rig.View.Port = "COM1";
        rig.View.LogRing = true;
        std::deque<int> cuts;
        rig.Port.Responder = [&](std::uint8_t) {
            sim::TSimReply reply;
            reply.Bytes = rig.Adapter.Listing();
            if (!cuts.empty()) {
                const std::string line = rig.Adapter.Line(kCallingPartySlot);
                const int cut = cuts.front() == kAfterEquals ? static_cast<int>(line.find('=')) + 2
                                : cuts.front() == kBefore    ? 0
                                                             : cuts.front();
                reply.Bytes.resize(reply.Bytes.find(line) + static_cast<std::size_t>(cut));
                cuts.pop_front();
            }
            return std::optional<sim::TSimReply>(reply);
        };
        rig.Adapter.Ring("0120000300");
        rig.Start();
        ASSERT_TRUE(rig.RunUntilResult());
        ASSERT_EQ(rig.View.Number, "0120000300");
        const std::string log = testing::ReadFile(folder.Path() / "RingLog.txt");

        cuts.assign(c.Cuts.begin(), c.Cuts.end());
        for (int result = 0; result < 3; ++result) {
            ASSERT_TRUE(rig.RunUntilResult());
            EXPECT_NE(rig.View.Status, texts::kStatusNumberChanged) << "result " << result;
            EXPECT_EQ(rig.View.Number, "0120000300") << "result " << result;
        }
        EXPECT_EQ(testing::ReadFile(folder.Path() / "RingLog.txt"), log);
    }
}

} // namespace
} // namespace telvane
