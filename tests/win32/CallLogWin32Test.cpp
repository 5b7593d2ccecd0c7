// The call log with Win32 file calls: the Ctrl-Z rule, and a share mode that
// lets readers in but keeps other writers out.
#include "monitor/CallLog.h"
#include "monitor/MonitorError.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace telvane {
namespace {

namespace fs = std::filesystem;

class CallLogWin32Test : public ::testing::Test {
protected:
    fs::path Folder =
        fs::temp_directory_path() / ("telvane-calllog-" + std::to_string(::GetCurrentProcessId()));
    fs::path File = Folder / "RingLog.txt";
    void SetUp() override { fs::create_directories(Folder); }
    void TearDown() override { fs::remove_all(Folder); }

    void Write(const std::string& bytes) const {
        std::ofstream(File, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Read() const {
        std::ifstream in(File, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Append() const { AppendRingLog(File, "RingLog.txt", "A", "B", "C"); }
    HANDLE Hold(DWORD access) const {
        return ::CreateFileW(File.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
    }
};

TEST_F(CallLogWin32Test, CutsAtTheFirstCtrlZOfTheLast128Bytes) {
    const std::string filler(200, 'x');
    const struct {
        std::string Before, After;
    } cases[] = {
        {"", ""},
        {"old\r\n", "old\r\n"},
        {"old\r\n\x1A", "old\r\n"},
        {"old\r\n\x1A"
         "junk\x1A"
         "more",
         "old\r\n"},
        {"\x1A" + filler, "\x1A" + filler},
        {filler.substr(0, 100) + "\x1A" + filler.substr(0, 127), filler.substr(0, 100)},
    };
    for (const auto& c : cases) {
        Write(c.Before);
        Append();
        EXPECT_EQ(Read(), c.After + "A,B,C\r\n") << "before: " << c.Before.size() << " bytes";
    }
}

TEST_F(CallLogWin32Test, ReadersMayHoldTheFileButNoOtherWriter) {
    Write("");
    const HANDLE reader = Hold(GENERIC_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    Append();
    ::CloseHandle(reader);

    const HANDLE writer = Hold(GENERIC_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_THROW(Append(), EMonitorError);
    ::CloseHandle(writer);
    EXPECT_EQ(Read(), "A,B,C\r\n");

    fs::remove_all(Folder);
    try {
        Append();
        ADD_FAILURE() << "a log in a missing folder was written";
    } catch (const EMonitorError& error) {
        EXPECT_NE(std::string(error.what()).find("RingLog.txt"), std::string::npos);
    }
}

} // namespace
} // namespace telvane
