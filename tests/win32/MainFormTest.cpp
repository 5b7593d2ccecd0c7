// The Windows front end on the real window, over the real service with a
// simulated adapter behind the port: the caller at a glance, in the balloon
// and the tray's tooltip, the window brought back from the tray, the menu,
// the history's foot and the settings dialog with the contacts' problems,
// the notice box, the log-off without a box, and the texts fitting the window.
#include "win32/MainForm.h"
#include "monitor/CallerMonitor.h"
#include "monitor/Settings.h"
#include "monitor/sim/MemorySettingsStore.h"
#include "monitor/sim/SimAdapter.h"
#include "service/History.h"
#include "service/Service.h"
#include "win32/Layout.h"
#include "win32/Resource.h"
#include "win32/Translation.h"
#include "win32/callers/Glance.h"
#include "win32/callers/HistoryWindow.h"
#include "win32/outputs/Notifier.h"
#include "win32/outputs/SettingsDialog.h"
#include "win32/outputs/TrayIcon.h"
#include "win32/widgets/NoticeBox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace telvane::win32 {
namespace {

namespace fs = std::filesystem;

const std::string kCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xE5\xB1\xB1\xE7\x94\xB0\r\n"
                          "TEL:+81 3-1234-5678\r\nEND:VCARD\r\n"; // 山田

// Runs the thread's messages until done() or about timeout.
template <typename Done> bool PumpUntil(Done done, DWORD timeout = 10000) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeout) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&message);
        }
    }
    return true;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return text;
}

// Counts the message boxes this thread opens, and closes each at once, so
// that a box shows as a number instead of holding the test up.
class TBoxWatch {
public:
    TBoxWatch() {
        Count_ = 0;
        Hook_ = ::SetWindowsHookExW(WH_CBT, &Created, nullptr, ::GetCurrentThreadId());
    }
    ~TBoxWatch() { ::UnhookWindowsHookEx(Hook_); }
    int Boxes() const { return Count_; }

private:
    static LRESULT CALLBACK Created(int code, WPARAM window, LPARAM lParam) {
        const auto* created = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        // A message box's text is the child with the id 0xFFFF.
        if (code == HCBT_CREATEWND && created->lpcs->hwndParent &&
            created->lpcs->hMenu == reinterpret_cast<HMENU>(0xFFFF)) {
            ++Count_;
            ::PostMessageW(created->lpcs->hwndParent, WM_COMMAND, IDOK, 0);
        }
        return ::CallNextHookEx(nullptr, code, window, lParam);
    }
    static inline int Count_ = 0;
    HHOOK Hook_;
};

// The adapter's port: each query is answered at once with the adapter's
// listing, as the watch thread would hand it over.
class TAnsweringPort final : public IPort {
public:
    sim::TSimAdapter Adapter;
    std::function<void(std::uint16_t)> Received;

    void SetPort(std::uint8_t) override {}
    void Open() override {}
    void Close() override {}
    void WriteString(const std::string&) override {
        Pending_ = Adapter.Listing();
        if (Received) {
            Received(static_cast<std::uint16_t>(Pending_.size()));
        }
    }
    std::size_t Read(char* buffer, std::size_t count) override {
        const std::size_t size = std::min(count, Pending_.size());
        std::memcpy(buffer, Pending_.data(), size);
        Pending_.erase(0, size);
        return size;
    }

private:
    std::string Pending_;
};

// The window and the service on a folder of their own, the settings in
// memory, started and through its first answered query.
struct TRig {
    explicit TRig(const std::function<void(ISettingsStore&, const fs::path&)>& settings = {}) {
        Folder =
            fs::temp_directory_path() / ("telvane-form-" + std::to_string(::GetCurrentProcessId()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        Store.OpenKey(SettingsKey, true);
        Store.WriteText("Port", "COM1");
        Store.WriteFlag("LogRing", true);
        if (settings) {
            settings(Store, Folder);
        }
        Store.CloseKey();
        SetEnglishInterface(false);
        EXPECT_TRUE(Form.Create());
        TServiceOptions options;
        options.Places.ConfigFolder = Folder;
        options.Places.OwnPhonebook = Folder / "phonebook.vcf";
        options.Places.HookLog = Folder / "hook.log";
        options.Places.CallLogFolder = Folder;
        options.Port = &Port;
        Service = std::make_unique<TService>(Form, Form.Timer(), Store, options);
        Port.Received = [this](std::uint16_t size) { Service->Monitor().Comm1CommReceive(size); };
        Form.Attach(*Service);
        Service->Start();
        EXPECT_TRUE(PumpUntil([this] { return !Service->Monitor().GetLastPollTime().empty(); }));
    }
    ~TRig() {
        Form.Detach();
        Service.reset();
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    HWND Control(int id) const { return ::GetDlgItem(Form.Handle(), id); }

    fs::path Folder;
    sim::TMemorySettingsStore Store;
    TAnsweringPort Port;
    TMainForm Form{::GetModuleHandleW(nullptr)};
    std::unique_ptr<TService> Service;
};

std::string WideText(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t c : text) {
        bytes += c < 128 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
    }
    return bytes;
}

std::wstring RunValue() {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       L"Telvane", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return data;
}

bool Checked(HMENU menu, UINT id) {
    return (::GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

TEST(MainFormTest, ANewCallerShowsInTheGlanceBalloonAndTrayAndBringsTheWindowBackFromTheTray) {
    TBoxWatch boxes;
    TRig rig([](ISettingsStore& store, const fs::path& folder) {
        std::ofstream(folder / "phonebook.vcf", std::ios::binary) << kCard;
        store.WriteFlag("Notify", true);
        store.WriteFlag("Tray", true);
    });
    TMainForm& form = rig.Form;
    // No caller on show: the window has exactly the controls it always had.
    EXPECT_EQ(form.Glance().Handle(), nullptr);
    const HMENU before = form.BuildContextMenu();
    EXPECT_NE(::GetMenuState(before, IDM_NAMECALLER, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_TRUE(Checked(before, IDM_NOTIFY));
    EXPECT_TRUE(Checked(before, IDM_TRAY));
    ::DestroyMenu(before);

    // Hidden with a click on the tray icon; a new caller brings it back.
    form.Show(SW_SHOWNOACTIVATE);
    ::SendMessageW(form.Handle(), TMainForm::kTrayMessage, 0, WM_LBUTTONUP);
    ASSERT_FALSE(::IsWindowVisible(form.Handle()));
    rig.Port.Adapter.Ring("0312345678");
    rig.Service->CheckNow();
    ASSERT_TRUE(PumpUntil([&] { return TextOf(rig.Control(IDC_NUMBERLABEL)) == L"0312345678"; }));
    EXPECT_TRUE(::IsWindowVisible(form.Handle()));

    // Who it is, at a glance below the number, in the balloon and the tray.
    ASSERT_TRUE(PumpUntil([&] { return form.Glance().Handle() != nullptr; }));
    EXPECT_EQ(TextOf(form.Glance().Handle()).rfind(L"山田", 0), 0u);
    RECT glance{}, number{};
    ::GetWindowRect(form.Glance().Handle(), &glance);
    ::GetWindowRect(rig.Control(IDC_NUMBERLABEL), &number);
    EXPECT_GE(glance.top, number.bottom) << "the glance covers the number";
    EXPECT_EQ(form.Notifier().Title(), L"山田");
    // The number in its national format and its area, as on Linux.
    EXPECT_EQ(form.Notifier().Body().rfind(L"03-1234-5678\n東京", 0), 0u)
        << WideText(form.Notifier().Body());
    EXPECT_NE(form.Tray().Tip().find(L"山田"), std::wstring::npos);
    EXPECT_TRUE(form.Tray().AdapterUp());

    // The menu: naming is open to this caller; starting at logon sets and
    // removes the Run value, and the menu shows it.
    const HMENU after = form.BuildContextMenu();
    EXPECT_EQ(::GetMenuState(after, IDM_NAMECALLER, MF_BYCOMMAND) & MF_GRAYED, 0u);
    ::DestroyMenu(after);
    if (RunValue() == L"<none>") {
        form.Command(IDM_AUTOSTART);
        EXPECT_NE(RunValue().find(L"win32_tests.exe\""), std::wstring::npos) << RunValue();
        const HMENU checked = form.BuildContextMenu();
        EXPECT_TRUE(Checked(checked, IDM_AUTOSTART));
        ::DestroyMenu(checked);
        form.Command(IDM_AUTOSTART);
        EXPECT_EQ(RunValue(), L"<none>");
    }
    // The notification switched off is kept.
    form.Command(IDM_NOTIFY);
    rig.Store.OpenKey(SettingsKey, false);
    EXPECT_EQ(rig.Store.ReadFlag("Notify"), false);
    rig.Store.CloseKey();
    EXPECT_EQ(boxes.Boxes(), 0);
}

// A chosen file that cannot be read comes once as a balloon; what is wrong
// with the contacts, also the cards skipped, shows at the history's foot and
// in the settings dialog, which says what it refuses without a box.
TEST(MainFormTest, ContactsProblemsShowAtTheHistorysFootAndInTheSettingsWithoutABox) {
    TBoxWatch boxes;
    // Also with no balloon for callers.
    TRig rig([](ISettingsStore& store, const fs::path& folder) {
        store.WriteUtf8Text("Phonebook", (folder / "missing.vcf").u8string());
        store.WriteFlag("Notify", false);
    });
    ASSERT_TRUE(PumpUntil([&] { return rig.Form.Notifier().Count() > 0; }));
    EXPECT_EQ(rig.Form.Notifier().Title(), L"電話帳を読めません");
    EXPECT_NE(rig.Form.Notifier().Body().find(L"missing.vcf: ファイルがありません"),
              std::wstring::npos);
    THistoryWindow& history = rig.Form.ShowHistory();
    ASSERT_NE(history.Handle(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !history.History()->Reading(); }));
    const HWND foot = ::GetDlgItem(history.Handle(), IDC_HISTORYSTATUS);
    const std::wstring status = TextOf(foot);
    EXPECT_EQ(status.rfind(L"1 件の着信\r\n電話帳: ", 0), 0u) << status;
    EXPECT_NE(status.find(L"missing.vcf: ファイルがありません"), std::wstring::npos) << status;
    EXPECT_EQ(ListView_GetItemCount(::GetDlgItem(history.Handle(), IDC_HISTORYLIST)), 1);

    std::ofstream(rig.Folder / "missing.vcf", std::ios::binary)
        << std::string("BEGIN:VCARD\r\nFN:Nul\r\nTEL:0612") + '\0' + "\r\nEND:VCARD\r\n"
        << kCard;
    rig.Service->FilesChanged();
    ASSERT_TRUE(PumpUntil([&] {
        return TextOf(foot).find(L"missing.vcf:3: ") != std::wstring::npos;
    })) << WideText(TextOf(foot));
    rig.Form.Command(IDM_SETTINGS);
    const HWND settings = rig.Form.Settings()->Handle();
    ASSERT_NE(settings, nullptr);
    EXPECT_NE(TextOf(::GetDlgItem(settings, IDC_SETTINGSPROBLEMS)).find(L"missing.vcf:3: "),
              std::wstring::npos);
    ::SetDlgItemTextW(settings, IDC_SETTINGSREGION, L"JPN");
    ::SendMessageW(settings, WM_COMMAND, IDOK, 0);
    EXPECT_NE(TextOf(::GetDlgItem(settings, IDC_SETTINGSFAULT)), L"");
    ::SetDlgItemTextW(settings, IDC_SETTINGSREGION, L"us");
    ::SendMessageW(settings, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(rig.Form.Settings()->Handle(), nullptr);
    rig.Store.OpenKey(SettingsKey, false);
    EXPECT_EQ(rig.Store.ReadText("Region"), std::string("US"));
    rig.Store.CloseKey();
    EXPECT_EQ(rig.Form.Notifier().Count(), 1);
    EXPECT_EQ(boxes.Boxes(), 0);

    // Closed by the user, it gives the history back.
    ::SendMessageW(history.Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(rig.Form.History(), nullptr);
    EXPECT_EQ(rig.Service->History(), nullptr);
}

// The visible dialog boxes of this program, on any of its threads.
std::vector<HWND> ProgramBoxes() {
    std::vector<HWND> boxes;
    ::EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            wchar_t name[16] = {};
            ::GetClassNameW(window, name, 16);
            if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
                std::wstring(name) == L"#32770") {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

std::wstring ChildTexts(HWND window) {
    std::wstring texts;
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM all) -> BOOL {
            *reinterpret_cast<std::wstring*>(all) += TextOf(child) + L"|";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

TEST(MainFormTest, ANewerNoticeTakesThePlaceOfTheOpenOneAndTheLogOffSavesWithoutABox) {
    TBoxWatch boxes;
    TRig rig;
    rig.Form.ShowNotice("one");
    rig.Form.ShowNotice("two");
    // Boxes of threads of their own would come in meanwhile.
    PumpUntil([] { return ProgramBoxes().size() > 1; }, 1000);
    const std::vector<HWND> shown = ProgramBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(::GetWindow(shown[0], GW_OWNER), rig.Form.Handle());
    EXPECT_EQ(ChildTexts(shown[0]).rfind(L"two|", 0), 0u) << ChildTexts(shown[0]);

    // The settings cannot be saved: at the session's end that goes to the
    // log only; closing the window shows it.
    rig.Store.RefuseOpen = true;
    EXPECT_TRUE(::SendMessageW(rig.Form.Handle(), WM_QUERYENDSESSION, 0, 0));
    ::SendMessageW(rig.Form.Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(boxes.Boxes(), 0);
    rig.Form.Show(SW_SHOWNOACTIVATE);
    ::SendMessageW(rig.Form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(boxes.Boxes(), 1);
    EXPECT_EQ(rig.Form.Handle(), nullptr);
    MSG quit{};
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
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

TEST(MainFormTest, EnglishTextsComeFromTheTranslationsAndFitTheWindow) {
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
