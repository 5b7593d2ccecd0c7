// What the monitor tells its call sink: one event per new caller, after the
// log line, and the adapter's reachability only when it changes.
#include "monitor/AddedSettings.h"
#include "monitor/sim/SimRig.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

using sim::TSimReply;

TEST(CallSink, NewCallersAndAdapterHealthArriveOnceEach) {
    testing::TTempFolder folder;
    sim::TSimRig rig(folder.Path());
    rig.AnswerWithListing();
    rig.View.Port = "COM1";
    rig.View.Interval = std::string("15") + "\x95\x62"; // 15秒
    rig.View.LogRing = true;
    rig.Adapter.Ring("0312345678");
    rig.Start();
    ASSERT_TRUE(rig.RunUntilResult());
    ASSERT_EQ(rig.CallSink.Events.size(), 1u);
    EXPECT_EQ(rig.CallSink.Events[0].rfind("call 0312345678 ", 0), 0u) << rig.CallSink.Events[0];
    // The sink hears of the call after its log line is in the file.
    EXPECT_NE(testing::ReadFile(folder.Path() / "RingLog.txt").find("0312345678"),
              std::string::npos);

    // A quiet poll says nothing; the third unanswered one in a row says down,
    // a fourth nothing more, and the first answer after them says up.
    ASSERT_TRUE(rig.RunUntilResult());
    rig.Port.Responder = [](std::uint8_t) { return std::optional<TSimReply>(); };
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(rig.RunUntilResult());
        EXPECT_EQ(rig.Monitor->AdapterReachable(), i < 2);
    }
    rig.AnswerWithListing();
    rig.Adapter.Ring("0456789012");
    ASSERT_TRUE(rig.RunUntilResult());
    const std::vector<std::string> tail(rig.CallSink.Events.begin() + 1, rig.CallSink.Events.end());
    ASSERT_EQ(tail.size(), 3u);
    EXPECT_EQ(tail[0], "adapter down");
    EXPECT_EQ(tail[1].rfind("call 0456789012 ", 0), 0u) << tail[1];
    EXPECT_EQ(tail[2], "adapter up");
}

TEST(AddedSettings, MissingValuesKeepDefaultsAndTextsRoundTripAsUtf8) {
    sim::TMemorySettingsStore store;
    TAddedSettings loaded;
    LoadAddedSettings(store, loaded);
    EXPECT_EQ(loaded.Region, "JP");
    EXPECT_TRUE(loaded.Notify);
    EXPECT_FALSE(loaded.Tray);

    TAddedSettings changed;
    changed.Phonebook = "/home/jos\xC3\xA9/contacts.vcf";
    changed.Notify = false;
    changed.MqttUrl = "mqtt://broker:1883";
    ASSERT_TRUE(SaveAddedSettings(store, loaded, changed));
    TAddedSettings again;
    LoadAddedSettings(store, again);
    EXPECT_EQ(again.Phonebook, changed.Phonebook);
    EXPECT_FALSE(again.Notify);
    EXPECT_EQ(again.MqttUrl, changed.MqttUrl);
    // None of the seventeen is touched by the added settings.
    EXPECT_EQ(store.Keys.begin()->second.count("Port"), 0u);

    // A value not understood is said, gives its default, and stays as
    // written when other values are saved.
    auto& key = store.Keys.begin()->second;
    key["Region"] = std::string("ZZ");
    key["Tray"] = std::string("yes please");
    TAddedSettings odd;
    EXPECT_EQ(LoadAddedSettings(store, odd),
              (std::vector<std::string>{"Region \"ZZ\" is not understood; JP is used",
                                        "Tray \"yes please\" is not understood; 0 is used"}));
    EXPECT_EQ(odd.Region, "JP");
    EXPECT_EQ(odd.Phonebook, changed.Phonebook);
    TAddedSettings edited = odd;
    edited.MqttTopic = "home/phone";
    ASSERT_TRUE(SaveAddedSettings(store, odd, edited));
    EXPECT_EQ(std::get<std::string>(key["Tray"]), "yes please");
    EXPECT_EQ(std::get<std::string>(key["MqttTopic"]), "home/phone");
}

} // namespace
} // namespace telvane
