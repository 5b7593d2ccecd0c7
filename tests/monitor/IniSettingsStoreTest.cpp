// The settings store on real files, with Qt's QSettings as the reference:
// what QSettings wrote reads the same, what the store writes QSettings reads
// the same, and a file QSettings wrote changes as QSettings would change it.
#include "store/IniSettingsStore.h"
#include "ShiftJisCodec.h"
#include "monitor/Settings.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"
#include "store/IniDocument.h"
#include "store/IniText.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

#include <sys/stat.h>

#include <cstdlib>
#include <random>

namespace telvane {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// The test program's own XDG_CONFIG_HOME, set before Qt reads it.
testing::TTempFolder* ConfigHome = nullptr;

// What QSettings reads at a key: the text (a list joined as the program
// joins it), or nothing for a value that is no text.
std::optional<std::string> QtText(const std::filesystem::path& file, const QString& key) {
    const QVariant value =
        QSettings(QString::fromStdString(file.string()), QSettings::IniFormat).value(key);
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(", ").toStdString();
    }
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

class IniStore : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove_all(ConfigHome->Path() / "Maruvo"); }
    std::filesystem::path ConfigFile() const {
        return ConfigHome->Path() / "Maruvo" / "Telvane.conf";
    }

    testing::TTempFolder Folder;
};

TEST_F(IniStore, StoredTextsComeBackByteForByte) {
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
    TIniSettingsStore writer;
    ASSERT_TRUE(writer.OpenKey(SettingsKey, true));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        writer.WriteText("T" + std::to_string(i), texts[i]);
    }
    writer.CloseKey();
    EXPECT_FALSE(writer.CloseFailed());

    TIniSettingsStore reader;
    ASSERT_TRUE(reader.OpenKey(SettingsKey, false));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(reader.ReadText("T" + std::to_string(i)), texts[i]) << i;
        // The text Qt's codec makes of the bytes is what QSettings reads.
        EXPECT_EQ(QtText(ConfigFile(), QString("1.0/T%1").arg(i)),
                  FromShiftJis(texts[i]).toStdString())
            << i;
    }
}

TEST_F(IniStore, HandEditedFileWithOddValuesKeepsUsableOnes) {
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
                            "Phonebook=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x3)\n"
                            "; a comment\n"
                            "Magic5=cut off mid-li");
    TIniSettingsStore store;
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
    // Lines it was not asked to write stay as they were.
    EXPECT_NE(file.find("\nPhonebook=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x3)\n; a comment\n"),
              std::string::npos)
        << file;
}

// Texts that need every rule of the notation.
const std::vector<std::string> kTrickyTexts = {
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xEF\xBD\xB6\xEF\xBE\x85", // 日本語 ｶﾅ
    "\xEF\x9E\x81\xEF\x9F\xBF",                                      // U+F781 U+F7FF
    "say \"hi\"",
    "\"",
    "a, b",
    "a,b",
    "x;y",
    ";",
    "k=v",
    " lead",
    "trail ",
    "  ",
    "\t tab",
    "C:\\path\\",
    "\\x41",
    "\x01"
    "A",
    "\x01"
    "g",
    "\x1B[0m",
    "\r\n\a\b\f\v",
    "\x7F",
    "",
    "@",
    "@@",
    "@Variant(x)",
    "@ByteArray(q)",
    std::string("a\0"
                "1",
                3),
    std::string("@\0 ;", 4),
    "#x",
    "[x]",
    "%41",
    "\xF0\x9F\x98\x80",
    "\xC3\xA9",
    "(\\)",
    " a,b "};

QString Key(std::size_t i) {
    return QString("1.0/V%1").arg(i, 2, 10, QChar('0'));
}

TEST_F(IniStore, WritesAndReadsWhatQSettingsWritesAndReads) {
    const std::filesystem::path ours = Folder.Path() / "ours.ini";
    const std::filesystem::path qts = Folder.Path() / "qt.ini";
    TIniSettingsStore store(ours);
    ASSERT_TRUE(store.OpenKey(SettingsKey, true));
    {
        QSettings qt(QString::fromStdString(qts.string()), QSettings::IniFormat);
        // Written in another order than the file's.
        for (std::size_t i = kTrickyTexts.size(); i-- > 0;) {
            store.WriteUtf8Text(Key(i).mid(4).toStdString(), kTrickyTexts[i]);
            qt.setValue(Key(i), QString::fromStdString(kTrickyTexts[i]));
        }
    }
    store.CloseKey();
    ASSERT_FALSE(store.CloseFailed());
    EXPECT_EQ(ReadFile(ours), ReadFile(qts));
    ASSERT_TRUE(store.OpenKey(SettingsKey, false));
    for (std::size_t i = 0; i < kTrickyTexts.size(); ++i) {
        EXPECT_EQ(QtText(ours, Key(i)), kTrickyTexts[i]) << i;
        EXPECT_EQ(store.ReadUtf8Text(Key(i).mid(4).toStdString()), kTrickyTexts[i]) << i;
    }

    // Changes, new keys and new sections in a file QSettings wrote.
    const std::vector<std::pair<QString, std::string>> changes = {
        {Key(3), "changed"},
        {"1.0/A", "first"},
        {"1.0/V05a", "between"},
        {"1.0/zz", "last"},
        {"2.0/x", "later section"},
        {"0.9/x", "earlier section"},
        {"top", "no section"},
        {"General/x", "a section named General"},
        {"1.0/\xE6\x97\xA5 k", "escaped key"}};
    TIniDocument document(ReadFile(qts));
    {
        QSettings qt(QString::fromStdString(qts.string()), QSettings::IniFormat);
        for (const auto& [key, text] : changes) {
            qt.setValue(key, QString::fromStdString(text));
            document.Set(key.toStdString(), FormatIniText(text));
        }
    }
    EXPECT_EQ(document.Text(), ReadFile(qts));
}

// Hand-written notations, each in a file of its own, read as QSettings
// reads them.
TEST_F(IniStore, ReadsHandWrittenValuesAsQSettingsDoes) {
    const std::vector<std::string> notations = {"a, b",
                                                " a , b ",
                                                "\"a, b\"",
                                                "a, \"b,c\"",
                                                "\"a\" x",
                                                "x \"a\"",
                                                "x  \"a\"  y",
                                                "a\\qb",
                                                "\\x41\\x4142",
                                                "\\x4g",
                                                "\\101",
                                                "\\0",
                                                "a\\",
                                                "x;y",
                                                "\"x;y\"",
                                                "x\\;y",
                                                ";x",
                                                "#x",
                                                " \"unterminated",
                                                "a\\\nb",
                                                "a\\\r\nb",
                                                "\"a \nb\"",
                                                "a,",
                                                ",",
                                                "@String(abc",
                                                "@String(a,b)",
                                                "@String()",
                                                "@ByteArray(abc)",
                                                "@Invalid()",
                                                "@foo",
                                                "@@x",
                                                "\"@x\"",
                                                "@Variant()",
                                                "@ByteArray(a)x",
                                                "a, @@b",
                                                "a, @b",
                                                "\\\"",
                                                "tab\\there",
                                                "\xC3\xA9",
                                                "\\xe9",
                                                "\\x1F600",
                                                "\\xd83d\\xde00",
                                                "\"\"",
                                                "a\tb \t"};
    for (std::size_t i = 0; i < notations.size(); ++i) {
        const std::filesystem::path file = Folder.Path() / ("hand" + std::to_string(i) + ".ini");
        WriteFile(file, "[1.0]\nk = " + notations[i] + "\nnext=1\n");
        TIniSettingsStore store(file);
        ASSERT_TRUE(store.OpenKey(SettingsKey, false)) << notations[i];
        EXPECT_EQ(store.ReadUtf8Text("k"), QtText(file, "1.0/k")) << notations[i];
        EXPECT_EQ(store.ReadUtf8Text("next"), QtText(file, "1.0/next")) << notations[i];
    }
}

TEST_F(IniStore, KeepsTheFilesPermissionsAndAllItDoesNotWrite) {
    const std::filesystem::path file = Folder.Path() / "kept.ini";
    const std::string before = "; made by hand\r\n[1.0]\r\nPort=COM1\r\nOdd=@Rect(x\r\n"
                               "[other]\r\nk = v ; note\r\nno equals sign\r\n";
    WriteFile(file, before);
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    TIniSettingsStore store(file);
    ASSERT_TRUE(store.OpenKey(SettingsKey, true));
    store.WriteText("Port", "COM2");
    store.WriteFlag("LogRing", true);
    store.CloseKey();
    EXPECT_EQ(ReadFile(file), "; made by hand\r\n[1.0]\r\nLogRing=1\r\nPort=COM2\r\n"
                              "Odd=@Rect(x\r\n[other]\r\nk = v ; note\r\nno equals sign\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // A new file is as open as the umask lets it be, like QSettings' own.
    const std::filesystem::path fresh = Folder.Path() / "fresh.ini";
    const mode_t mask = ::umask(022);
    TIniSettingsStore freshStore(fresh);
    ASSERT_TRUE(freshStore.OpenKey(SettingsKey, true));
    freshStore.WriteFlag("Dream", false);
    freshStore.CloseKey();
    ::umask(mask);
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(IniStore, NoFileMeansNoKeyAndNothingIsCreatedByReading) {
    TIniSettingsStore store;
    EXPECT_FALSE(store.OpenKey(SettingsKey, false));
    store.CloseKey();
    EXPECT_FALSE(std::filesystem::exists(ConfigFile()));

    // A file without the section holds no key either.
    std::filesystem::create_directories(ConfigFile().parent_path());
    WriteFile(ConfigFile(), "[other]\nPort=COM1\n");
    EXPECT_FALSE(store.OpenKey(SettingsKey, false));
}

TEST_F(IniStore, FileThatCannotBeWrittenRefusesTheKeyAndKeepsTheOldFile) {
    // The settings file's place is taken by a folder.
    std::filesystem::create_directories(ConfigFile());
    TIniSettingsStore store;
    EXPECT_FALSE(store.OpenKey(SettingsKey, true));

    // An INI file whose folder cannot exist.
    WriteFile(Folder.Path() / "plain", "x");
    TIniSettingsStore elsewhere(Folder.Path() / "plain" / "x.conf");
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
