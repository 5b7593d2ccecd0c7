// The call log on real files.
#include "monitor/CallLog.h"
#include "monitor/CallLogFolder.h"
#include "monitor/MonitorError.h"
#include "monitor/Texts.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
        EXPECT_NE(message.find("directory"), std::string::npos);
    }
    std::filesystem::remove(File);

    // Another writer holds the file.
    WriteFile(File, "kept\r\n");
    const int holder = ::open(File.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_THROW(Append("a", "b", "c"), EMonitorError);
    ::close(holder);
    EXPECT_EQ(ReadFile(File), "kept\r\n");

    // The folder has gone.
    EXPECT_THROW(AppendRingLog(Folder.Path() / "gone" / "RingLog.txt", "x", "a", "b", "c"),
                 EMonitorError);
}

// The program's folder while the user may write there; otherwise the user's
// data folder.
TEST(CallLogFolder, ProgramFolderWhenWritableElseUserData) {
    TTempFolder temp;
    const auto program = temp.Path() / "bin";
    const auto readOnly = temp.Path() / "usr-bin";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const auto dataHome = temp.Path() / "data";
    const auto userData = dataHome / "Maruvo" / "Telvane";
    const struct {
        std::filesystem::path Program;
        const char* DataHome;
        const char* Home;
        std::filesystem::path Expected;
    } cases[] = {
        {program, dataHome.c_str(), "/nowhere", program},
        {readOnly, dataHome.c_str(), "/nowhere", userData},
        {temp.Path() / "missing", dataHome.c_str(), "/nowhere", userData},
        {temp.Path() / "missing", "relative", temp.Path().c_str(),
         temp.Path() / ".local/share/Maruvo/Telvane"},
        {temp.Path() / "missing", nullptr, nullptr, temp.Path() / "missing"},
    };
    for (const auto& c : cases) {
        if (c.Program == readOnly && ::geteuid() == 0) {
            continue; // root may write anywhere; scripts/test-package.sh covers it unprivileged
        }
        c.DataHome ? ::setenv("XDG_DATA_HOME", c.DataHome, 1) : ::unsetenv("XDG_DATA_HOME");
        c.Home ? ::setenv("HOME", c.Home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(CallLogFolder(c.Program), c.Expected) << c.Program << " " << c.DataHome;
    }
}

} // namespace
} // namespace telvane
