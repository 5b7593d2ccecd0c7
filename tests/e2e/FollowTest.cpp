// A window following another Telvane, end to end: telvaned polls ta-sim on
// a pseudo-terminal and publishes to a real mosquitto; the
// Qt window and service, built as main() builds them, follow it here, so
// that the test reads the number label itself. Its notification goes to a
// real dunst on a private bus under Xvfb.
#include "../outputs/Broker.h"
#include "Desktop.h"
#include "EndToEnd.h"

#include "qt/MainForm.h"
#include "service/Service.h"
#include "store/IniSettingsStore.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace e2e {
namespace {

class Follow : public EndToEnd {
protected:
    // The Telvane that is followed: telvaned, as on a box without a desktop,
    // polling ta-sim with MQTT on; its call log goes where the fixture reads it.
    void StartPublisher(const std::string& brokerUrl) {
        WriteSettings(SettingsFile(), Polling({{"MqttUrl", brokerUrl}, {"MqttTopic", "e2e/tel"}}));
        TChild::TOptions options;
        options.Arguments = {TELVANED_EXE, "--log-dir", CallLog().parent_path().string()};
        options.Environment = {{"XDG_CONFIG_HOME", ConfigHome().string()},
                               {"XDG_RUNTIME_DIR", (Root.Path() / "runtime").string()},
                               {"LANG", "ja_JP.UTF-8"}};
        options.StderrFile = Root.Path() / "telvaned.err";
        Publisher = std::make_unique<TChild>(options);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return ReadFile(options.StderrFile).find(": watching ") != std::string::npos; },
            int(kPatience.count())))
            << "telvaned did not come up: " << ReadFile(options.StderrFile);
    }

    QString Label(const char* name) const {
        return Form->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    bool WaitForLabel(const char* name, const QString& text) {
        return QTest::qWaitFor([&] { return Label(name) == text; }, int(kPatience.count()));
    }

    std::unique_ptr<TChild> Publisher;
    TDesktop Desktop{Root.Path()};
    std::filesystem::path Here = Root.Path() / "follower";
    std::unique_ptr<telvane::TMainForm> Form;
    std::unique_ptr<telvane::TIniSettingsStore> Store;
    std::unique_ptr<telvane::TService> Service;
};

TEST_F(Follow, APublishedCallShowsNotifiesAndIsLoggedAsThere) {
    ASSERT_TRUE(Desktop.StartDunst(Root.Path()));
    telvane::testing::TBroker broker(Root.Path() / "broker");
    ASSERT_NO_FATAL_FAILURE(StartPublisher(broker.Url()));
    std::string line;
    ASSERT_NO_FATAL_FAILURE(NextLine(line));

    std::filesystem::create_directories(Here);
    WriteSettings(Here / "Telvane.conf",
                  {{"Follow", "mqtt://127.0.0.1:" + std::to_string(broker.Port()) + "/e2e/tel"},
                   {"LogRing", "1"}});
    telvane::TServiceOptions options;
    options.Places = telvane::PlacesBeside(Here / "Telvane.conf", Here);
    options.WatchesFiles = true;
    Form = std::make_unique<telvane::TMainForm>();
    Store = std::make_unique<telvane::TIniSettingsStore>(options.Places.SettingsFile);
    Service = std::make_unique<telvane::TService>(*Form, Form->Timer(), *Store, options);
    Form->Attach(*Service);
    Service->Start();
    Form->show();
    ASSERT_TRUE(WaitForLabel("StatusLabel", QString::fromUtf8(u8"追従中")))
        << Label("StatusLabel").toStdString();

    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0312345678"));
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    EXPECT_TRUE(WaitForLabel("NumberLabel", QStringLiteral("0312345678")))
        << Label("NumberLabel").toStdString();
    EXPECT_EQ(Label("TimeLabel").toStdString(), Fields(line).at(1));
    EXPECT_EQ(ReadFile(Here / "RingLog.txt"), line);
    const std::string history = Desktop.History();
    EXPECT_NE(history.find("03-1234-5678\\n" + Fields(line).at(1)), std::string::npos) << history;
    EXPECT_NE(history.find("\xE6\x9D\xB1\xE4\xBA\xAC"), std::string::npos); // 東京
    // From this window alone: telvaned has no desktop to tell.
    EXPECT_EQ(Count(history, R"("data" : "Telvane")"), 1u) << history;
}

} // namespace
} // namespace e2e

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
