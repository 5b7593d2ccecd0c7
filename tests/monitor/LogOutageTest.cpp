// A call log that cannot be written for a while: polling goes on without
// waiting for anyone, and the calls of the outage reach the log afterwards.
#include "monitor/RingLogWriter.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

TEST(LogOutage, LinesWaitInOrderAndTheOutageIsReportedOnce) {
    testing::TTempFolder folder;
    const auto log = folder.Path() / "RingLog.txt";
    sim::TSimRig rig(folder.Path());
    rig.AnswerWithListing();
    rig.View.Port = "COM1";
    rig.View.LogRing = true;
    std::filesystem::create_directory(log); // no file can be opened there
    const std::size_t calls = TRingLogWriter::kMaxPending + 5;
    for (std::size_t call = 0; call < calls; ++call) {
        rig.Adapter.Ring("03" + std::to_string(call));
        if (call == 0) {
            rig.Start();
        }
        ASSERT_TRUE(rig.RunUntilResult() && rig.Timer1.Enabled()) << "polling stopped";
    }
    EXPECT_TRUE(rig.View.Errors.empty()) << "a box that waits for the user";
    ASSERT_EQ(rig.View.Notices.size(), 1u);
    EXPECT_EQ(rig.View.Notices[0].find(texts::kRingLogBefore), 0u);

    // Writable again: the next result phase writes what waited, the 5 oldest
    // lost, and tells how many were lost.
    std::filesystem::remove(log);
    ASSERT_TRUE(rig.RunUntilResult());
    const std::string text = testing::ReadFile(log);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1000);
    EXPECT_EQ(text.find(",035\r\n") + 6, text.find('\n') + 1);
    EXPECT_EQ(text.rfind(",031004\r\n") + 9, text.size());
    ASSERT_EQ(rig.View.Notices.size(), 2u);
    EXPECT_EQ(rig.View.Notices[1],
              texts::kRingLogDroppedBefore + std::string("5") + texts::kRingLogDroppedAfter);
}

// Closing gives the waiting lines a last try, and says how many are lost
// when that fails too.
TEST(LogOutage, ClosingWritesWhatWaitedOrSaysItIsLost) {
    testing::TTempFolder folder;
    const auto log = folder.Path() / "RingLog.txt";
    for (const bool writableAtClose : {true, false}) {
        sim::TSimRig rig(folder.Path());
        rig.AnswerWithListing();
        rig.View.Port = "COM1";
        rig.View.LogRing = true;
        std::filesystem::remove_all(log);
        std::filesystem::create_directory(log);
        rig.Adapter.Ring(writableAtClose ? "0311111111" : "0322222222");
        rig.Start();
        ASSERT_TRUE(rig.RunUntilResult());
        if (writableAtClose) {
            std::filesystem::remove(log);
        }
        rig.Handle([&rig] { rig.Monitor->FormClose(); });
        if (writableAtClose) {
            EXPECT_NE(testing::ReadFile(log).find(",0311111111\r\n"), std::string::npos);
            EXPECT_TRUE(rig.View.Errors.empty());
        } else {
            ASSERT_EQ(rig.View.Errors.size(), 1u);
            EXPECT_EQ(rig.View.Errors[0].find(texts::kRingLogDroppedBefore + std::string("1")), 0u);
        }
    }
}

} // namespace
} // namespace telvane
