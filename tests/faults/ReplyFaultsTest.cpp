// Replies that a failing adapter or line cuts short, on the simulated clock.
// A cut reply may end inside a line; those bytes wait in the line buffer and
// begin the first line of the next reply.
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include "FaultHelpers.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace telvane {
namespace {

class ReplyFaults : public ::testing::Test {
protected:
    ReplyFaults() {
        Rig.View.Port = "COM1";
        Rig.View.LogRing = true;
        Rig.Port.Responder = [this](std::uint8_t) {
            sim::TSimReply reply;
            reply.Bytes = Rig.Adapter.Listing();
            if (!Cuts.empty()) {
                reply.Bytes.resize(Cuts.front()(reply.Bytes));
                Cuts.pop_front();
            }
            return std::optional<sim::TSimReply>(reply);
        };
    }

    // Where the next replies end: a function of the whole listing.
    std::deque<std::function<std::size_t(const std::string&)>> Cuts;
    faults::TTempFolder Folder;
    sim::TSimRig Rig{Folder.Path()};
};

// One reply cut inside a watched line, the next whole: the whole reply puts
// every line right, and nothing is detected that did not happen.
TEST_F(ReplyFaults, CutInsideTheCallingPartyLineThenAWholeReplyDetectsNothing) {
    Rig.Adapter.Ring("0120000300");
    Rig.Start();
    ASSERT_TRUE(Rig.RunUntilResult());
    ASSERT_EQ(Rig.View.Number, "0120000300");
    const std::string log = faults::ReadFile(Folder.Path() / "RingLog.txt");

    Cuts.push_back([this](const std::string& listing) {
        return listing.find(Rig.Adapter.Line(kCallingPartySlot)) + 30;
    });
    for (int result = 0; result < 3; ++result) {
        ASSERT_TRUE(Rig.RunUntilResult());
        EXPECT_NE(Rig.View.Status, texts::kStatusNumberChanged) << "result " << result;
        EXPECT_EQ(Rig.View.Number, "0120000300");
    }
    EXPECT_EQ(faults::ReadFile(Folder.Path() / "RingLog.txt"), log);
}

// Two replies in a row cut short: the first inside the calling-party line,
// after its keyword; the second before its own calling-party line. No new
// caller rang, so none may be reported or logged. (Were the bytes of the
// first cut line kept for the next reply, its echo of the command would
// complete them into "RECEIVE CALLING PARTY = ATV1I4\L0\L1", a caller that
// never rang, and the next whole reply would report the real one again.)
TEST_F(ReplyFaults, TwoCutRepliesMakeNoFalseCaller) {
    Rig.Adapter.Ring("0120000300");
    Rig.Start();
    ASSERT_TRUE(Rig.RunUntilResult());
    ASSERT_EQ(Rig.View.Number, "0120000300");
    const std::string log = faults::ReadFile(Folder.Path() / "RingLog.txt");

    Cuts.push_back([this](const std::string& listing) {
        const std::string line = Rig.Adapter.Line(kCallingPartySlot);
        return listing.find(line) + line.find('=') + 2;
    });
    Cuts.push_back([](const std::string& listing) { return listing.find("RECEIVE CALLED"); });
    for (int result = 0; result < 3; ++result) {
        ASSERT_TRUE(Rig.RunUntilResult());
        EXPECT_NE(Rig.View.Status, texts::kStatusNumberChanged) << "result " << result;
        EXPECT_EQ(Rig.View.Number, "0120000300") << "result " << result;
    }
    EXPECT_EQ(faults::ReadFile(Folder.Path() / "RingLog.txt"), log);
}

} // namespace
} // namespace telvane
