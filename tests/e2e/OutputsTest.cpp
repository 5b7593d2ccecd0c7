// A new caller told to the user and to other machines, on the real program:
// a notification in a real dunst on a private bus under Xvfb, the hook
// command, and MQTT at a real broker. Outages of both leave polling alone.
#include "Desktop.h"
#include "EndToEnd.h"

#include "../outputs/Broker.h"
#include "outputs/CallEvent.h"

#include <sys/stat.h>

namespace e2e {
namespace {

using telvane::testing::TBroker;
using telvane::testing::TSubscriber;

class Outputs : public EndToEnd {
protected:
    TSettings WithOutputs(const std::string& mqttUrl) {
        return Polling({{"MqttUrl", mqttUrl},
                        {"MqttTopic", "e2e/tel"},
                        {"HookCommand", "sh -c 'env | grep ^TELVANE_ | sort >> \"$0\"' " +
                                            (Root.Path() / "hook.out").string()}});
    }
    std::string HookRuns() { return ReadFile(Root.Path() / "hook.out"); }

    TDesktop Desktop{Root.Path()};
};

TEST_F(Outputs, NewCallerReachesDunstTheHookAndTheBroker) {
    ASSERT_TRUE(Desktop.StartDunst(Root.Path()));
    TBroker broker(Root.Path());
    TSubscriber subscriber(broker.Port());
    WriteSettings(SettingsFile(), WithOutputs(broker.Url()));
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string line;
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0312345678"));
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    const std::string detected = Fields(line).at(1);

    ASSERT_TRUE(subscriber.WaitFor("e2e/tel/call", 2));
    const std::string call = subscriber.Last("e2e/tel/call")->Payload;
    EXPECT_NE(call.find(R"("number":"0312345678")"), std::string::npos) << call;
    EXPECT_NE(call.find(R"("time":")" + telvane::IsoTime(detected) + "\""), std::string::npos)
        << call;
    // The retained copy is published right after the call message.
    EXPECT_TRUE(Eventually([&] {
        const auto last = subscriber.Last("e2e/tel/last");
        return last && last->Payload == call;
    })) << call;
    EXPECT_EQ(subscriber.Last("e2e/tel/status")->Payload, "online");
    EXPECT_EQ(subscriber.Last("e2e/tel/adapter")->Payload, "ok");
    const auto topics = subscriber.Topics();
    for (const char* config : {"/last_caller/config", "/adapter/config"}) {
        EXPECT_EQ(std::count_if(topics.begin(), topics.end(),
                                [&](const std::string& topic) {
                                    return topic.rfind("homeassistant/", 0) == 0 &&
                                           topic.find(config) != std::string::npos;
                                }),
                  1)
            << config;
    }

    ASSERT_TRUE(Eventually([&] { return Count(HookRuns(), "TELVANE_EVENT=call") == 2; }))
        << HookRuns();
    EXPECT_NE(HookRuns().find("TELVANE_NUMBER=0312345678\n"), std::string::npos) << HookRuns();
    EXPECT_NE(HookRuns().find("TELVANE_TIME=" + telvane::IsoTime(detected) + "\n"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(ConfigHome() / "Maruvo" / "Telvane" / "hook.log"));

    // Two calls, one notification: the second replaced the first.
    const std::string history = Desktop.History();
    EXPECT_EQ(Count(history, R"("data" : "Telvane")"), 1u) << history;
    // Who called, as the callers feature describes it: the area as the
    // summary, the formatted number and the time below.
    EXPECT_NE(history.find("03-1234-5678\\n" + detected), std::string::npos) << history;
    EXPECT_NE(history.find("\xE6\x9D\xB1\xE4\xBA\xAC"), std::string::npos) << history; // 東京

    // Killed, Telvane leaves its last will.
    Program->Process().Signal(SIGKILL);
    ASSERT_TRUE(
        Eventually([&] { return subscriber.Last("e2e/tel/status")->Payload == "offline"; }));
    EXPECT_EQ(Program->Stderr(), "");
}

TEST_F(Outputs, OutagesLeavePollingAloneAndLoseNoCall) {
    // No notification server at all, and the broker goes away for 10 s.
    TBroker broker(Root.Path());
    WriteSettings(SettingsFile(), WithOutputs(broker.Url()));
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string line;
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    {
        TSubscriber before(broker.Port());
        ASSERT_TRUE(before.WaitFor("e2e/tel/status"));
    }
    broker.Stop();
    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0311111111"));
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0322222222"));
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    std::this_thread::sleep_for(10s);
    ASSERT_NO_FATAL_FAILURE(ExpectQuietPolls(2));
    broker.Start();
    TSubscriber after(broker.Port());
    ASSERT_TRUE(after.WaitFor("e2e/tel/call", 2));
    const auto calls = after.On("e2e/tel/call");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find("0311111111"), std::string::npos) << calls[0];
    EXPECT_NE(calls[1].find("0322222222"), std::string::npos) << calls[1];
    EXPECT_EQ(Count(HookRuns(), "TELVANE_EVENT=call"), 3u) << HookRuns();
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    const std::string errors = Program->Stderr();
    EXPECT_EQ(Count(errors, "desktop notification not shown"), 1u) << errors;
    EXPECT_EQ(Count(errors, "lost mqtt://127.0.0.1"), 1u) << errors;
}

TEST_F(Outputs, AWrongPasswordIsToldWithoutItAndTheFileKeptPrivate) {
    TBroker broker(Root.Path(), "tel", "s3cret");
    WriteSettings(SettingsFile(), WithOutputs(broker.Url("tel:wr0ng@")));
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string line;
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    ASSERT_NO_FATAL_FAILURE(WaitForPolls(3));
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    EXPECT_EQ(saved["MqttUrl"], broker.Url("tel:wr0ng@"));
    struct stat info {};
    ASSERT_EQ(::stat(SettingsFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string errors = Program->Stderr();
    EXPECT_NE(errors.find("mqtt://tel@127.0.0.1:" + std::to_string(broker.Port()) +
                          " refused the connection (Connection Refused: not authorised.)"),
              std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("wr0ng"), std::string::npos) << errors;
}

} // namespace
} // namespace e2e
