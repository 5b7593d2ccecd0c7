#include "win32/callers/Glance.h"

#include "monitor/WideText.h"
#include "win32/Resource.h"
#include "win32/widgets/Fonts.h"

namespace telvane::win32 {
namespace {

// The free row left of the log check box, below the time.
constexpr int kLeft = 16, kTop = 58, kWidth = 162, kHeight = 14;

} // namespace

TGlance::TGlance(HWND window, HWND numberLabel, HFONT font, TSetHint setHint)
    : Window_(window), Number_(numberLabel), Font_(font), SetHint_(std::move(setHint)) {}

void TGlance::Show(const std::string& glance, const std::string& details) {
    const std::wstring text = WideFromUtf8(glance);
    const std::wstring hint = WideFromUtf8(details);
    SetHint_(Number_, hint);
    if (!Label_ && text.empty()) {
        return;
    }
    if (!Label_) {
        Label_ = ::CreateWindowExW(
            0, L"STATIC", L"",
            WS_CHILD | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY | SS_ENDELLIPSIS, Scaled(kLeft),
            Scaled(kTop), Scaled(kWidth), Scaled(kHeight), Window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CALLERGLANCE)),
            reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(Window_, GWLP_HINSTANCE)), nullptr);
        ::SendMessageW(Label_, WM_SETFONT, reinterpret_cast<WPARAM>(Font_), FALSE);
    }
    SetHint_(Label_, hint);
    ::SetWindowTextW(Label_, text.c_str());
    ::ShowWindow(Label_, text.empty() ? SW_HIDE : SW_SHOWNA);
}

} // namespace telvane::win32
