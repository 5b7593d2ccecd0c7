#include "win32/Timer.h"

#include <algorithm>

namespace telvane::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TelvaneTimer";
constexpr UINT_PTR kTimerId = 1;

} // namespace

TTimer::TTimer(std::function<void()> onTimer) : OnTimer_(std::move(onTimer)) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TTimer::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    // A second timer finds the class registered already.
    ::RegisterClassExW(&windowClass);
    // A message-only window: it receives the ticks and is never shown.
    Window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                                nullptr);
    if (Window_) {
        ::SetWindowLongPtrW(Window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
}

TTimer::~TTimer() {
    if (Window_) {
        ::KillTimer(Window_, kTimerId);
        ::DestroyWindow(Window_);
    }
}

void TTimer::SetEnabled(bool enabled) {
    Enabled_ = enabled;
    Restart();
}

void TTimer::SetInterval(std::uint32_t milliseconds) {
    Interval_ = milliseconds;
    // A new interval restarts a running timer.
    Restart();
}

void TTimer::Restart() {
    if (!Window_) {
        return;
    }
    // SetTimer with the same id replaces the running timer: a full interval
    // from now. Interval 0 would tick at the system's minimum; it must not.
    if (Enabled_ && Interval_ > 0) {
        ::SetTimer(
            Window_, kTimerId,
            std::min<std::uint32_t>(Interval_, static_cast<std::uint32_t>(USER_TIMER_MAXIMUM)),
            nullptr);
    } else {
        ::KillTimer(Window_, kTimerId);
    }
}

LRESULT CALLBACK TTimer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kTimerId) {
        auto* timer = reinterpret_cast<TTimer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (timer && timer->OnTimer_) {
            timer->OnTimer_();
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace telvane::win32
