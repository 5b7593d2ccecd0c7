// The service as every front end meets it: the same words and bytes for a
// call on every platform, the tray's tooltip, saving at the session's end,
// who called from contacts read off the window's thread, the history, and
// the settings beside the seventeen. Run natively and under Wine.
#include "ServiceRig.h"

#include "callers/CallerDirectory.h"
#include "monitor/CallerMonitor.h"
#include "monitor/Settings.h"
#include "service/History.h"

#include <gtest/gtest.h>

namespace telvane {
namespace {

using testing::TServiceRig;

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    return all;
}

// A byte that is no Shift_JIS character travels as U+F700 + byte, in the
// hook's and MQTT's texts too, so the adapter's very bytes can be had back.
TEST(ServiceTest, ACallIsToldInOneSetOfWordsAndBytes) {
    for (const bool english : {false, true}) {
        TServiceRig rig(english);
        TService& service = rig.Start();
        ASSERT_TRUE(rig.NextResult());
        ASSERT_TRUE(rig.Call("0312\x82"));
        ASSERT_FALSE(rig.FrontEnd.Calls.empty());
        const TCallShown& call = rig.FrontEnd.Calls.back();
        EXPECT_EQ(call.Event.Number, "0312\xEF\x9E\x82");
        EXPECT_EQ(call.Caller, "0312\x82");
        EXPECT_EQ(call.Title, call.Event.Display);
        EXPECT_EQ(call.Body, call.Event.Display + "\n" + call.TimeText);
        EXPECT_EQ(call.Event.Time.substr(0, 10),
                  call.TimeText.substr(0, 10).replace(4, 1, "-").replace(7, 1, "-"));
        const std::string poll = service.Monitor().GetLastPollTime();
        EXPECT_EQ(
            rig.FrontEnd.Tray,
            "Telvane\n" + call.Event.Display + "\n" +
                (english ? "Last answer " : "\xE6\x9C\x80\xE7\xB5\x82\xE7\xA2\xBA\xE8\xAA\x8D ") +
                poll);
        // Three queries without an answer: the adapter is down.
        rig.Silent = true;
        for (int i = 0; i < kAdapterDownAfter; ++i) {
            service.CheckNow();
            ASSERT_TRUE(rig.NextResult());
        }
        EXPECT_FALSE(rig.FrontEnd.AdapterUp);
        EXPECT_TRUE(
            Holds(rig.FrontEnd.Tray,
                  english ? "\nNo answer" : "\n\xE6\xA4\x9C\xE5\x87\xBA\xE4\xB8\x8D\xE5\x8F\xAF"))
            << rig.FrontEnd.Tray;
    }
}

// Ending with the session or a signal must not wait for a click.
TEST(ServiceTest, AFailedSaveAtTheSessionsEndIsToldWithoutABox) {
    TServiceRig rig;
    rig.Store.FailClose = true;
    TService& service = rig.Start();
    rig.FrontEnd.TakeReports();
    EXPECT_FALSE(service.Close(true));
    EXPECT_TRUE(rig.FrontEnd.Errors.empty());
    const std::vector<std::string> reports = rig.FrontEnd.TakeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(service.Close(false));
    ASSERT_EQ(rig.FrontEnd.Errors.size(), 1u);
    EXPECT_EQ(rig.FrontEnd.Errors[0], reports[0]);
}

TEST(ServiceTest, CallersAreNamedFromContactsReadBesideTheWindowsThread) {
    TServiceRig rig;
    const auto book = rig.Folder.Path() / "book.csv";
    testing::WriteFile(book, "03-1234-5678,\xE5\xB1\xB1\xE7\x94\xB0\n"); // 山田
    TAddedSettings settings;
    settings.Phonebook = book.u8string();
    ASSERT_TRUE(SaveAddedSettings(rig.Store, TAddedSettings{}, settings));
    TService& service = rig.Start();
    ASSERT_TRUE(rig.FrontEnd.Settle([&] { return service.Directory().Snapshot()->Loaded; }));
    ASSERT_TRUE(rig.NextResult());
    ASSERT_TRUE(rig.Call("0312345678"));
    const TCallShown& call = rig.FrontEnd.Calls.back();
    EXPECT_EQ(call.Event.Name, "\xE5\xB1\xB1\xE7\x94\xB0");
    EXPECT_EQ(call.Title, call.Event.Name);
    // Japan's numbering is the same compiled table on every platform.
    EXPECT_EQ(rig.FrontEnd.Glance, "山田 (東京)");
    EXPECT_EQ(rig.FrontEnd.Details, "山田\n03-1234-5678\n固定電話\n東京");
    EXPECT_EQ(call.Body, "03-1234-5678\n東京\n" + call.TimeText);

    // The front end watches nothing here: each result looks at the files.
    testing::WriteFile(book, "0312345678,\xE5\xB7\x9D\xE7\x94\xB0 \n"); // 川田
    service.CheckNow();
    ASSERT_TRUE(rig.NextResult());
    EXPECT_TRUE(rig.FrontEnd.Settle([&] { return Holds(rig.FrontEnd.Glance, "\xE5\xB7\x9D"); }))
        << rig.FrontEnd.Glance;

    // A chosen file that goes is said once, also as a notification, and its
    // names go with it. (A load posted before may still come first.)
    std::filesystem::remove(book);
    service.CheckNow();
    ASSERT_TRUE(rig.NextResult());
    ASSERT_TRUE(rig.FrontEnd.Settle([&] { return !rig.FrontEnd.Alerts.empty(); }));
    EXPECT_TRUE(Holds(rig.FrontEnd.Alerts[0], book.u8string())) << rig.FrontEnd.Alerts[0];
    EXPECT_TRUE(Holds(Joined(service.Problems()), book.u8string()));
    EXPECT_FALSE(Holds(rig.FrontEnd.Glance, "\xE5\xB7\x9D"));
    const std::string said = Joined(rig.FrontEnd.TakeReports());
    EXPECT_TRUE(Holds(said, book.u8string())) << said;
    const auto reload = [&] {
        const int loads = rig.FrontEnd.CallersChangedCount;
        service.FilesChanged();
        return rig.FrontEnd.Settle([&] { return rig.FrontEnd.CallersChangedCount > loads; });
    };
    ASSERT_TRUE(reload());
    EXPECT_FALSE(Holds(Joined(rig.FrontEnd.TakeReports()), book.u8string()));

    // Damaged lines are skipped: the first few said with their lines, and
    // how many in all, where the window shows the contacts' problems.
    std::string damaged = "0312345678,\xE5\xB1\xB1\xE7\x94\xB0\n";
    for (int i = 0; i < 5; ++i) {
        damaged += "0612345678,\x01\x02\n";
    }
    testing::WriteFile(book, damaged);
    // Until the window's thread has taken this book in, which says its skipped
    // lines: a load asked for earlier may be told first.
    service.FilesChanged();
    std::string skipsSaid;
    ASSERT_TRUE(rig.FrontEnd.Settle([&] {
        skipsSaid += Joined(rig.FrontEnd.TakeReports());
        return Holds(skipsSaid, book.u8string() + ":2: ");
    })) << skipsSaid;
    const std::string problems = Joined(service.ContactsProblems());
    for (const char* line : {":2: ", ":3: ", ":4: "}) {
        EXPECT_TRUE(Holds(problems, book.u8string() + line)) << problems;
    }
    EXPECT_FALSE(Holds(problems, ":5: ")) << problems;
    EXPECT_TRUE(Holds(problems, book.u8string() + ": \xE8\xAA\xAD\xE3\x81\xBF\xE9\xA3\x9B"
                                                  "\xE3\x81\xB0\xE3\x81\x97\xE3\x81\x9F"))
        << problems; // 読み飛ばした
    EXPECT_TRUE(Holds(Joined(service.Problems()), problems));
    // Readable in between, the file that goes again is told again.
    EXPECT_EQ(rig.FrontEnd.Alerts.size(), 1u);
    std::filesystem::remove(book);
    service.FilesChanged();
    ASSERT_TRUE(rig.FrontEnd.Settle([&] { return rig.FrontEnd.Alerts.size() > 1; }));
    EXPECT_EQ(rig.FrontEnd.Alerts.size(), 2u);
}

TEST(ServiceTest, TheHistoryCountsSearchesAndFollowsTheLog) {
    TServiceRig rig;
    const auto log = rig.Options.Places.CallLog();
    testing::WriteFile(log, ",2026/03/01 09:00:00,0312345678\r\n"
                            "2026/03/01 09:00:00,2026/03/01 10:00:00,0451234567\r\n"
                            "damaged line\r\n"
                            "2026/03/01 10:00:00,2026/03/01 11:00:00,+81 3-1234-5678\r\n");
    testing::WriteFile(rig.Folder.Path() / "book.csv", "0451234567,\xE5\x95\x86\xE5\xBA\x97\n");
    TAddedSettings settings;
    settings.Phonebook = (rig.Folder.Path() / "book.csv").u8string();
    ASSERT_TRUE(SaveAddedSettings(rig.Store, TAddedSettings{}, settings));
    TService& service = rig.Start();
    ASSERT_TRUE(rig.FrontEnd.Settle([&] { return service.Directory().Snapshot()->Loaded; }));
    THistory& history = service.OpenHistory();
    EXPECT_EQ(history.Rows(), 0u); // read beside the window's thread
    ASSERT_TRUE(rig.FrontEnd.Settle([&] { return history.Counted(); }));
    const auto row = [&](std::size_t r) {
        const THistoryRow shown = history.Row(r);
        return shown.Time + "|" + shown.Number + "|" + std::to_string(shown.Count);
    };
    ASSERT_EQ(history.Rows(), 3u);
    EXPECT_EQ(history.Skipped(), 1u);
    // One number written two ways counts as one.
    EXPECT_EQ(row(0), "2026/03/01 11:00:00|+81 3-1234-5678|2");
    EXPECT_EQ(row(1), "2026/03/01 10:00:00|0451234567|1");
    EXPECT_EQ(history.Row(0).Who, "東京");
    EXPECT_EQ(history.Row(0).Display, "03-1234-5678");
    EXPECT_EQ(history.Row(1).Who, "\xE5\x95\x86\xE5\xBA\x97");

    const auto search = [&](const std::string& text) {
        history.SetFilter(text);
        EXPECT_TRUE(rig.FrontEnd.Settle([&] { return !history.Searching(); }));
        return history.Rows();
    };
    ASSERT_EQ(search("\xE5\x95\x86"), 1u);
    EXPECT_EQ(history.NumberAt(0), "0451234567");
    EXPECT_EQ(search("09:00"), 1u);
    EXPECT_EQ(search(""), 3u);

    // A call logged while the history is open comes on top.
    const std::string more =
        testing::ReadFile(log) + "2026/03/01 11:00:00,2026/03/01 12:00:00,0312345678\r\n";
    testing::WriteFile(log, more);
    history.Refresh();
    ASSERT_TRUE(rig.FrontEnd.Settle([&] { return history.Rows() == 4 && history.Counted(); }));
    EXPECT_EQ(row(0), "2026/03/01 12:00:00|0312345678|3");
    // A log replaced by a shorter one is read afresh.
    testing::WriteFile(log, ",2026/03/02 09:00:00,0451234567\r\n");
    history.Refresh();
    ASSERT_TRUE(rig.FrontEnd.Settle([&] { return history.Rows() == 1 && history.Counted(); }));
    EXPECT_EQ(row(0), "2026/03/02 09:00:00|0451234567|1");
    service.CloseHistory();
}

TEST(ServiceTest, SettingsAreCheckedAndOnlyWhatTheUserChangedIsSaved) {
    TServiceRig rig;
    ASSERT_TRUE(rig.Store.OpenKey(SettingsKey, true));
    rig.Store.WriteText("Notify", "maybe");
    rig.Store.CloseKey();
    TService& service = rig.Start();
    EXPECT_TRUE(Holds(Joined(service.Problems()), "Notify \"maybe\""));
    const struct {
        std::string TAddedSettings::*Member;
        std::string Value;
        bool Refused;
        bool NeedsMqtt;
    } cases[] = {
        {&TAddedSettings::HookCommand, "espeak-ng -v ja 'open", true, false},
        {&TAddedSettings::HookCommand, "espeak-ng -v ja \"$TELVANE_NAME\"", false, false},
        {&TAddedSettings::MqttUrl, "mqtt//broker", true, false},
        {&TAddedSettings::MqttUrl, "mqtts://u:p@broker:8883", false, true},
        {&TAddedSettings::MqttTopic, "home/+/phone", true, true},
        {&TAddedSettings::MqttTopic, "home/\x7f", true, true},
        {&TAddedSettings::MqttTopic, "home/" + std::string(65535, 'p'), true, true},
        {&TAddedSettings::MqttTopic, "\xE5\xAE\xB6/phone", false, true},
        {&TAddedSettings::Region, "JPN", true, false},
        {&TAddedSettings::Follow, "mqtt://broker", true, false},
        {&TAddedSettings::Follow, "mqtt://broker/home/+/phone", true, true},
        {&TAddedSettings::Follow, "mqtts://u:p@broker/home/phone", false, true},
    };
    EXPECT_EQ(service.SettingsFault(TAddedSettings{}), "");
    for (const auto& c : cases) {
        if (c.NeedsMqtt && !TService::MqttAvailable()) {
            continue;
        }
        TAddedSettings settings;
        settings.*c.Member = c.Value;
        EXPECT_EQ(!service.SettingsFault(settings).empty(), c.Refused) << c.Value.substr(0, 20);
    }
    // Saving a changed hook leaves the value not understood as written.
    TAddedSettings settings = service.Settings();
    settings.HookCommand = "true";
    EXPECT_EQ(service.ChangeSettings(settings), "");
    ASSERT_TRUE(rig.Store.OpenKey(SettingsKey, false));
    EXPECT_EQ(rig.Store.ReadText("Notify"), std::string("maybe"));
    EXPECT_EQ(rig.Store.ReadText("HookCommand"), std::string("true"));
    EXPECT_FALSE(rig.Store.ValueExists("Region"));
    rig.Store.CloseKey();
}

} // namespace
} // namespace telvane
