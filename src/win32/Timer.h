// The service's timer on a window timer (SetTimer/KillTimer). Ticks arrive
// through the thread's message loop, also while a modal box is open.
#pragma once

#include "monitor/Timer.h"

#include <functional>

#include <windows.h>

namespace telvane::win32 {

class TTimer final : public ITimer {
public:
    explicit TTimer(std::function<void()> onTimer);
    ~TTimer() override;
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return Enabled_; }
    void SetInterval(std::uint32_t milliseconds) override;
    std::uint32_t Interval() const override { return Interval_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Restart();

    std::function<void()> OnTimer_;
    HWND Window_ = nullptr;
    bool Enabled_ = false;
    std::uint32_t Interval_ = 5000;
};

} // namespace telvane::win32
