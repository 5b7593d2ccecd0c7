// The Qt side of the outputs under the offscreen platform: what the settings
// dialog refuses, and the tray icon's look and its hiding of the window.
#include "ui/outputs/SettingsDialog.h"
#include "ui/outputs/TrayIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

namespace telvane {
namespace {

TEST(SettingsDialog, RefusesWhatCannotWork) {
    const struct {
        const char* Field;
        std::string TAddedSettings::*Member;
        const char* Value;
        bool Refused;
    } cases[] = {
        {"hook", &TAddedSettings::HookCommand, "espeak-ng -v ja 'open", true},
        {"hook", &TAddedSettings::HookCommand, "espeak-ng -v ja \"$TELVANE_NAME\"", false},
        {"url", &TAddedSettings::MqttUrl, "mqtt//broker", true},
        {"url", &TAddedSettings::MqttUrl, "mqtts://u:p@broker:8883", false},
        {"topic", &TAddedSettings::MqttTopic, "home/+/phone", true},
        {"region", &TAddedSettings::Region, "JPN", true},
    };
    EXPECT_TRUE(TSettingsDialog::Problem(TAddedSettings{}).isEmpty());
    for (const auto& c : cases) {
        TAddedSettings settings;
        settings.*c.Member = c.Value;
        EXPECT_EQ(!TSettingsDialog::Problem(settings).isEmpty(), c.Refused)
            << c.Field << ": " << c.Value;
    }
}

TEST(TrayIcon, TellsTheLinkAndHidesTheMinimisedWindow) {
    QWidget window;
    window.show();
    TTrayIcon tray(window, [] { return QStringLiteral("2026/12/07 09:57:00"); });
    tray.SetLastCaller(QStringLiteral("03-1234-5678"));
    tray.SetAdapterUp(false);
    EXPECT_EQ(tray.ToolTip(), QStringLiteral("Telvane\n03-1234-5678\n最終確認 "
                                             "2026/12/07 09:57:00\n検出不可"));
    window.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
    // Still minimised in state: the monitor's restore finds it so.
    EXPECT_TRUE(window.isMinimized());
    TTrayIcon::ShowWindow(window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

} // namespace
} // namespace telvane

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
