// The version dialog from the program's own resources: its caption, a system
// menu of Move and Close only, and a modal showing that is maximised every
// time and ends hidden.
#include "win32/widgets/AboutDialog.h"
#include "win32/Resource.h"
#include "win32/Translation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace telvane::win32 {
namespace {

struct TShowing {
    HWND Dialog = nullptr;
    int Showings = 0;
    int Maximised = 0;
};
TShowing Seen;

// Runs inside the dialog's modal loop: looks at it, then presses OK.
void CALLBACK LookAndPressOk(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    ++Seen.Showings;
    Seen.Maximised += ::IsZoomed(Seen.Dialog) && ::IsWindowVisible(Seen.Dialog) ? 1 : 0;
    ::PostMessageW(Seen.Dialog, WM_COMMAND, IDC_OKBUTTON, 0);
}

TEST(AboutDialogTest, OpensMaximisedEachTimeWithMoveAndCloseOnly) {
    SetEnglishInterface(false);
    TMyAboutDialogBox dialog(::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(dialog.Handle());
    EXPECT_FALSE(::IsWindowVisible(dialog.Handle()));
    wchar_t caption[32] = {};
    ::GetWindowTextW(dialog.Handle(), caption, 32);
    EXPECT_EQ(std::wstring(caption), L"ﾊﾞｰｼﾞｮﾝ情報");

    std::vector<UINT> commands;
    const HMENU menu = ::GetSystemMenu(dialog.Handle(), FALSE);
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        if (const UINT id = ::GetMenuItemID(menu, i); id != 0) {
            commands.push_back(id);
        }
    }
    EXPECT_EQ(commands, (std::vector<UINT>{SC_MOVE, SC_CLOSE}));

    Seen.Dialog = dialog.Handle();
    for (int showing = 0; showing < 2; ++showing) {
        ::SetTimer(nullptr, 0, 50, &LookAndPressOk);
        dialog.ShowModalMaximized();
        EXPECT_FALSE(::IsWindowVisible(dialog.Handle()));
    }
    EXPECT_EQ(Seen.Showings, 2);
    EXPECT_EQ(Seen.Maximised, 2);
}

} // namespace
} // namespace telvane::win32
