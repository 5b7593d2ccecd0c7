// The real program ended by signals: a SIGTERM must let it save its settings
// and end, whatever it is doing, and no way of ending it (not even SIGKILL in
// the middle of a save) may leave a settings file that is not whole.
//
// Each test copies the program into a folder of its own (its call log lands
// beside it), gives it a private XDG_CONFIG_HOME, and plays the adapter on a
// pseudo-terminal linked as COM1.
#include "FaultHelpers.h"
#include "PtyDevice.h"

#include "monitor/Settings.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimAdapter.h"
#include "ui/qtcore/QtSettingsStore.h"

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace telvane {
namespace {

using faults::kPatience;
using faults::TPtyDevice;
using namespace std::chrono_literals;

// A program started with posix_spawn; killed if the test leaves it running.
class TProcess {
public:
    TProcess(const std::filesystem::path& program, const std::vector<std::string>& environment,
             const std::filesystem::path& output) {
        std::vector<std::string> variables(environment);
        for (char** variable = environ; *variable != nullptr; ++variable) {
            variables.emplace_back(*variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : variables) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        std::string path = program.string();
        char* argv[] = {path.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addchdir_np(&actions, program.parent_path().c_str());
        if (posix_spawn(&Pid_, path.c_str(), &actions, nullptr, argv, envp.data()) != 0) {
            Pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TProcess() {
        if (Pid_ > 0 && !Status_) {
            ::kill(Pid_, SIGKILL);
            ::waitpid(Pid_, nullptr, 0);
        }
    }
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    bool Started() const { return Pid_ > 0; }
    void Signal(int number) const { ::kill(Pid_, number); }

    // The wait status once the program has ended, nothing if it still runs.
    std::optional<int> Wait(std::chrono::milliseconds patience) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!Status_) {
            int status = 0;
            if (::waitpid(Pid_, &status, WNOHANG) == Pid_) {
                Status_ = status;
            } else if (std::chrono::steady_clock::now() >= deadline) {
                break;
            } else {
                std::this_thread::sleep_for(10ms);
            }
        }
        return Status_;
    }

    // Whether the program has its handler for SIGTERM in place.
    bool CatchesTerm() const {
        std::ifstream status("/proc/" + std::to_string(Pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("SigCgt:", 0) == 0) {
                const auto caught = std::stoull(line.substr(7), nullptr, 16);
                return (caught & (1ULL << (SIGTERM - 1))) != 0;
            }
        }
        return false;
    }

private:
    pid_t Pid_ = -1;
    std::optional<int> Status_;
};

std::string Describe(const std::optional<int>& status) {
    if (!status) {
        return "still running";
    }
    if (WIFEXITED(*status)) {
        return "exit " + std::to_string(WEXITSTATUS(*status));
    }
    if (WIFSIGNALED(*status)) {
        return std::string("killed by ") + ::strsignal(WTERMSIG(*status));
    }
    return "status " + std::to_string(*status);
}

bool IsTimeText(const std::string& text) {
    if (text.size() != 19) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool ok = i == 4 || i == 7     ? c == '/'
                        : i == 10            ? c == ' '
                        : i == 13 || i == 16 ? c == ':'
                                             : c >= '0' && c <= '9';
        if (!ok) {
            return false;
        }
    }
    return true;
}

class Signals : public ::testing::Test {
protected:
    void SetUp() override {
        ConfigHome = Folder.Path() / "config";
        ProgramFolder = Folder.Path() / "program";
        std::filesystem::create_directories(ConfigHome / "Maruvo" / "Telvane" / "ports");
        std::filesystem::create_directories(ProgramFolder);
        Program = ProgramFolder / "telvane";
        std::filesystem::copy_file(TELVANE_EXE, Program);
        Device = std::make_unique<TPtyDevice>();
        std::filesystem::create_symlink(Device->SlavePath(), Ports() / "COM1");

        Known.Port = "COM1";
        Known.Interval = std::string("15") + texts::kUnitSeconds;
        Known.DateTime = "2026/02/27 18:30:05";
        Known.LastDateTime = "2026/02/28 23:59:45";
        Known.LogRing = true;
        sim::TSimAdapter adapter;
        adapter.Ring("0120000001");
        Known.Magic[0] = "AtermIT SIMULATED ADAPTER";
        for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
            Known.Magic[slot] = adapter.Line(slot);
        }
    }

    std::filesystem::path Ports() const { return ConfigHome / "Maruvo" / "Telvane" / "ports"; }
    std::filesystem::path SettingsFile() const { return ConfigHome / "Maruvo" / "Telvane.conf"; }

    void Store(const TStoredSettings& settings) {
        TQtSettingsStore store(QString::fromStdString(SettingsFile().string()));
        ASSERT_TRUE(SaveSettings(store, settings));
        ASSERT_EQ(store.LastStatus(), QSettings::NoError);
    }

    // What the settings file holds now. Read from a copy of its own name:
    // QSettings answers from a cache for a file it has seen before.
    std::optional<TStoredSettings> Stored() {
        const std::filesystem::path copy =
            Folder.Path() / ("read-" + std::to_string(++Reads) + ".conf");
        std::error_code error;
        std::filesystem::copy_file(SettingsFile(), copy, error);
        if (error) {
            return std::nullopt;
        }
        const std::string text = faults::ReadFile(copy);
        for (const char* name : {"Port", "Interval", "DateTime", "LastDateTime", "LogRing",
                                 "Magic0", "Magic1", "Magic2", "Magic3", "Magic4", "Magic5",
                                 "Magic6", "Magic7", "Magic8", "Magic9", "Magic10", "Dream"}) {
            if (text.find("\n" + std::string(name) + "=") == std::string::npos) {
                ADD_FAILURE() << name << " is missing from\n" << text;
                return std::nullopt;
            }
        }
        TStoredSettings settings;
        TQtSettingsStore store(QString::fromStdString(copy.string()));
        LoadSettings(store, settings);
        return settings;
    }

    std::unique_ptr<TProcess> Start() {
        auto process = std::make_unique<TProcess>(
            Program,
            std::vector<std::string>{"XDG_CONFIG_HOME=" + ConfigHome.string(),
                                     "QT_QPA_PLATFORM=offscreen"},
            ProgramFolder / "output.txt");
        EXPECT_TRUE(process->Started());
        return process;
    }

    // Waits until the program would take a SIGTERM as a request to close.
    bool WaitUntilReady(const TProcess& process) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!process.CatchesTerm()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    std::string Output() const { return faults::ReadFile(ProgramFolder / "output.txt"); }

    // The settings as stored by a close after an answered query that found
    // the caller: the snapshot of that reply, and fresh time stamps.
    void ExpectSavedAfterCall(const TStoredSettings& stored, const std::string& caller) {
        sim::TSimAdapter adapter;
        adapter.Ring(caller);
        EXPECT_EQ(stored.Magic[kCallingPartySlot], adapter.Line(kCallingPartySlot));
        EXPECT_TRUE(IsTimeText(stored.DateTime)) << stored.DateTime;
        EXPECT_TRUE(IsTimeText(stored.LastDateTime)) << stored.LastDateTime;
    }
    void ExpectKeptSettings(const TStoredSettings& stored) {
        EXPECT_EQ(stored.Port, Known.Port);
        EXPECT_EQ(stored.Interval, Known.Interval);
        EXPECT_EQ(stored.LogRing, Known.LogRing);
    }

    faults::TTempFolder Folder;
    std::filesystem::path ConfigHome;
    std::filesystem::path ProgramFolder;
    std::filesystem::path Program;
    std::unique_ptr<TPtyDevice> Device;
    TStoredSettings Known;
    int Reads = 0;
};

// The query is under way (the command came, no answer yet): the program
// saves the snapshot of the last evaluated query, not the one in progress,
// and ends of its own accord.
TEST_F(Signals, TermDuringAQuerySavesTheLastEvaluatedSnapshot) {
    Store(Known);
    auto telvane = Start();
    ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand) << Output();
    ASSERT_TRUE(WaitUntilReady(*telvane));
    telvane->Signal(SIGTERM);
    const auto status = telvane->Wait(kPatience);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << Describe(status) << "\n"
        << Output();

    const auto stored = Stored();
    ASSERT_TRUE(stored);
    ExpectKeptSettings(*stored);
    EXPECT_EQ(stored->Magic, Known.Magic);
    EXPECT_EQ(stored->DateTime, Known.DateTime);
    EXPECT_EQ(stored->LastDateTime, Known.LastDateTime);
    EXPECT_FALSE(std::filesystem::exists(ProgramFolder / "RingLog.txt"));
}

// A caller was found; the close that a SIGTERM starts saves it, and a second
// SIGTERM right behind the first changes nothing of that.
TEST_F(Signals, TermTwiceAfterACallSavesTheCall) {
    Store(Known);
    auto telvane = Start();
    sim::TSimAdapter adapter;
    adapter.Ring("0120000002");
    ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand) << Output();
    Device->Write(adapter.Listing());
    ASSERT_TRUE(faults::WaitForFileSize(ProgramFolder / "RingLog.txt", 50, kPatience))
        << "the call was not logged\n"
        << Output();
    ASSERT_TRUE(WaitUntilReady(*telvane));
    telvane->Signal(SIGTERM);
    telvane->Signal(SIGTERM);
    const auto status = telvane->Wait(kPatience);
    ASSERT_TRUE(status) << "the program did not end\n" << Output();

    const auto stored = Stored();
    ASSERT_TRUE(stored);
    ExpectKeptSettings(*stored);
    ExpectSavedAfterCall(*stored, "0120000002");
    const std::string log = faults::ReadFile(ProgramFolder / "RingLog.txt");
    EXPECT_EQ(log.substr(0, 20), Known.LastDateTime + ",") << log;
    EXPECT_EQ(log.substr(39), ",0120000002\r\n") << log;
}

// Whatever moment of the save a SIGKILL hits, the settings file is the old
// one or the new one, whole: the new file is written aside and renamed over
// the old. The program that starts next reads it and saves again.
TEST_F(Signals, KillDuringASaveLeavesTheOldFileOrTheNewOne) {
    std::mt19937 random(20260301);
    int old = 0;
    int renewed = 0;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Store(Known);
        Device->Discard();
        const std::uintmax_t logged = faults::FileSize(ProgramFolder / "RingLog.txt");
        auto telvane = Start();
        sim::TSimAdapter adapter;
        const std::string caller = "01200001" + std::to_string(10 + round);
        adapter.Ring(caller);
        ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand) << Output();
        Device->Write(adapter.Listing());
        ASSERT_TRUE(WaitUntilReady(*telvane));
        // Let the reply be evaluated, so that the save has something new.
        ASSERT_TRUE(faults::WaitForFileSize(ProgramFolder / "RingLog.txt", logged + 50, kPatience))
            << Output();
        telvane->Signal(SIGTERM);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 8000));
        telvane->Signal(SIGKILL);
        ASSERT_TRUE(telvane->Wait(kPatience));

        const auto stored = Stored();
        ASSERT_TRUE(stored) << "the settings file is not whole";
        ExpectKeptSettings(*stored);
        if (stored->Magic == Known.Magic) {
            ++old;
            EXPECT_EQ(stored->DateTime, Known.DateTime);
        } else {
            ++renewed;
            ExpectSavedAfterCall(*stored, caller);
        }
        for (const auto& entry :
             std::filesystem::directory_iterator(SettingsFile().parent_path())) {
            const std::string name = entry.path().filename().string();
            // A killed save may leave its lock or its unfinished copy; never
            // a file in the settings file's place that is not whole. The
            // guard against a second start stays beside it.
            EXPECT_TRUE(name == "Telvane.conf" || name == "Telvane" || name == "Telvane.instance" ||
                        name.rfind("Telvane.conf.", 0) == 0)
                << name;
        }
    }
    std::printf("killed during or around the save: %d times the old file, %d times the new\n", old,
                renewed);

    // After all that, a normal start and close still work.
    Device->Discard();
    auto telvane = Start();
    ASSERT_EQ(Device->Read(kQueryCommand.size()), kQueryCommand) << Output();
    ASSERT_TRUE(WaitUntilReady(*telvane));
    telvane->Signal(SIGTERM);
    const auto status = telvane->Wait(kPatience);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << Describe(status);
    const auto stored = Stored();
    ASSERT_TRUE(stored);
    ExpectKeptSettings(*stored);
}

// The start-up query fails at once (the stored port has no digit), so the
// error report is open, modal, before the main event loop runs. A SIGTERM
// must still end the program, after saving: the request reaches the error
// box's loop, and the main loop that would start after it must not run on.
// The signal is taken by the first event loop that runs, whenever it comes.
TEST_F(Signals, TermWhileTheStartUpErrorIsShownEndsTheProgram) {
    TStoredSettings settings = Known;
    settings.Port = "COM";
    Store(settings);
    auto telvane = Start();
    ASSERT_TRUE(WaitUntilReady(*telvane));
    telvane->Signal(SIGTERM);
    const auto status = telvane->Wait(kPatience);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << Describe(status) << "\n"
        << Output();
    const auto stored = Stored();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Port, "COM");
}

} // namespace
} // namespace telvane
