// One service follows another through a real mosquitto on loopback: the
// publishing one polls the simulated adapter with MQTT on, the following one
// never opens its port, shows, tells and logs what the first publishes, and
// refuses what no Telvane would send.
#include "ServiceRig.h"

#include "../outputs/Broker.h"
#include "monitor/Settings.h"
#include "monitor/ShiftJisUtf8.h"
#include "outputs/Outputs.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

using testing::TBroker;
using testing::TServiceRig;

const std::string kFollowing = "\xE8\xBF\xBD\xE5\xBE\x93\xE4\xB8\xAD"; // 追従中
const std::string kNoAnswer =
    "\xE7\x9B\xB8\xE6\x89\x8B\xE6\xA4\x9C\xE5\x87\xBA\xE4\xB8\x8D\xE5\x8F\xAF"; // 相手検出不可

class Follow : public ::testing::Test {
protected:
    // A rig whose added settings are stored before it starts.
    static void Store(TServiceRig& rig, const TAddedSettings& settings) {
        ASSERT_TRUE(SaveAddedSettings(rig.Store, TAddedSettings{}, settings));
    }
    std::unique_ptr<TServiceRig> Follower() {
        auto rig = std::make_unique<TServiceRig>();
        TAddedSettings settings;
        settings.Follow = "mqtt://127.0.0.1:" + std::to_string(Broker.Port()) + "/home/phone";
        settings.HookCommand = "sh -c 'env | grep ^TELVANE_ | sort >> \"$0\"' " + Hooked.string();
        Store(*rig, settings);
        return rig;
    }
    // Publishes a payload as anyone with access to the broker could.
    void Send(const std::string& suffix, const std::string& payload) {
        testing::WriteFile(Folder.Path() / "payload", payload);
        e2e::TChild::TOptions options;
        options.Arguments = {
            "/usr/bin/mosquitto_pub", "-p", std::to_string(Broker.Port()),       "-q", "1", "-t",
            "home/phone" + suffix,    "-f", (Folder.Path() / "payload").string()};
        ASSERT_TRUE(e2e::EndedCleanly(e2e::TChild(options).Wait(e2e::kPatience)));
    }
    static std::vector<std::string> Refusals(TServiceRig& rig) {
        std::vector<std::string> refusals;
        for (std::string& line : rig.FrontEnd.TakeReports()) {
            if (line.rfind("Follow: refused", 0) == 0) {
                refusals.push_back(std::move(line));
            }
        }
        return refusals;
    }

    testing::TTempFolder Folder;
    TBroker Broker{Folder.Path() / "broker"};
    std::filesystem::path Hooked = Folder.Path() / "hooked";
};

TEST_F(Follow, ACallShowsNotifiesHooksAndLogsTheSameBytesAndJunkIsDropped) {
    TServiceRig publisher;
    TAddedSettings publishing;
    publishing.MqttUrl = Broker.Url();
    publishing.MqttTopic = "home/phone";
    Store(publisher, publishing);
    publisher.Start();
    ASSERT_TRUE(publisher.NextResult());
    // Its first answer is a call (no number yet), published before the
    // follower comes.
    ASSERT_TRUE(testing::TSubscriber(Broker.Port()).WaitFor("home/phone/last"));
    auto rig = Follower();
    rig->FrontEnd.Minimized = true;
    rig->Start();
    ASSERT_TRUE(rig->FrontEnd.Settle([&] { return rig->FrontEnd.Status == kFollowing; }))
        << rig->FrontEnd.Status;

    // A byte that is no Shift_JIS and a Ctrl-Z: the log gets the adapter's bytes.
    ASSERT_TRUE(publisher.Call("0312\x82\x1a"));
    ASSERT_TRUE(rig->FrontEnd.Settle([&] { return rig->FrontEnd.Calls.size() == 1; }));
    const TCallShown& call = rig->FrontEnd.Calls[0];
    const TCallShown& published = publisher.FrontEnd.Calls.back();
    EXPECT_EQ(call.Title, published.Title);
    EXPECT_EQ(call.Body, published.Body);
    EXPECT_EQ(call.Caller, "0312\x82\x1a");
    EXPECT_EQ(rig->FrontEnd.Number, publisher.FrontEnd.Number);
    EXPECT_EQ(rig->FrontEnd.Time, publisher.FrontEnd.Time);
    EXPECT_FALSE(rig->FrontEnd.Minimized);
    const std::string line = e2e::LogLines(publisher.Options.Places.CallLog()).back();
    EXPECT_EQ(testing::ReadFile(rig->Options.Places.CallLog()), line);
    EXPECT_EQ(line.substr(line.size() - 8), "0312\x82?\r\n");
    ASSERT_TRUE(rig->FrontEnd.Settle(
        [&] { return testing::ReadFile(Hooked).find("TELVANE_TIME=") != std::string::npos; }));
    EXPECT_NE(testing::ReadFile(Hooked).find("TELVANE_NUMBER=0312\xEF\x9E\x82\x1a\n"),
              std::string::npos);
    EXPECT_EQ(rig->Port.OpenCount(), 0);

    // A second delivery of the call, and what no Telvane sends: each kind
    // said once, nothing shown or logged.
    const std::string json = CallJson(call.Event);
    Send("/call", json);
    Send("/call", "not json");
    Send("/call", "\"" + std::string(1 << 20, 'x') + "\"");
    Send("/call", "{\"number\":\"\xff\"}");
    Send("/call", json.substr(0, json.find(",\"time\"")) + "}");
    Send("/call", "{}");
    Send("/adapter", "unreachable");
    ASSERT_TRUE(rig->FrontEnd.Settle([&] { return rig->FrontEnd.Status == kNoAnswer; }));
    EXPECT_EQ(Refusals(*rig).size(), 4u);
    EXPECT_EQ(rig->FrontEnd.Calls.size(), 1u);
    EXPECT_EQ(testing::ReadFile(rig->Options.Places.CallLog()), line);
    EXPECT_FALSE(rig->FrontEnd.AdapterUp);
    Send("/status", "offline");
    ASSERT_TRUE(rig->FrontEnd.Settle([&] {
        return rig->FrontEnd.Status == "\xE7\x9B\xB8\xE6\x89\x8B\xE5\x81\x9C\xE6\xAD\xA2";
    }));
    // The broker goes: the follower's own link.
    Broker.Stop();
    ASSERT_TRUE(rig->FrontEnd.Settle([&] {
        return rig->FrontEnd.Status ==
               "\xE6\x8E\xA5\xE7\xB6\x9A\xE4\xB8\x8D\xE5\x8F\xAF"; // 接続不可
    }));
    EXPECT_TRUE(rig->FrontEnd.Tray.find("\xE6\x8E\xA5\xE7\xB6\x9A\xE4\xB8\x8D\xE5\x8F\xAF") !=
                std::string::npos)
        << rig->FrontEnd.Tray;
}

TEST_F(Follow, NothingIsReplayedAndCloseSavesWhatWasLoaded) {
    TStoredSettings stored;
    stored.Port = "COM1";
    stored.Interval = " 5\x95\xAA"; // 5分
    stored.DateTime = "2026/03/01 09:00:00";
    stored.LastDateTime = "2026/03/01 09:30:00";
    stored.LogRing = true;
    stored.Magic[10] = "RECEIVE CALLING PARTY = 0312345678";
    TCallEvent event;
    event.Number = "0612345678";
    event.Time = "2026-12-07T09:57:00+09:00";
    auto publisher = MakeMqttPublisher(*ParseMqttUrl(Broker.Url()), "home/phone", "pc",
                                       [](const std::string&) {});
    publisher->Publish(event);
    ASSERT_TRUE(testing::TSubscriber(Broker.Port()).WaitFor("home/phone/last"));
    for (int run = 0; run < 2; ++run) {
        auto rig = Follower();
        ASSERT_TRUE(SaveSettings(rig->Store, stored));
        const auto before = rig->Store.Keys;
        rig->Start();
        // The call published before this window was there: on show, not told.
        ASSERT_TRUE(rig->FrontEnd.Settle([&] { return rig->FrontEnd.Number == "0612345678"; }));
        EXPECT_TRUE(rig->FrontEnd.Calls.empty());
        EXPECT_FALSE(std::filesystem::exists(rig->Options.Places.CallLog()));
        EXPECT_EQ(rig->FrontEnd.Glance, "\xE5\xA4\xA7\xE9\x98\xAA"); // 大阪
        // A live copy of a last call is no call, nor a caller to show.
        TCallEvent other = event;
        other.Number = "0311112222";
        Send("/last", CallJson(other));
        Send("/adapter", "unreachable");
        ASSERT_TRUE(rig->FrontEnd.Settle([&] { return rig->FrontEnd.Status == kNoAnswer; }));
        EXPECT_TRUE(rig->FrontEnd.Calls.empty());
        EXPECT_EQ(rig->FrontEnd.Number, "0612345678");
        EXPECT_TRUE(rig->FrontEnd.Following);
        EXPECT_TRUE(rig->Service->Close(false));
        EXPECT_EQ(rig->Store.Keys, before);
        EXPECT_EQ(rig->Port.OpenCount(), 0);
        EXPECT_FALSE(std::filesystem::exists(Hooked));
        if (run == 1) {
            // Following switched off: polling starts again at once.
            TAddedSettings settings = rig->Service->Settings();
            settings.Follow.clear();
            EXPECT_EQ(rig->Service->ChangeSettings(settings), "");
            EXPECT_FALSE(rig->FrontEnd.Following);
            ASSERT_TRUE(rig->NextResult());
            EXPECT_EQ(rig->Port.OpenCount(), 1);
        }
    }
}

} // namespace
} // namespace telvane
