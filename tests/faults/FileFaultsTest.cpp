// Files that fail under the settings file and the call log, in the ways a
// user's disk fails: a folder or a file that even root cannot change (the
// immutable attribute; the tests run as root, which permissions do not stop)
// and a full disk (a tiny tmpfs). The monitor runs on the simulated clock
// against the real settings store and the real call log.
#include "TempFolder.h"

#include "monitor/Settings.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"
#include "store/IniSettingsStore.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

namespace telvane {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// Sets the immutable attribute of a file or folder for its lifetime.
class TImmutable {
public:
    explicit TImmutable(const std::filesystem::path& path) : Path_(path) { Applied_ = Set(true); }
    ~TImmutable() {
        if (Applied_) {
            Set(false);
        }
    }
    bool Applied() const { return Applied_; }

private:
    bool Set(bool on) {
        const int fd = ::open(Path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    std::filesystem::path Path_;
    bool Applied_ = false;
};

// A tmpfs of a few pages mounted on a folder for its lifetime.
class TSmallDisk {
public:
    TSmallDisk(const std::filesystem::path& folder, const char* size) : Folder_(folder) {
        std::filesystem::create_directories(Folder_);
        const std::string options = std::string("size=") + size + ",mode=0755";
        Mounted_ = ::mount("telvane-faults", Folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TSmallDisk() {
        if (Mounted_) {
            ::umount2(Folder_.c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return Mounted_; }
    // Fills what is left with one file; returns whether the disk is now full.
    bool Fill(const std::filesystem::path& filler) const {
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const std::string block(512, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        const bool full = errno == ENOSPC;
        while (::write(fd, "f", 1) == 1) {
        }
        ::close(fd);
        return full;
    }

private:
    std::filesystem::path Folder_;
    bool Mounted_ = false;
};

TStoredSettings Load(const std::filesystem::path& file) {
    TStoredSettings settings;
    TIniSettingsStore store(file);
    LoadSettings(store, settings);
    return settings;
}

// A save that cannot finish (no room left, a folder or a file that cannot
// change) leaves the previous file byte for byte and no stray files, is
// reported, the program polls on, and once the fault is gone, closing saves
// again.
class FailedSave : public ::testing::Test {
protected:
    std::filesystem::path ConfigFolder() const { return Folder.Path() / "config"; }
    std::filesystem::path File() const { return ConfigFolder() / "Telvane.conf"; }

    void SetUp() override { std::filesystem::create_directories(ConfigFolder()); }

    // Runs the program from the settings file: start, a call, close.
    void RunProgram(const std::string& caller, bool saveFails = false) {
        TIniSettingsStore store(File());
        sim::TSimRig rig(Folder.Path(), &store);
        rig.AnswerWithListing();
        rig.View.Port = "COM1";
        rig.Start();
        ASSERT_TRUE(rig.RunUntilResult());
        rig.Adapter.Ring(caller);
        ASSERT_TRUE(rig.RunUntilResult());
        ASSERT_TRUE(rig.RunUntilResult());
        rig.Handle([&rig] { rig.Monitor->FormClose(); });
        EXPECT_EQ(rig.View.Errors.size(), saveFails ? 1u : 0u) << "a save is reported if it fails";
        rig.Adapter.Ring(caller + "1");
        ASSERT_TRUE(rig.RunUntilResult()) << "the program polls on";
        EXPECT_TRUE(rig.Monitor->IsCheckPending() && rig.Timer1.Enabled());
    }

    void StoreKnownSettings() {
        ASSERT_NO_FATAL_FAILURE(RunProgram("0120000001"));
        Before = ReadFile(File());
        ASSERT_NE(Before.find("0120000001"), std::string::npos) << Before;
    }

    void ExpectSaveFailsAndKeepsTheFile() {
        // A long number makes the new file larger than the old.
        ASSERT_NO_FATAL_FAILURE(RunProgram(std::string(6000, '9'), true));
        EXPECT_EQ(ReadFile(File()), Before) << "the previous file changed";
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(ConfigFolder())) {
            names.insert(entry.path().filename().string());
        }
        names.erase("filler");
        EXPECT_EQ(names, std::set<std::string>{"Telvane.conf"}) << "a failed save left files";
    }

    void ExpectSaveWorksAgain() {
        ASSERT_NO_FATAL_FAILURE(RunProgram("0120000004"));
        const std::string caller = Load(File()).Magic[kCallingPartySlot];
        EXPECT_EQ(caller.substr(caller.size() - 10), "0120000004");
    }

    testing::TTempFolder Folder;
    std::string Before;
};

TEST_F(FailedSave, IntoAFolderThatCannotChange) {
    StoreKnownSettings();
    {
        TImmutable locked(ConfigFolder());
        if (!locked.Applied()) {
            GTEST_SKIP() << "cannot make the folder immutable";
        }
        ExpectSaveFailsAndKeepsTheFile();
    }
    ExpectSaveWorksAgain();
}

TEST_F(FailedSave, OverAFileThatCannotChange) {
    StoreKnownSettings();
    {
        TImmutable locked(File());
        if (!locked.Applied()) {
            GTEST_SKIP() << "cannot make the file immutable";
        }
        ExpectSaveFailsAndKeepsTheFile();
    }
    ExpectSaveWorksAgain();
}

TEST_F(FailedSave, OnAFullDisk) {
    TSmallDisk disk(ConfigFolder(), "64k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs";
    }
    StoreKnownSettings();
    ASSERT_TRUE(disk.Fill(ConfigFolder() / "filler"));
    ExpectSaveFailsAndKeepsTheFile();
    std::filesystem::remove(ConfigFolder() / "filler");
    ExpectSaveWorksAgain();
}

// ---------------------------------------------------------------------------
// The call log

// A full disk may let only part of a line in. The part is taken back, so
// that the next line still starts on a line of its own instead of two calls
// becoming one unreadable line.
TEST_F(FailedSave, CallLogOnAFullDiskKeepsEveryLineWhole) {
    const std::filesystem::path folder = Folder.Path() / "program";
    TSmallDisk disk(folder, "16k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs";
    }
    // The log ends a few bytes before the end of its page, so a line that
    // follows fills the page and then needs another.
    const std::string earlier(4090, 'x');
    ASSERT_TRUE(WriteFile(folder / "RingLog.txt", earlier.substr(0, 4088) + "\r\n"));
    ASSERT_TRUE(disk.Fill(folder / "filler"));

    sim::TSimRig rig(folder);
    rig.AnswerWithListing();
    rig.View.Port = "COM1";
    rig.View.LogRing = true;
    rig.Adapter.Ring("0120000020");
    rig.Start();
    ASSERT_TRUE(rig.RunUntilResult());
    ASSERT_EQ(rig.View.Notices.size(), 1u) << "the full disk must be reported";

    std::filesystem::remove(folder / "filler");
    rig.Adapter.Ring("0120000021");
    ASSERT_TRUE(rig.RunUntilResult());
    const std::string log = ReadFile(folder / "RingLog.txt");
    EXPECT_EQ(log.substr(0, 4090), earlier.substr(0, 4088) + "\r\n");
    // The line kept during the outage comes first, whole.
    EXPECT_EQ(log.substr(4090, 33), ",2026/03/01 09:00:00,0120000020\r\n")
        << "a line was joined to a part";
}

} // namespace
} // namespace telvane
