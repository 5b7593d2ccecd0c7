// Who called, on the real program: a phonebook in the settings folder, a
// call from a number the phonebook writes another way, and one from an
// unknown Tokyo number. The program says what its glance shows only when
// TELVANE_GLANCE_TRACE names a file.
#include "EndToEnd.h"

#include <fstream>

namespace e2e {
namespace {

// The glance lines of the trace ("shown" or "hidden", text, details).
std::vector<std::string> Glances(const std::filesystem::path& trace) {
    std::vector<std::string> lines;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool WaitForGlance(const std::filesystem::path& trace, const std::string& start) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < end) {
        const auto lines = Glances(trace);
        if (!lines.empty() && lines.back().rfind(start, 0) == 0) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

TEST_F(EndToEnd, KnownCallerShowsByNameAndAnUnknownTokyoNumberByArea) {
    const auto folder = ConfigHome() / "Maruvo" / "Telvane";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "phonebook.vcf", std::ios::binary)
        << "BEGIN:VCARD\r\nVERSION:2.1\r\nN:山田;太郎\r\nTEL;HOME:+81-3-1234-5678\r\n"
           "END:VCARD\r\n";
    const auto trace = Root.Path() / "glance.txt";
    Program->SetEnvironment("TELVANE_GLANCE_TRACE", trace.string());
    WriteSettings(SettingsFile(), Polling());
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string line;
    // The adapter's "BUFFER EMPTY": nothing to tell, nothing shown.
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    ASSERT_TRUE(WaitForGlance(trace, "hidden\t\t")) << ReadFile(trace);

    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0312345678"));
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    EXPECT_TRUE(WaitForGlance(trace, "shown\t山田 太郎 (東京)\t")) << ReadFile(trace);

    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0398765432"));
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    EXPECT_TRUE(WaitForGlance(trace, "shown\t東京\t03-9876-5432")) << ReadFile(trace);
    // Japanese numbers come from the compiled table: libphonenumber and its
    // geocoder are not in the program at all.
    const std::string maps =
        ReadFile("/proc/" + std::to_string(Program->Process().Pid()) + "/maps");
    EXPECT_EQ(maps.find("libphonenumber"), std::string::npos);
    EXPECT_EQ(maps.find("libgeocoding"), std::string::npos);

    // Only the seventeen are stored: the new settings stay unwritten.
    TSettings saved;
    ASSERT_NO_FATAL_FAILURE(Stop(saved));
    EXPECT_EQ(saved.size(), kSettingNames.size());
}

// Started on an English desktop, the real program speaks English: the area
// of the same Tokyo number, the number's kind, and the call log unchanged.
TEST_F(EndToEnd, AnEnglishDesktopGetsTheAreaInEnglishAndTheLogUnchanged) {
    const auto trace = Root.Path() / "glance.txt";
    Program->SetEnvironment("TELVANE_GLANCE_TRACE", trace.string());
    Program->SetEnvironment("LANG", "en_US.UTF-8");
    WriteSettings(SettingsFile(), Polling());
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string line;
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    EXPECT_EQ(Fields(line).at(2),
              "\x94\xD4\x8D\x86\x8F\xEE\x95\xF1\x82\xC8\x82\xB5"); // 番号情報なし
    ASSERT_NO_FATAL_FAILURE(RingBetweenPolls("0398765432"));
    ASSERT_NO_FATAL_FAILURE(NextLine(line));
    EXPECT_TRUE(WaitForGlance(trace, "shown\tTokyo\t03-9876-5432")) << ReadFile(trace);
}

} // namespace
} // namespace e2e
