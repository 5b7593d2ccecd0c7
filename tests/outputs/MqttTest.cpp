// MQTT against a real mosquitto broker on loopback.
#include "Broker.h"

#include "outputs/Outputs.h"

#include <gtest/gtest.h>

#include <ctime>

namespace telvane {
namespace {

using testing::TBroker;
using testing::TSubscriber;

class Mqtt : public ::testing::Test {
protected:
    TReport Report() {
        return [this](const std::string& line) {
            std::lock_guard lock(Mutex);
            Reports.push_back(line);
        };
    }
    std::unique_ptr<IMqttPublisher> Publisher(const std::string& url) {
        return MakeMqttPublisher(*ParseMqttUrl(url), "home/phone", "kitchen pc", Report());
    }
    static TCallEvent Call(const std::string& number) {
        TCallEvent event;
        event.Number = number;
        event.Display = number;
        event.Time = "2026-12-07T09:57:00+09:00";
        return event;
    }
    std::size_t CountReports(const std::string& part) {
        std::lock_guard lock(Mutex);
        return std::count_if(Reports.begin(), Reports.end(), [&](const std::string& line) {
            return line.find(part) != std::string::npos;
        });
    }
    std::string AllReports() {
        std::lock_guard lock(Mutex);
        std::string all;
        for (const auto& line : Reports) {
            all += line + "\n";
        }
        return all;
    }

    testing::TTempFolder Folder;
    std::mutex Mutex;
    std::vector<std::string> Reports;
};

TEST_F(Mqtt, CallStateAndDiscoveryAreRetainedForLaterSubscribers) {
    TBroker broker(Folder.Path(), "tel", "s3cret");
    auto publisher = Publisher(broker.Url("tel:s3cret@"));
    {
        TSubscriber live(broker.Port(), "tel", "s3cret");
        ASSERT_TRUE(live.WaitFor("home/phone/status"));
        publisher->Publish(Call("0312345678"));
        TCallEvent down;
        down.Kind = TEventKind::AdapterDown;
        publisher->Publish(down);
        ASSERT_TRUE(live.WaitFor("home/phone/call"));
        ASSERT_TRUE(live.WaitFor("home/phone/adapter", 2));
        EXPECT_FALSE(live.Last("home/phone/call")->Retained);
        EXPECT_EQ(live.Last("home/phone/call")->Payload, CallJson(Call("0312345678")));
    }
    // What someone connecting now sees: every state, none of it from before.
    TSubscriber later(broker.Port(), "tel", "s3cret");
    ASSERT_TRUE(later.WaitFor("homeassistant/binary_sensor/telvane_kitchen_pc/adapter/config"));
    ASSERT_TRUE(later.WaitFor("homeassistant/sensor/telvane_kitchen_pc/last_caller/config"));
    ASSERT_TRUE(later.WaitFor("home/phone/last"));
    EXPECT_EQ(later.Last("home/phone/last")->Payload, CallJson(Call("0312345678")));
    EXPECT_EQ(later.Last("home/phone/status")->Payload, "online");
    EXPECT_EQ(later.Last("home/phone/adapter")->Payload, "unreachable");
    EXPECT_TRUE(later.On("home/phone/call").empty());
    const std::string sensor =
        later.Last("homeassistant/sensor/telvane_kitchen_pc/last_caller/config")->Payload;
    EXPECT_NE(sensor.find(R"("state_topic":"home/phone/last")"), std::string::npos) << sensor;
    EXPECT_NE(sensor.find(R"("availability_topic":"home/phone/status")"), std::string::npos);
    const std::string adapter =
        later.Last("homeassistant/binary_sensor/telvane_kitchen_pc/adapter/config")->Payload;
    EXPECT_NE(adapter.find(R"("payload_off":"unreachable")"), std::string::npos) << adapter;
    EXPECT_EQ(AllReports(), "");

    // Leaving on purpose says offline; the will is for a death.
    publisher.reset();
    TSubscriber after(broker.Port(), "tel", "s3cret");
    ASSERT_TRUE(after.WaitFor("home/phone/status"));
    EXPECT_EQ(after.Last("home/phone/status")->Payload, "offline");
}

TEST_F(Mqtt, CallsBeforeTheBrokerIsThereArriveInOrderWhenItComes) {
    // Started while the broker is down (its outage while running is an
    // end-to-end case).
    TBroker broker(Folder.Path());
    broker.Stop();
    auto publisher = Publisher(broker.Url());
    publisher->Publish(Call("111"));
    publisher->Publish(Call("222"));
    EXPECT_EQ(publisher->Queued(), 2u);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    broker.Start();
    TSubscriber back(broker.Port());
    ASSERT_TRUE(back.WaitFor("home/phone/call", 2));
    EXPECT_EQ(back.On("home/phone/call"),
              (std::vector<std::string>{CallJson(Call("111")), CallJson(Call("222"))}));
    ASSERT_TRUE(back.WaitFor("home/phone/last"));
    EXPECT_EQ(back.Last("home/phone/last")->Payload, CallJson(Call("222")));
    EXPECT_EQ(publisher->Queued(), 0u);
    EXPECT_NE(AllReports().find("cannot reach mqtt://127.0.0.1"), std::string::npos)
        << AllReports();
}

TEST_F(Mqtt, AWrongPasswordIsReportedOnceWithoutThePassword) {
    TBroker broker(Folder.Path(), "tel", "s3cret");
    auto publisher = Publisher(broker.Url("tel:wr0ng-pw@"));
    for (int i = 0; i < 400 && AllReports().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    publisher->Publish(Call("1"));
    EXPECT_EQ(publisher->Queued(), 1u);
    const std::string reports = AllReports();
    EXPECT_NE(reports.find("mqtt://tel@127.0.0.1:" + std::to_string(broker.Port()) +
                           " refused the connection"),
              std::string::npos)
        << reports;
    EXPECT_EQ(reports.find("wr0ng-pw"), std::string::npos) << reports;
}

// A broker that is not there costs nothing between attempts, with TLS as
// without.
TEST_F(Mqtt, NothingListeningCostsNoProcessorTime) {
    const std::string address = "127.0.0.1:" + std::to_string(testing::FreePort());
    auto tls = Publisher("mqtts://" + address);
    auto plain = Publisher("mqtt://" + address);
    const std::clock_t before = std::clock(); // of all threads
    std::this_thread::sleep_for(std::chrono::seconds(3));
    // A spinning thread uses all of the 3 s; a few attempts far less, even
    // under a sanitizer.
    EXPECT_LT(static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC, 1.5);
    EXPECT_EQ(
        CountReports("cannot reach mqtts://" + address + " (Connection refused); trying again"), 1u)
        << AllReports();
}

// mqtts:// to a listener without TLS, or with a certificate not trusted:
// the reason in words, once, and attempts go on. A trusted one works.
TEST_F(Mqtt, TlsFailuresAreToldOnceAndTriedAgain) {
    if (!std::filesystem::exists("/usr/bin/openssl")) {
        GTEST_SKIP() << "no openssl program to make a certificate";
    }
    TBroker trusted(Folder.Path() / "trusted", {}, {}, true);
    TBroker untrusted(Folder.Path() / "untrusted", {}, {}, true);
    ::setenv("SSL_CERT_FILE", (Folder.Path() / "trusted" / "cert.pem").c_str(), 1);
    const auto url = [](int port) { return "mqtts://127.0.0.1:" + std::to_string(port); };
    auto toPlain = Publisher(url(trusted.Port())); // its listener without TLS
    auto toUntrusted = Publisher(url(untrusted.TlsPort()));
    auto toTrusted = Publisher(url(trusted.TlsPort()));
    TSubscriber live(trusted.Port());
    EXPECT_TRUE(live.WaitFor("home/phone/status"));
    // The third attempt comes after two waits.
    EXPECT_TRUE(trusted.WaitForRefusals(3));
    EXPECT_TRUE(untrusted.WaitForRefusals(3));
    const std::string line = "MQTT: " + url(untrusted.TlsPort()) +
                             ": TLS handshake failed (certificate verify failed); trying again";
    EXPECT_EQ(CountReports(line), 1u) << AllReports();
    EXPECT_EQ(toUntrusted->Problem(), line);
    EXPECT_EQ(CountReports(url(trusted.Port()) + ": TLS handshake failed ("), 1u) << AllReports();
    EXPECT_EQ(CountReports(url(trusted.TlsPort())), 0u) << AllReports();
    EXPECT_EQ(toTrusted->Problem(), "");
}

// A topic MQTT cannot publish to sends nothing at all, not even to the
// part before a NUL; the longest topic that fits works.
TEST_F(Mqtt, AnUnusableTopicPublishesNothing) {
    TBroker broker(Folder.Path());
    TSubscriber all(broker.Port());
    const std::string longest(65535 - 8, 'a'); // with "/adapter", as long as MQTT allows
    std::vector<std::unique_ptr<TOutputs>> unusable;
    for (const std::string& topic :
         {std::string("a/+/b"), std::string("a/#"), std::string("a/\x01"), std::string("a\0b", 3),
          std::string(70000, 'a'), longest + "a"}) {
        unusable.push_back(std::make_unique<TOutputs>(
            TOutputSettings{"", "", broker.Url(), topic, "unusable"}, Report()));
        unusable.back()->Post(Call("1"));
        EXPECT_EQ(unusable.back()->Problems().size(), 1u) << topic.substr(0, 20);
    }
    EXPECT_EQ(CountReports("topic"), unusable.size()) << AllReports();
    TOutputs usable(TOutputSettings{"", "", broker.Url(), longest, "usable"}, Report());
    usable.Post(Call("1"));
    ASSERT_TRUE(all.WaitFor(longest + "/call"));
    EXPECT_TRUE(usable.Problems().empty());
    for (const std::string& topic : all.Topics()) {
        EXPECT_TRUE(topic.rfind(longest + "/", 0) == 0 ||
                    topic.find("/telvane_usable/") != std::string::npos)
            << topic.substr(0, 40);
    }
}

} // namespace
} // namespace telvane
