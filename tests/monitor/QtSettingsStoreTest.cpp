// The settings store on real QSettings files.
#include "ui/qtcore/QtSettingsStore.h"
#include "monitor/Settings.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>
#include <random>

namespace telvane {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// The test program's own XDG_CONFIG_HOME, set before Qt reads it.
testing::TTempFolder* ConfigHome = nullptr;

class QtSettings : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove_all(ConfigHome->Path() / "Maruvo"); }
    std::filesystem::path ConfigFile() const {
        return ConfigHome->Path() / "Maruvo" / "Telvane.conf";
    }

    testing::TTempFolder Folder;
};

TEST_F(QtSettings, StoredTextsComeBackByteForByte) {
    std::vector<std::string> texts = {std::string("nul\0inside", 10),
                                      " leading and trailing ",
                                      "quote \" backslash \\ semicolon ; hash # equals =",
                                      "comma, and more, commas",
                                      "\r\n\t\x1A",
                                      "\x80\xA0\xFF stray bytes \x82",
                                      "@ByteArray(x)",
                                      std::string(5000, 'x')};
    std::mt19937 random(3);
    for (int i = 0; i < 50; ++i) {
        std::string bytes(random() % 60, '\0');
        for (char& byte : bytes) {
            byte = static_cast<char>(random());
        }
        texts.push_back(bytes);
    }
    TQtSettingsStore writer;
    ASSERT_TRUE(writer.OpenKey(SettingsKey, true));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        writer.WriteText("T" + std::to_string(i), texts[i]);
    }
    writer.CloseKey();
    EXPECT_EQ(writer.LastStatus(), QSettings::NoError);

    TQtSettingsStore reader;
    ASSERT_TRUE(reader.OpenKey(SettingsKey, false));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(reader.ReadText("T" + std::to_string(i)), texts[i]) << i;
    }
}

TEST_F(QtSettings, HandEditedFileWithOddValuesKeepsUsableOnes) {
    std::filesystem::create_directories(ConfigFile().parent_path());
    WriteFile(ConfigFile(), "[1.0]\n"
                            "LogRing=2\n"
                            "Dream=maybe\n"
                            "Port=5\n"
                            "Interval=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x3)\n"
                            "DateTime=2026/01/01 00:00:00, extra\n"
                            "Magic3=@ByteArray(abc)\n"
                            "Magic4=\"quoted, kept\"\n"
                            "LastDateTime=2026/01/02 03:04:05\n"
                            "Magic5=cut off mid-li");
    TQtSettingsStore store;
    sim::TSimRig rig(Folder.Path(), &store);
    rig.Start();
    EXPECT_TRUE(rig.View.LogRing);
    EXPECT_FALSE(Standby);
    EXPECT_EQ(rig.View.Port, "5");
    EXPECT_EQ(rig.View.Interval, std::string(" 5") + texts::kUnitMinutes);
    EXPECT_EQ(rig.Monitor->GetRingTime(), "2026/01/01 00:00:00, extra");
    EXPECT_EQ(rig.Monitor->GetLastPollTime(), "2026/01/02 03:04:05");
    EXPECT_EQ(rig.Monitor->PreviousSnapshot()[3], "");
    EXPECT_EQ(rig.Monitor->PreviousSnapshot()[4], "quoted, kept");
    EXPECT_EQ(rig.Monitor->PreviousSnapshot()[5], "cut off mid-li");

    rig.Monitor->FormClose();
    const std::string file = ReadFile(ConfigFile());
    EXPECT_NE(file.find("LogRing=1\n"), std::string::npos) << file;
    EXPECT_NE(file.find("Dream=0\n"), std::string::npos) << file;
}

TEST_F(QtSettings, NoFileMeansNoKeyAndNothingIsCreatedByReading) {
    TQtSettingsStore store;
    EXPECT_FALSE(store.OpenKey(SettingsKey, false));
    store.CloseKey();
    EXPECT_FALSE(std::filesystem::exists(ConfigFile()));

    // A file without the section holds no key either.
    std::filesystem::create_directories(ConfigFile().parent_path());
    WriteFile(ConfigFile(), "[other]\nPort=COM1\n");
    EXPECT_FALSE(store.OpenKey(SettingsKey, false));
}

TEST_F(QtSettings, FileThatCannotBeWrittenRefusesTheKeyAndKeepsTheOldFile) {
    // The settings file's place is taken by a folder.
    std::filesystem::create_directories(ConfigFile());
    TQtSettingsStore store;
    EXPECT_FALSE(store.OpenKey(SettingsKey, true));

    // An INI file whose folder cannot exist.
    WriteFile(Folder.Path() / "plain", "x");
    TQtSettingsStore elsewhere(
        QString::fromStdString((Folder.Path() / "plain" / "x.conf").string()));
    EXPECT_FALSE(elsewhere.OpenKey(SettingsKey, true));
}

} // namespace
} // namespace telvane

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    telvane::testing::TTempFolder configHome;
    telvane::ConfigHome = &configHome;
    ::setenv("XDG_CONFIG_HOME", configHome.Path().c_str(), 1);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
