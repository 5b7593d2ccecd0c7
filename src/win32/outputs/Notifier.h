// The balloon of a new caller, or of a file that cannot be read, at the
// notification-area icon: the title and the body as the service words them. Without a kept icon,
// one is added for the balloon and goes with it, at the latest after a while of its own should the
// shell not say that the balloon went.
#pragma once

#include <string>

#include <windows.h>

namespace telvane::win32 {

class TTrayIcon;

class TNotifier {
public:
    // The window's timer that ends a temporary icon.
    static constexpr UINT_PTR kBalloonTimer = 10;

    TNotifier(HWND window, TTrayIcon& icon);
    ~TNotifier();
    TNotifier(const TNotifier&) = delete;
    TNotifier& operator=(const TNotifier&) = delete;

    // title and body: UTF-8; the body's lines as they are. A warning has the
    // warning's icon.
    void Show(const std::string& title, const std::string& body, bool warning = false);
    // The balloon went: clicked, timed out, closed, or the timer ran out.
    void Ended();
    // What the last balloon said, for tests.
    const std::wstring& Title() const { return Title_; }
    const std::wstring& Body() const { return Body_; }
    int Count() const { return Count_; }

private:
    HWND Window_;
    TTrayIcon& Icon_;
    std::wstring Title_;
    std::wstring Body_;
    int Count_ = 0;
};

} // namespace telvane::win32
