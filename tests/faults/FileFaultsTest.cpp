// Files that fail: the settings file and the call log, broken in the ways a
// user's disk breaks them. The monitor runs on the simulated clock against
// the real settings store (QSettings) and the real call log. Whatever fails,
// the monitor reports what it must, goes on polling, and never loses a
// setting it had: a save that fails leaves the previous file as it was.
#include "FaultHelpers.h"

#include "monitor/Settings.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"
#include "ui/qtcore/QtSettingsStore.h"

#include <gtest/gtest.h>

#include <sys/file.h>

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace telvane {
namespace {

using faults::ReadFile;
using faults::WriteFile;

const std::string kCantWrite = texts::kRingLogAfter;

// The settings of a user who has used the program for a while.
TStoredSettings KnownSettings() {
    TStoredSettings settings;
    settings.Port = "COM1";
    settings.Interval = std::string("15") + texts::kUnitSeconds;
    settings.DateTime = "2026/02/27 18:30:05";
    settings.LastDateTime = "2026/02/28 23:59:45";
    settings.LogRing = true;
    sim::TSimAdapter adapter;
    adapter.Ring("0120000001");
    settings.Magic[0] = "AtermIT SIMULATED ADAPTER";
    for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
        settings.Magic[slot] = adapter.Line(slot);
    }
    settings.Dream = true;
    return settings;
}

QString QtPath(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

bool Save(const std::filesystem::path& file, const TStoredSettings& settings) {
    TQtSettingsStore store(QtPath(file));
    return SaveSettings(store, settings) && store.LastStatus() == QSettings::NoError;
}

TStoredSettings Load(const std::filesystem::path& file) {
    TStoredSettings settings;
    TQtSettingsStore store(QtPath(file));
    LoadSettings(store, settings);
    return settings;
}

void ExpectSame(const TStoredSettings& a, const TStoredSettings& b) {
    EXPECT_EQ(a.Port, b.Port);
    EXPECT_EQ(a.Interval, b.Interval);
    EXPECT_EQ(a.DateTime, b.DateTime);
    EXPECT_EQ(a.LastDateTime, b.LastDateTime);
    EXPECT_EQ(a.LogRing, b.LogRing);
    EXPECT_EQ(a.Magic, b.Magic);
    EXPECT_EQ(a.Dream, b.Dream);
}

// The real settings store, watched: whether the last save got its key open
// and, if so, how writing the file ended.
class TWatchedStore final : public ISettingsStore {
public:
    explicit TWatchedStore(const std::filesystem::path& file) : Store_(QtPath(file)) {}

    bool OpenKey(const std::string& path, bool create) override {
        const bool open = Store_.OpenKey(path, create);
        if (create) {
            SaveOpened_ = open;
        }
        return open;
    }
    bool ValueExists(const std::string& name) const override { return Store_.ValueExists(name); }
    std::optional<std::string> ReadText(const std::string& name) const override {
        return Store_.ReadText(name);
    }
    std::optional<bool> ReadFlag(const std::string& name) const override {
        return Store_.ReadFlag(name);
    }
    void WriteText(const std::string& name, const std::string& text) override {
        Store_.WriteText(name, text);
    }
    void WriteFlag(const std::string& name, bool flag) override { Store_.WriteFlag(name, flag); }
    void CloseKey() override { Store_.CloseKey(); }
    bool CloseFailed() const override { return Store_.CloseFailed(); }

    // The last save failed, whether at opening the key or at writing the file.
    bool SaveFailed() const {
        return SaveOpened_ && (!*SaveOpened_ || Store_.LastStatus() != QSettings::NoError);
    }
    bool Saved() const {
        return SaveOpened_ && *SaveOpened_ && Store_.LastStatus() == QSettings::NoError;
    }

private:
    TQtSettingsStore Store_;
    std::optional<bool> SaveOpened_;
};

// The monitor with the real settings store on a file of the test's choice
// and its call log in a folder of the test's choice.
class TProgram {
public:
    TProgram(const std::filesystem::path& settingsFile, const std::filesystem::path& folder)
        : Store(settingsFile), Rig(folder, &Store) {
        Rig.AnswerWithListing();
    }

    // Start-up; returns whether the first result came.
    bool Start() {
        Rig.Start();
        return Rig.RunUntilResult();
    }
    // A caller rings; returns whether the next result phase came.
    bool Ring(const std::string& number) {
        Rig.Adapter.Ring(number);
        return Rig.RunUntilResult();
    }
    // The poll interval is armed and the next query will come.
    bool Polling() const {
        return Rig.Monitor->IsCheckPending() && Rig.Timer1.Enabled() &&
               Rig.Timer1.Interval() == PollIntervalOf(Rig.View.Interval);
    }
    void Close() {
        Rig.Handle([this] { Rig.Monitor->FormClose(); });
    }

    static std::uint32_t PollIntervalOf(const std::string& text) {
        return text == std::string("15") + texts::kUnitSeconds ? 15000 : 300000;
    }

    TWatchedStore Store;
    sim::TSimRig Rig;
};

class FileFaults : public ::testing::Test {
protected:
    std::filesystem::path SettingsFile() const { return Folder.Path() / "Telvane.conf"; }

    faults::TTempFolder Folder;
};

// ---------------------------------------------------------------------------
// The settings file

// Where the file should be, something else is: a folder, or a regular file
// in place of its folder. Loading finds nothing, saving fails and is
// reported, and the program polls on.
TEST_F(FileFaults, SettingsPathThatCannotHoldAFileFailsQuietly) {
    const std::filesystem::path blocked[] = {Folder.Path() / "folder" / "Telvane.conf",
                                             Folder.Path() / "plain" / "Telvane.conf"};
    std::filesystem::create_directories(blocked[0]);
    ASSERT_TRUE(WriteFile(Folder.Path() / "plain", "a file where a folder should be"));

    for (const auto& file : blocked) {
        SCOPED_TRACE(file.string());
        TProgram program(file, Folder.Path());
        program.Rig.View.Port = "COM1";
        ASSERT_TRUE(program.Start());
        program.Close();
        EXPECT_TRUE(program.Store.SaveFailed()) << "the save must fail, or the test proves nothing";
        EXPECT_EQ(program.Rig.View.Errors.size(), 1u) << "a failed save is reported";
        EXPECT_TRUE(program.Rig.View.Messages.empty());
        EXPECT_TRUE(program.Ring("0120000002")) << "the program polls on after a failed save";
        EXPECT_EQ(program.Rig.View.Status, texts::kStatusNumberChanged);
        EXPECT_TRUE(program.Polling());
    }
    EXPECT_TRUE(std::filesystem::is_directory(blocked[0]));
    EXPECT_EQ(ReadFile(Folder.Path() / "plain"), "a file where a folder should be");
}

// A save that cannot finish (no room left, a folder or a file that even
// root cannot change) leaves the previous file byte for byte and no stray
// files, the failure is reported, the program polls on, and the next start gets
// every setting the file held. Once the fault is gone, closing saves again.
class FailedSave : public FileFaults {
protected:
    std::filesystem::path ConfigFolder() const { return Folder.Path() / "config"; }
    std::filesystem::path File() const { return ConfigFolder() / "Telvane.conf"; }

    void SetUp() override { std::filesystem::create_directories(ConfigFolder()); }

    void StoreKnownSettings() {
        ASSERT_TRUE(Save(File(), KnownSettings()));
        Before = ReadFile(File());
        // A later start reads these bytes. (Within this process QSettings
        // would answer from its cache, which still holds what a failed save
        // could not write; the bytes are what counts.)
        ExpectSame(Load(File()), KnownSettings());
    }

    void ExpectSaveFailsAndKeepsTheFile() {
        {
            TProgram program(File(), Folder.Path());
            ASSERT_TRUE(program.Start());
            EXPECT_EQ(program.Rig.View.Port, "COM1") << "the stored settings were loaded";
            // A call with a long number makes the new file larger than the old.
            ASSERT_TRUE(program.Ring(std::string(6000, '9')));
            program.Close();
            EXPECT_TRUE(program.Store.SaveFailed()) << "the save must fail";
            EXPECT_EQ(program.Rig.View.Errors.size(), 1u) << "a failed save is reported";
            EXPECT_TRUE(program.Ring("0120000003")) << "the program polls on";
            EXPECT_TRUE(program.Polling());
        }
        EXPECT_EQ(ReadFile(File()), Before) << "the previous file changed";
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(ConfigFolder())) {
            names.insert(entry.path().filename().string());
        }
        names.erase("filler");
        EXPECT_EQ(names, std::set<std::string>{"Telvane.conf"}) << "a failed save left files";
    }

    void ExpectSaveWorksAgain() {
        {
            TProgram program(File(), Folder.Path());
            ASSERT_TRUE(program.Start());
            ASSERT_TRUE(program.Ring("0120000004"));
            program.Close();
            EXPECT_TRUE(program.Store.Saved());
        }
        const std::string caller = Load(File()).Magic[kCallingPartySlot];
        EXPECT_EQ(caller.substr(caller.size() - 10), "0120000004");
    }

    std::string Before;
};

TEST_F(FailedSave, IntoAFolderThatCannotChange) {
    StoreKnownSettings();
    {
        faults::TImmutable locked(ConfigFolder());
        if (!locked.Applied()) {
            GTEST_SKIP() << "cannot make the folder immutable: " << locked.Error();
        }
        ExpectSaveFailsAndKeepsTheFile();
    }
    ExpectSaveWorksAgain();
}

TEST_F(FailedSave, OverAFileThatCannotChange) {
    StoreKnownSettings();
    {
        faults::TImmutable locked(File());
        if (!locked.Applied()) {
            GTEST_SKIP() << "cannot make the file immutable: " << locked.Error();
        }
        ExpectSaveFailsAndKeepsTheFile();
    }
    ExpectSaveWorksAgain();
}

TEST_F(FailedSave, OnAFullDisk) {
    faults::TSmallDisk disk(ConfigFolder(), "64k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs: " << disk.Error();
    }
    StoreKnownSettings();
    ASSERT_TRUE(disk.Fill(ConfigFolder() / "filler"));
    ExpectSaveFailsAndKeepsTheFile();
    std::filesystem::remove(ConfigFolder() / "filler");
    ExpectSaveWorksAgain();
}

// A settings file cut off in the middle of a line (written by something
// else, or by a disk that failed): what it still holds is used, the rest
// keeps its defaults, and the next close writes a whole file again.
TEST_F(FileFaults, SettingsFileCutOffMidLineIsUsedAsFarAsItGoes) {
    ASSERT_TRUE(Save(SettingsFile(), KnownSettings()));
    const std::string whole = ReadFile(SettingsFile());
    // QSettings writes the names in sorted order: Magic3 comes before Port.
    const std::size_t line = whole.find("Magic3=");
    ASSERT_NE(line, std::string::npos) << whole;
    const std::string cut = whole.substr(0, line + 15);
    ASSERT_TRUE(WriteFile(SettingsFile(), cut));

    const TStoredSettings loaded = Load(SettingsFile());
    const TStoredSettings known = KnownSettings();
    EXPECT_EQ(loaded.DateTime, known.DateTime);
    EXPECT_EQ(loaded.LastDateTime, known.LastDateTime);
    EXPECT_EQ(loaded.Interval, known.Interval);
    EXPECT_EQ(loaded.LogRing, known.LogRing);
    EXPECT_EQ(loaded.Magic[10], known.Magic[10]);
    EXPECT_EQ(known.Magic[3].rfind(loaded.Magic[3], 0), 0u)
        << "the cut value is taken as far as it goes: " << loaded.Magic[3];
    EXPECT_EQ(loaded.Magic[4], "") << "what came after the cut keeps its default";
    EXPECT_EQ(loaded.Port, "");

    TProgram program(SettingsFile(), Folder.Path());
    program.Rig.Start();
    // Without its port the program waits for the user to choose one.
    EXPECT_EQ(program.Rig.View.Status, texts::kStatusNoPort);
    EXPECT_TRUE(program.Rig.View.Errors.empty());
    program.Rig.View.Port = "COM1";
    program.Rig.Handle([&] { program.Rig.Monitor->CheckButtonClick(); });
    ASSERT_TRUE(program.Rig.RunUntilResult());
    EXPECT_TRUE(program.Polling());
    program.Close();
    EXPECT_TRUE(program.Store.Saved());

    const std::string rewritten = ReadFile(SettingsFile());
    for (const char* name : {"Port=", "Interval=", "DateTime=", "LastDateTime=", "LogRing=",
                             "Magic0=", "Magic1=", "Magic2=", "Magic3=", "Magic4=", "Magic5=",
                             "Magic6=", "Magic7=", "Magic8=", "Magic9=", "Magic10=", "Dream="}) {
        EXPECT_NE(rewritten.find(std::string("\n") + name), std::string::npos)
            << name << " missing from\n"
            << rewritten;
    }
    EXPECT_EQ(Load(SettingsFile()).Magic, program.Rig.Monitor->PreviousSnapshot());
}

// ---------------------------------------------------------------------------
// The call log

// A call log that cannot be written is reported, naming the file; the call
// is still shown and stored, the program polls on, and once the fault is
// gone the next call is logged whole.
TEST_F(FileFaults, CallLogThatCannotBeWrittenIsReportedAndPollingGoesOn) {
    struct TCase {
        const char* Name;
        std::function<void(const std::filesystem::path& folder)> Break;
        std::function<void(const std::filesystem::path& folder)> Mend;
    };
    int lockFd = -1;
    const TCase cases[] = {
        {"a folder where the log should be",
         [](const std::filesystem::path& folder) {
             std::filesystem::rename(folder / "RingLog.txt", folder / "RingLog.kept");
             std::filesystem::create_directories(folder / "RingLog.txt");
         },
         [](const std::filesystem::path& folder) {
             std::filesystem::remove_all(folder / "RingLog.txt");
             std::filesystem::rename(folder / "RingLog.kept", folder / "RingLog.txt");
         }},
        {"locked by another writer",
         [&](const std::filesystem::path& folder) {
             lockFd = ::open((folder / "RingLog.txt").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
             ASSERT_GE(lockFd, 0);
             ASSERT_EQ(::flock(lockFd, LOCK_EX), 0);
         },
         [&](const std::filesystem::path&) {
             ::close(lockFd);
             lockFd = -1;
         }},
        {"the folder vanished",
         [](const std::filesystem::path& folder) { std::filesystem::remove_all(folder); },
         [](const std::filesystem::path& folder) { std::filesystem::create_directories(folder); }},
    };

    for (const TCase& testCase : cases) {
        SCOPED_TRACE(testCase.Name);
        const std::filesystem::path folder = Folder.Path() / "program";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        sim::TSimRig rig(folder);
        rig.AnswerWithListing();
        rig.View.Port = "COM1";
        rig.View.LogRing = true;
        rig.Adapter.Ring("0120000010");
        rig.Start();
        ASSERT_TRUE(rig.RunUntilResult());
        const std::string firstLine = ReadFile(folder / "RingLog.txt");
        ASSERT_EQ(firstLine, ",2026/03/01 09:00:00,0120000010\r\n");

        testCase.Break(folder);
        rig.Adapter.Ring("0120000011");
        ASSERT_TRUE(rig.RunUntilResult());
        ASSERT_EQ(rig.View.Notices.size(), 1u) << "the failure must be reported once";
        EXPECT_NE(rig.View.Notices[0].find(rig.Location.FolderText() + "RingLog.txt"),
                  std::string::npos)
            << rig.View.Notices[0];
        EXPECT_NE(rig.View.Notices[0].find(kCantWrite), std::string::npos);
        EXPECT_EQ(rig.View.Status, texts::kStatusNumberChanged);
        EXPECT_EQ(rig.View.Number, "0120000011") << "the call is shown all the same";
        EXPECT_EQ(rig.Monitor->PreviousSnapshot()[10], rig.Adapter.Line(10));
        EXPECT_TRUE(rig.Monitor->IsCheckPending() && rig.Timer1.Enabled() &&
                    rig.Timer1.Interval() == 300000)
            << "the program must poll on";

        testCase.Mend(folder);
        rig.Adapter.Ring("0120000012");
        ASSERT_TRUE(rig.RunUntilResult());
        EXPECT_EQ(rig.View.Notices.size(), 1u);
        const std::string log = ReadFile(folder / "RingLog.txt");
        const std::string expectedTail = ",0120000012\r\n";
        ASSERT_GE(log.size(), expectedTail.size());
        EXPECT_EQ(log.substr(log.size() - expectedTail.size()), expectedTail);
        EXPECT_LT(log.find(",0120000011\r\n"), log.size() - expectedTail.size())
            << "the waiting line goes in first";
        if (std::string(testCase.Name) != "the folder vanished") {
            EXPECT_EQ(log.substr(0, firstLine.size()), firstLine) << "earlier lines stay";
        }

        // What the program holds survives: the close stores the last caller.
        rig.Handle([&rig] { rig.Monitor->FormClose(); });
        const auto& stored = rig.Settings.Keys.at(SettingsKey);
        EXPECT_EQ(std::get<std::string>(stored.at("Magic10")), rig.Adapter.Line(10));
    }
}

// A full disk may let only part of a line in. The part is taken back, so
// that the next line still starts on a line of its own instead of two calls
// becoming one unreadable line.
TEST_F(FileFaults, CallLogOnAFullDiskKeepsEveryLineWhole) {
    const std::filesystem::path folder = Folder.Path() / "program";
    faults::TSmallDisk disk(folder, "16k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs: " << disk.Error();
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
    EXPECT_EQ(log.substr(4090, 33), ",2026/03/01 09:00:00,0120000020\r\n")
        << "a line was joined to a part";
}

} // namespace
} // namespace telvane
