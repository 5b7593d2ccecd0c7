#include "win32/WinTimer.h"

#include <algorithm>

namespace telvane::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TelvaneTimer";
constexpr UINT_PTR kTimerId = 1;

} // namespace

TWinTimer::TWinTimer(std::function<void()> onTimer) : OnTimer_(std::move(onTimer)) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TWinTimer::WindowProc;
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

TWinTimer::~TWinTimer() {
    if (Window_) {
        ::KillTimer(Window_, kTimerId);
        ::DestroyWindow(Window_);
    }
}

void TWinTimer::SetEnabled(bool enabled) {
    Enabled_ = enabled;
    Restart();
}

void TWinTimer::SetInterval(std::uint32_t milliseconds) {
    Interval_ = milliseconds;
    // A new interval restarts a running timer.
    Restart();
}

void TWinTimer::Restart() {
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

LRESULT CALLBACK TWinTimer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kTimerId) {
        auto* timer = reinterpret_cast<TWinTimer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (timer && timer->OnTimer_) {
            timer->OnTimer_();
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace telvane::win32
