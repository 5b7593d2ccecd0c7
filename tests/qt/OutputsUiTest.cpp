// The Qt side of the outputs under the offscreen platform: the settings
// dialog, and the tray icon's look and its hiding of the window.
#include "Program.h"
#include "TempFolder.h"

#include "qt/outputs/SettingsDialog.h"
#include "qt/outputs/TrayIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace telvane {
namespace {

TEST(TrayIcon, TellsTheLinkAndHidesTheMinimisedWindow) {
    QWidget window;
    window.show();
    TTrayIcon tray(window);
    tray.Show(QStringLiteral("Telvane\n03-1234-5678"), false);
    EXPECT_EQ(tray.ToolTip(), QStringLiteral("Telvane\n03-1234-5678"));
    EXPECT_FALSE(tray.AdapterUp());
    window.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
    // Still minimised in state: the monitor's restore finds it so.
    EXPECT_TRUE(window.isMinimized());
}

// A new caller while the window is hidden to the tray icon shows it again.
TEST(TrayIcon, ANewCallerShowsTheHiddenWindow) {
    testing::TProgram program;
    program.Form.show();
    program.Form.hide();
    program.Form.RestoreApplication();
    EXPECT_TRUE(program.Form.isVisible());
}

void OpenSettingsDialog(TMainForm& form, const std::function<void(TSettingsDialog&)>& use) {
    QTimer::singleShot(0, [&use] {
        auto* dialog = qobject_cast<TSettingsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        use(*dialog);
    });
    for (QAction* action : form.ContextMenu()->actions()) {
        if (action->text() == QStringLiteral("設定...")) {
            action->trigger();
        }
    }
}

// Values the program does not understand are said in the dialog, and stay
// as the user wrote them through the dialog's save and the window's close.
TEST(SettingsDialog, SaysWhatItDoesNotUnderstandAndKeepsIt) {
    const std::filesystem::path file =
        std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "Maruvo" / "Telvane.conf";
    const std::vector<std::string> odd = {"Notify=maybe\n",
                                          "Phonebook=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x3)\n",
                                          "Region=jp\n", "Tray=yes please\n"};
    std::filesystem::create_directories(file.parent_path());
    ASSERT_TRUE(
        testing::WriteFile(file, "[1.0]\n" + odd[0] + odd[1] + "Port=COM1\n" + odd[2] + odd[3]));
    testing::TProgram program;
    TMainForm& form = program.Form;
    QString problems;
    OpenSettingsDialog(form, [&problems](TSettingsDialog& dialog) {
        if (auto* label = dialog.findChild<QLabel*>(QStringLiteral("Problems"))) {
            problems = label->text();
        }
        dialog.findChildren<QLineEdit*>()[0]->setText(QStringLiteral("say hello"));
        dialog.accept();
    });
    EXPECT_TRUE(problems.contains(QStringLiteral("Region \"jp\" is not understood; JP is used")))
        << problems.toStdString();
    for (const char* name : {"Notify \"maybe\"", "Phonebook \"@Variant", "Tray \"yes please\""}) {
        EXPECT_EQ(problems.count(QString::fromUtf8(name)), 1) << problems.toStdString();
    }
    form.close();
    const std::string text = testing::ReadFile(file);
    EXPECT_NE(text.find("HookCommand=say hello\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Dream=0\n"), std::string::npos) << text;
    for (const std::string& line : odd) {
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
}

// The dialog from the window's menu: it shows what does not work now; what
// it saves goes beside the seventeen values, and a password keeps the file
// private.
TEST(SettingsDialog, SavesFromTheWindowsMenu) {
    const TSettingsDialog calm(TAddedSettings{}, {}, {}, true);
    const auto* none = calm.findChild<QLabel*>(QStringLiteral("Problems"));
    EXPECT_TRUE(none != nullptr && !none->isVisibleTo(&calm));
    testing::TProgram program;
    TMainForm& form = program.Form;
    TAddedSettings unusable;
    unusable.HookCommand = "say 'open";
    unusable.MqttTopic = "a/#";
    unusable.MqttUrl = "mqtt://127.0.0.1:1";
    ASSERT_EQ(program.Service->ChangeSettings(unusable), "");
    QAction* open = nullptr;
    for (QAction* action : form.ContextMenu()->actions()) {
        if (action->text() == QStringLiteral("設定...")) {
            open = action;
        }
    }
    ASSERT_NE(open, nullptr);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TSettingsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        const auto* problems = dialog->findChild<QLabel*>(QStringLiteral("Problems"));
        const QString shown = problems && problems->isVisible() ? problems->text() : QString();
        EXPECT_EQ(shown.count(QLatin1Char('\n')), 1) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("unclosed quote")));
        const auto edits = dialog->findChildren<QLineEdit*>();
        edits[0]->setText(QStringLiteral("say hello"));
        edits[1]->setText(QStringLiteral("mqtt://u:pw@127.0.0.1:1"));
        edits[2]->clear();
        edits[3]->setText(QStringLiteral("mqtt://127.0.0.1:1/home/phone"));
        dialog->accept();
    });
    open->trigger();
    const std::string file = program.Service->Places().SettingsFile.string();
    const std::string text = testing::ReadFile(file);
    EXPECT_NE(text.find("HookCommand=say hello"), std::string::npos) << text;
    EXPECT_NE(text.find("MqttUrl=mqtt://u:pw@127.0.0.1:1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Follow=mqtt://127.0.0.1:1/home/phone\n"), std::string::npos) << text;
    // Following: the poll controls rest; the call log's box does not.
    EXPECT_FALSE(form.findChild<QWidget*>(QStringLiteral("CheckButton"))->isEnabled());
    EXPECT_FALSE(form.findChild<QWidget*>(QStringLiteral("PortSelector"))->isEnabled());
    EXPECT_TRUE(form.findChild<QWidget*>(QStringLiteral("LogRingFlag"))->isEnabled());
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

} // namespace
} // namespace telvane

int main(int argc, char** argv) {
    telvane::testing::TTempFolder configHome;
    ::setenv("XDG_CONFIG_HOME", configHome.Path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
