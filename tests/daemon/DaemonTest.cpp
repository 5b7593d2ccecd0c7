// telvaned, the real program, against ta-sim on a pseudo-terminal that it
// is told with --device, so that no test ever reaches a COMn's default
// device. The tests watch what an administrator sees: the call log, the
// broker, the files it keeps, and its lines on stderr.
#include "../e2e/Harness.h"
#include "../outputs/Broker.h"
#include "outputs/CallEvent.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <sys/wait.h>

namespace e2e {
namespace {

namespace fs = std::filesystem;
using telvane::testing::TBroker;
using telvane::testing::TSubscriber;
using telvane::testing::WriteFile;

template <typename Done> bool Eventually(Done&& done) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(25ms);
    }
    return done();
}

class Daemon : public ::testing::Test {
protected:
    void SetUp() override { Adapter = NewAdapter(); }
    void TearDown() override {
        if (HasFailure()) {
            std::cerr << "--- telvaned's stderr:\n" << Errors();
        }
        Program.reset();
        Adapter.reset();
    }

    std::unique_ptr<TTaSim> NewAdapter(std::vector<std::string> options = {}) {
        options.insert(options.end(),
                       {"--ports-folder", Device().parent_path().string(), "--byte-delay", "0.2"});
        return std::make_unique<TTaSim>(Root.Path() / "config", Root.Path(), options);
    }
    fs::path Device() const { return Root.Path() / "ports" / "COM1"; }
    fs::path UserConfig() const { return Root.Path() / "config" / "Maruvo" / "Telvane.conf"; }
    fs::path Config() const { return Root.Path() / "etc" / "telvaned.conf"; }
    fs::path State() const { return Root.Path() / "state"; }
    fs::path Log() const { return State() / "RingLog.txt"; }
    std::string Errors() const { return ReadFile(Root.Path() / "telvaned.err"); }

    std::unique_ptr<TChild> Run(const std::vector<std::string>& arguments, bool output = false) {
        TChild::TOptions options;
        options.Arguments = {TELVANED_EXE};
        options.Arguments.insert(options.Arguments.end(), arguments.begin(), arguments.end());
        options.Environment = {{"XDG_CONFIG_HOME", (Root.Path() / "config").string()},
                               {"XDG_RUNTIME_DIR", Root.Path().string()},
                               {"LANG", "ja_JP.UTF-8"}};
        options.StderrFile = Root.Path() / "telvaned.err";
        options.PipeStdout = output;
        return std::make_unique<TChild>(options);
    }
    void Start(const std::vector<std::string>& arguments) {
        const std::size_t starts = Count(Errors(), ": watching ");
        Program = Run(arguments);
        ASSERT_TRUE(Eventually([&] { return Count(Errors(), ": watching ") > starts; }))
            << "telvaned did not come up";
    }
    bool Says(const std::string& line) {
        return Eventually([&] { return Errors().find(line) != std::string::npos; });
    }
    void Stop() {
        Program->Signal(SIGTERM);
        const auto status = Program->Wait(kPatience);
        ASSERT_TRUE(EndedCleanly(status)) << DescribeStatus(status);
    }
    void RingBetweenPolls(const std::string& caller) {
        ASSERT_TRUE(Adapter->WaitForSent(Adapter->Sent() + 1)) << "no reply";
        Adapter->Send("caller " + caller);
    }

    TTempFolder Root;
    std::unique_ptr<TTaSim> Adapter;
    std::unique_ptr<TChild> Program;
};

// As the system service runs it: a settings file it only reads, and what it
// saves, and its call log, in the state folder.
TEST_F(Daemon, ServiceLogsAndPublishesCallsAndKeepsTheListingInItsState) {
    TBroker broker(Root.Path() / "broker");
    TSubscriber subscriber(broker.Port());
    // No Port at all: the device comes from the command line.
    WriteSettings(Config(), {{"Interval", " 1秒"},
                             {"LogRing", "1"},
                             {"MqttUrl", broker.Url()},
                             {"MqttTopic", "d/tel"}});
    const std::string admin = ReadFile(Config());
    const std::vector<std::string> service = {
        "--config",    Config().string(), "--device",  Device().string(),
        "--state-dir", State().string(),  "--log-dir", State().string()};
    ASSERT_NO_FATAL_FAILURE(Start(service));
    ASSERT_TRUE(WaitForLogLines(Log(), 1));
    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0312345678"));
    ASSERT_TRUE(WaitForLogLines(Log(), 2));

    // The desktop program's bytes: no poll before the first answered query,
    // "BUFFER EMPTY" as 番号情報なし in Shift_JIS, CR LF.
    const auto lines = LogLines(Log());
    const auto start = Fields(lines[0]);
    const auto call = Fields(lines[1]);
    ASSERT_EQ(call.size(), 3u) << lines[1];
    EXPECT_EQ(lines[0], "," + start.at(1) + "," + sjis::kNoNumber + "\r\n");
    EXPECT_TRUE(IsTimeText(call[0]) && IsTimeText(call[1])) << lines[1];
    EXPECT_EQ(lines[1], call[0] + "," + call[1] + ",0312345678\r\n");
    EXPECT_TRUE(Says("telvaned: call 03-1234-5678, 東京 at " + call[1] + "\n"));

    ASSERT_TRUE(subscriber.WaitFor("d/tel/call", 2));
    const std::string json = subscriber.Last("d/tel/call")->Payload;
    EXPECT_NE(json.find(R"("number":"0312345678")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("time":")" + telvane::IsoTime(call[1]) + "\""), std::string::npos);
    EXPECT_EQ(subscriber.Last("d/tel/adapter")->Payload, "ok");
    EXPECT_EQ(subscriber.Last("d/tel/status")->Payload, "online");

    ASSERT_NO_FATAL_FAILURE(Stop());
    EXPECT_TRUE(Eventually([&] { return subscriber.Last("d/tel/status")->Payload == "offline"; }));
    EXPECT_EQ(ReadFile(Config()), admin) << "the settings file was written";
    auto state = ReadSettings(State() / "telvaned.state").value_or(TSettings{});
    EXPECT_EQ(state["DateTime"], call[1]);
    EXPECT_EQ(state["Magic10"].substr(state["Magic10"].find('=')), "= 0312345678");
    EXPECT_EQ(state.count("Interval"), 0u);

    // Started again, the caller saved is no new call.
    ASSERT_NO_FATAL_FAILURE(Start(service));
    ASSERT_TRUE(Adapter->WaitForCommands(Adapter->Commands() + 3));
    ASSERT_NO_FATAL_FAILURE(Stop());
    EXPECT_EQ(LogLines(Log()).size(), 2u);
    EXPECT_EQ(Count(Errors(), "telvaned: call "), 2u) << Errors();
}

// In the user's own settings, shared with the desktop program: SIGHUP takes
// the changed hook, interval and contacts, and keeps the listing it holds.
TEST_F(Daemon, SighupTakesNewSettingsAndContactsAndKeepsTheListing) {
    const fs::path hookOut = Root.Path() / "hook.out";
    const auto settings = [&](const std::string& word, const std::string& interval) {
        return TSettings{{"Interval", interval},
                         {"LogRing", "1"},
                         {"Phonebook", (Root.Path() / "contacts.csv").string()},
                         {"HookCommand", "sh -c 'echo " + word + " $TELVANE_NUMBER >> \"$0\"' " +
                                             hookOut.string()}};
    };
    WriteSettings(UserConfig(), settings("first", " 1秒"));
    ASSERT_NO_FATAL_FAILURE(Start({"--device", Device().string(), "--log-dir", State().string()}));
    ASSERT_TRUE(WaitForLogLines(Log(), 1));
    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0311111111"));
    ASSERT_TRUE(WaitForLogLines(Log(), 2));

    // One monitor per settings file, also across the two programs.
    TTelvane desktop(Root.Path() / "config", Root.Path() / "desktop");
    desktop.Start();
    EXPECT_TRUE(EndedCleanly(desktop.Process().Wait(kPatience)));
    EXPECT_NE(desktop.Stderr().find("already running"), std::string::npos) << desktop.Stderr();

    ASSERT_TRUE(WriteFile(Root.Path() / "contacts.csv", "0322222222,山田 太郎\n"));
    WriteSettings(UserConfig(), settings("second", " 2秒"));
    Program->Signal(SIGHUP);
    ASSERT_TRUE(Says("telvaned: SIGHUP: settings and contacts read again; watching " +
                     Device().string() + " every  2秒"));
    // Polls after the reload find the same listing: no call.
    ASSERT_TRUE(Adapter->WaitForCommands(Adapter->Commands() + 2));
    EXPECT_EQ(LogLines(Log()).size(), 2u);
    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0322222222"));
    ASSERT_TRUE(WaitForLogLines(Log(), 3));
    EXPECT_TRUE(Says("telvaned: call 03-2222-2222, 山田 太郎 (東京) at "));
    EXPECT_TRUE(Eventually([&] {
        return ReadFile(hookOut) == "first 番号情報なし\nfirst 0311111111\nsecond 0322222222\n";
    })) << ReadFile(hookOut);

    ASSERT_NO_FATAL_FAILURE(Stop());
    auto saved = ReadSettings(UserConfig()).value_or(TSettings{});
    EXPECT_EQ(saved["Magic10"].substr(saved["Magic10"].find('=')), "= 0322222222");
    EXPECT_EQ(saved["Interval"], " 2秒");
    EXPECT_NE(saved["HookCommand"].find("second"), std::string::npos);
}

TEST_F(Daemon, AnUnpluggedAdapterIsOneLineDownOneUpAndPollingGoesOn) {
    TBroker broker(Root.Path() / "broker");
    TSubscriber subscriber(broker.Port());
    WriteSettings(UserConfig(), {{"Interval", " 1秒"},
                                 {"LogRing", "1"},
                                 {"MqttUrl", broker.Url()},
                                 {"MqttTopic", "d/tel"}});
    ASSERT_NO_FATAL_FAILURE(Start({"--device", Device().string(), "--log-dir", State().string()}));
    ASSERT_TRUE(WaitForLogLines(Log(), 1));

    Adapter.reset(); // the device is gone
    ASSERT_TRUE(Says("(link down)\n"));
    EXPECT_TRUE(
        Eventually([&] { return subscriber.Last("d/tel/adapter")->Payload == "unreachable"; }));
    const std::string down = Errors();
    // More queries fail meanwhile, with nothing more to say.
    std::this_thread::sleep_for(8s);
    EXPECT_EQ(Errors(), down);

    Adapter = NewAdapter({"--caller", "0398765432"});
    ASSERT_TRUE(Says("(link up)\n"));
    ASSERT_TRUE(WaitForLogLines(Log(), 2));
    EXPECT_EQ(Fields(LogLines(Log())[1]).at(2), "0398765432");
    EXPECT_TRUE(Eventually([&] { return subscriber.Last("d/tel/adapter")->Payload == "ok"; }));
    ASSERT_NO_FATAL_FAILURE(Stop());
    // The start, the first listing, down, up, the call, the end.
    EXPECT_EQ(Count(Errors(), "telvaned: "), 6u) << Errors();
}

TEST_F(Daemon, BadStartsEndWithStatusTwoAndAClearLine) {
    const fs::path etc = Config().parent_path();
    WriteSettings(etc / "noport.conf", {{"Interval", " 1秒"}});
    WriteSettings(etc / "com0.conf", {{"Port", "COM0"}});
    WriteSettings(etc / "interval.conf", {{"Interval", "soon"}});
    WriteSettings(Config(), {{"Interval", " 1秒"}});
    const std::string device = Device().string();
    const struct {
        std::vector<std::string> Arguments;
        std::string Says;
    } starts[] = {
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--config"}, "--config needs a value"},
        {{"--config", (etc / "gone.conf").string(), "--device", device},
         "gone.conf: No such file or directory"},
        {{"--config", etc.string(), "--device", device}, "etc: not a file"},
        {{"--config", (etc / "noport.conf").string()}, "noport.conf sets no Port"},
        {{"--config", (etc / "com0.conf").string()}, "Port \"COM0\" has none"},
        {{"--config", (etc / "interval.conf").string(), "--device", device},
         "Interval \"soon\" is no interval"},
    };
    for (const auto& start : starts) {
        fs::remove(Root.Path() / "telvaned.err");
        const auto status = Run(start.Arguments)->Wait(kPatience);
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 2)
            << start.Says << ": " << DescribeStatus(status);
        EXPECT_EQ(Errors().rfind("telvaned: ", 0), 0u) << Errors();
        EXPECT_NE(Errors().find(start.Says), std::string::npos) << Errors();
    }

    const std::vector<std::string> service = {"--config", Config().string(), "--device",
                                              device,     "--state-dir",     State().string()};
    ASSERT_NO_FATAL_FAILURE(Start(service));
    const auto second = Run(service)->Wait(kPatience);
    EXPECT_TRUE(second && WIFEXITED(*second) && WEXITSTATUS(*second) == 2);
    EXPECT_TRUE(
        Says("telvaned: Telvane is already running with the settings " + Config().string()));
    EXPECT_TRUE(Program->Running());
    ASSERT_NO_FATAL_FAILURE(Stop());

    auto help = Run({"--help"}, true);
    char text[64] = {};
    EXPECT_GT(::read(help->StdoutFd(), text, sizeof text - 1), 0);
    EXPECT_EQ(std::string(text).rfind("Usage: telvaned", 0), 0u) << text;
    EXPECT_TRUE(EndedCleanly(help->Wait(kPatience)));
}

} // namespace
} // namespace e2e
