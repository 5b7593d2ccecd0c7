// The call log on real files.
#include "monitor/CallLog.h"
#include "monitor/MonitorError.h"
#include "monitor/Texts.h"

#include "FileFaults.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

using testing::ReadFile;
using testing::TTempFolder;
using testing::WriteFile;

class CallLog : public ::testing::Test {
protected:
    void Append(const std::string& poll, const std::string& ring, const std::string& number) {
        AppendRingLog(File, "RingLog.txt", poll, ring, number);
    }

    TTempFolder Folder;
    std::filesystem::path File = Folder.Path() / "RingLog.txt";
};

TEST_F(CallLog, FirstLineCreatesTheFileAndLaterLinesAppend) {
    Append("", "2026/03/01 09:00:00", texts::kNoNumberInformation);
    Append("2026/03/01 09:00:00", "2026/03/01 09:05:00", "0123456789");
    Append("2026/03/01 09:05:00", "2026/03/01 09:10:00", "");
    Append("2026/03/01 09:10:00", "2026/03/01 09:15:00", "012,345");
    EXPECT_EQ(ReadFile(File), std::string(",2026/03/01 09:00:00,") + texts::kNoNumberInformation +
                                  "\r\n"
                                  "2026/03/01 09:00:00,2026/03/01 09:05:00,0123456789\r\n"
                                  "2026/03/01 09:05:00,2026/03/01 09:10:00,\r\n"
                                  "2026/03/01 09:10:00,2026/03/01 09:15:00,012,345\r\n");
}

// What an earlier file ends with decides where the new line starts: a
// Ctrl-Z within the last 128 bytes is cut off with what follows it.
TEST_F(CallLog, NewLineFollowsWhatTheFileEndsWith) {
    const std::string further = "head\x1A" + std::string(128, 'x');
    const struct {
        std::string Old;
        std::string After;
    } cases[] = {
        {"old line\r\n\x1A junk\x1A", "old line\r\na,b,c\r\n"},
        {"head\x1A" + std::string(127, 'x'), "heada,b,c\r\n"}, // exactly 128 from the end
        {further, further + "a,b,c\r\n"},                      // further back: stays
        {"no end", "no enda,b,c\r\n"},                         // joined to the last line
    };
    for (const auto& c : cases) {
        WriteFile(File, c.Old);
        Append("a", "b", "c");
        EXPECT_EQ(ReadFile(File), c.After);
    }
}

TEST_F(CallLog, FailuresRaiseAnErrorNamingTheFileAndKeepTheFileIntact) {
    // A folder where the file should be.
    std::filesystem::create_directory(File);
    try {
        Append("a", "b", "c");
        ADD_FAILURE() << "no error";
    } catch (const EMonitorError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind(texts::kRingLogBefore + std::string("RingLog.txt"), 0), 0u);
        EXPECT_NE(message.find(testing::kFolderInTheWay), std::string::npos) << message;
    }
    std::filesystem::remove(File);

    // Another writer holds the file.
    WriteFile(File, "kept\r\n");
    {
        const testing::THeldFile holder(File);
        ASSERT_TRUE(holder.Held());
        EXPECT_THROW(Append("a", "b", "c"), EMonitorError);
    }
    EXPECT_EQ(ReadFile(File), "kept\r\n");

    // The folder has gone.
    EXPECT_THROW(AppendRingLog(Folder.Path() / "gone" / "RingLog.txt", "x", "a", "b", "c"),
                 EMonitorError);
}

} // namespace
} // namespace telvane
