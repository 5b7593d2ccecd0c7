// Who called in the Windows shell: the history's rows from a real call log,
// and the real window's glance label, context menu and Run value.
#include "win32/CallerFeatures.h"
#include "monitor/WideText.h"
#include "win32/HistoryList.h"
#include "win32/MainForm.h"
#include "win32/Resource.h"
#include "win32/Translation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace telvane::win32 {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        Path_ = fs::temp_directory_path() /
                ("telvane-callers-" + std::to_string(::GetCurrentProcessId()));
        fs::create_directories(Path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(Path_, ignored);
    }
    const fs::path& Path() const { return Path_; }

private:
    fs::path Path_;
};

void Write(const fs::path& file, const std::string& bytes, bool append = false) {
    std::ofstream out(file, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << bytes;
}

const std::string kCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xE5\xB1\xB1\xE7\x94\xB0\r\n"
                          "TEL:+81 3-1234-5678\r\nEND:VCARD\r\n"; // 山田

// Runs the thread's messages until done() or about timeout.
template <typename Done> bool PumpUntil(Done done, DWORD timeout);

TEST(HistoryListTest, NewestFirstWithNamesAndCountsFollowingTheLog) {
    TempFolder folder;
    Write(folder.Path() / "phonebook.vcf", kCard);
    TWhoCalled who(folder.Path() / "phonebook.vcf", TAddedSettings{}, nullptr);
    // Read on another thread.
    ASSERT_TRUE(PumpUntil([&] { return !who.Describe("0312345678").Name.empty(); }, 10000));
    const fs::path log = folder.Path() / "RingLog.txt";
    Write(log, ",2026/12/06 09:05:00,0312345678\r\n"
               "damaged by another program\r\n"
               "2026/12/06 09:05:00,2026/12/06 10:05:00,P\r\n"
               "2026/12/06 10:05:00,2026/12/06 11:05:00,03(1234)5678\r\n");
    THistoryList list(who, log);
    ASSERT_TRUE(list.Refresh());
    const struct {
        const char* Time;
        const char* Display;
        const char* Who;
        std::size_t Count;
    } expected[] = {
        {"2026/12/06 11:05:00", "0312345678", "\xE5\xB1\xB1\xE7\x94\xB0", 2},
        {"2026/12/06 10:05:00", "P", "", 1},
        {"2026/12/06 09:05:00", "0312345678", "\xE5\xB1\xB1\xE7\x94\xB0", 2},
    };
    ASSERT_EQ(list.size(), std::size(expected));
    EXPECT_EQ(list.Skipped(), 1u);
    for (std::size_t row = 0; row < list.size(); ++row) {
        const THistoryRow got = list.Row(row);
        EXPECT_EQ(got.Time, expected[row].Time) << row;
        EXPECT_EQ(got.Display, expected[row].Display) << row;
        EXPECT_EQ(got.Who, expected[row].Who) << row;
        EXPECT_EQ(got.Count, expected[row].Count) << row;
    }
    EXPECT_EQ(list.NumberAt(0), "03(1234)5678");

    // A call logged while the window is open comes in on top.
    EXPECT_FALSE(list.Refresh());
    Write(log, "2026/12/06 11:05:00,2026/12/06 12:05:00,0451234567\r\n", true);
    ASSERT_TRUE(list.Refresh());
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list.Row(0).Number, "0451234567");
    EXPECT_EQ(list.Row(0).Count, 1u);

    // A log replaced by a shorter one is read afresh.
    Write(log, "2026/12/07 08:00:00,2026/12/07 09:00:00,0312345678\r\n");
    ASSERT_TRUE(list.Refresh());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.Row(0).Count, 1u);
}

TEST(WhoCalledTest, AChosenContactsFileThatIsMissingOrBrokenIsSaidOnceAndTheLastGoodStays) {
    TempFolder folder;
    const fs::path chosen = folder.Path() / "contacts.vcf";
    std::vector<std::string> said;
    TAddedSettings settings;
    settings.Phonebook = chosen.u8string();
    TWhoCalled who(folder.Path() / "own.vcf", settings,
                   [&said](const std::string& problem) { said.push_back(problem); });
    // The window looks again at each result; reads come in meanwhile.
    const auto lookUntil = [&who](auto done) {
        return PumpUntil(
            [&] {
                who.Refresh();
                return done();
            },
            10000);
    };
    ASSERT_TRUE(lookUntil([&] { return !said.empty(); }));
    EXPECT_NE(said[0].find("contacts.vcf"), std::string::npos);

    Write(chosen, kCard);
    EXPECT_TRUE(
        lookUntil([&] { return who.Describe("0312345678").Name == "\xE5\xB1\xB1\xE7\x94\xB0"; }));
    // Bytes no contacts reader takes, of another size so that the change shows.
    Write(chosen, std::string(100, '\0'));
    EXPECT_TRUE(lookUntil([&] { return said.size() == 2; }));
    who.Refresh();
    who.Refresh();
    EXPECT_EQ(said.size(), 2u) << "a fault is said once";
    EXPECT_EQ(who.Describe("0312345678").Name, "\xE5\xB1\xB1\xE7\x94\xB0");
}

template <typename Done> bool PumpUntil(Done done, DWORD timeout) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeout) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&message);
        }
    }
    return true;
}

constexpr wchar_t kSettingsKey[] = L"Software\\Maruvo\\Telvane";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

std::wstring RunValue() {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Telvane", RRF_RT_REG_SZ, nullptr, data,
                       &size) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return data;
}

// Shown when its window is (the form stays hidden in the test).
bool Shown(HWND control) {
    return (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return text;
}

TEST(CallerFeaturesTest, GlanceShowsANameOnlyWithAPhonebookAndTheMenuSetsTheRunValue) {
    // The window reads and writes the program's own settings and Run value:
    // never those of a real user.
    if (KeyExists(kSettingsKey) || RunValue() != L"<none>") {
        GTEST_SKIP() << "Telvane's settings or Run value exist on this machine";
    }
    TempFolder folder;
    {
        // The last caller, as an earlier run stored it; a port that does not
        // answer, so the first result phase comes after the reply deadline.
        TRegistrySettingsStore store;
        ASSERT_TRUE(store.OpenKey("\\Software\\Maruvo\\Telvane\\1.0", true));
        store.WriteText("Port", "COM1");
        store.WriteText("Magic10", "RECEIVE CALLING PARTY = 0312345678");
        store.CloseKey();
    }
    {
        SetEnglishInterface(false);
        TMainForm form(::GetModuleHandleW(nullptr));
        ASSERT_TRUE(form.Create());
        const fs::path own = folder.Path() / "phonebook.vcf";
        TCallerFeatures features(form, own, L"C:\\Program Files\\Telvane\\telvane.exe");
        form.SetCaptionsChanged([&features] { features.Update(); });
        form.SetMessageHook([&features](UINT message, WPARAM wParam, LPARAM lParam) {
            return features.HandleMessage(message, wParam, lParam);
        });
        form.AllFormCreated();
        ASSERT_TRUE(PumpUntil([&] { return form.NumberCaption() == L"0312345678"; }, 15000));

        // No phonebook: the window is as it always was, with no more controls.
        EXPECT_EQ(features.Glance(), nullptr);
        const HMENU menu = features.BuildContextMenu();
        EXPECT_EQ(::GetMenuState(menu, IDM_NAMECALLER, MF_BYCOMMAND) & MF_GRAYED, 0u);
        EXPECT_EQ(::GetMenuState(menu, IDM_AUTOSTART, MF_BYCOMMAND) & MF_CHECKED, 0u);
        ::DestroyMenu(menu);

        // A phonebook appears: the next look at the caller has it read, and
        // the name shows once it is in.
        Write(own, kCard);
        features.Update();
        ASSERT_TRUE(
            PumpUntil([&] { return features.Glance() && Shown(features.Glance()); }, 10000));
        EXPECT_EQ(TextOf(features.Glance()), L"山田");
        RECT glance{}, number{};
        ::GetWindowRect(features.Glance(), &glance);
        ::GetWindowRect(form.NumberLabel(), &number);
        EXPECT_GE(glance.top, number.bottom) << "the glance covers the number";

        features.Command(IDM_AUTOSTART);
        EXPECT_EQ(RunValue(), L"\"C:\\Program Files\\Telvane\\telvane.exe\"");
        const HMENU checked = features.BuildContextMenu();
        EXPECT_NE(::GetMenuState(checked, IDM_AUTOSTART, MF_BYCOMMAND) & MF_CHECKED, 0u);
        ::DestroyMenu(checked);
        features.Command(IDM_AUTOSTART);
        EXPECT_EQ(RunValue(), L"<none>");
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

// The width of a control's text in its font.
int TextWidth(HWND control) {
    const std::wstring text = TextOf(control);
    const HDC dc = ::GetDC(control);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return size.cx;
}

TEST(CallerFeaturesTest, EnglishTextsComeFromTheTranslationsAndFitTheWindow) {
    const struct {
        bool English;
        int Id;
        const wchar_t* Text;
    } cases[] = {
        {false, IDC_LABEL2, L"調査間隔"},   {false, IDC_LOGRINGFLAG, L"着信履歴をﾌｧｲﾙ"},
        {true, IDC_LABEL2, L"Interval"},    {true, IDC_LOGRINGFLAG, L"Log to file"},
        {true, IDC_WAITBUTTON, L"Standby"}, {true, IDC_INTERVALSELECTOR, L" 5分"},
    };
    for (const bool english : {false, true}) {
        SetEnglishInterface(english);
        TMainForm form(::GetModuleHandleW(nullptr));
        ASSERT_TRUE(form.Create());
        for (const auto& c : cases) {
            if (c.English == english) {
                EXPECT_EQ(TextOf(::GetDlgItem(form.Handle(), c.Id)), c.Text);
            }
        }
        RECT client{};
        ::GetClientRect(form.Handle(), &client);
        for (const TControlLayout& layout : kMainControls) {
            const HWND control = ::GetDlgItem(form.Handle(), layout.Id);
            RECT box{};
            ::GetWindowRect(control, &box);
            ::MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&box), 2);
            // Labels grow with their text, within the window; buttons and the
            // check box keep their size, so the text must fit inside (a check
            // box's box takes about 16 pixels).
            if (layout.Kind != TControlKind::ckLabel) {
                const int room = (box.right - box.left) - (layout.Id == IDC_LOGRINGFLAG ? 16 : 4);
                EXPECT_LE(TextWidth(control), room) << english << " " << layout.Id;
            }
            EXPECT_LE(box.right, client.right) << english << " " << layout.Id;
        }
    }
    SetEnglishInterface(false);
}

} // namespace
} // namespace telvane::win32
