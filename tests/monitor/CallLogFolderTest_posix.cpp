// Where the call log goes on POSIX systems (setenv and geteuid are POSIX).
#include "monitor/CallLogFolder.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace telvane {
namespace {

using testing::TTempFolder;

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
