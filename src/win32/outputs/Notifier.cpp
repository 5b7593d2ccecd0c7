#include "win32/outputs/Notifier.h"

#include "monitor/WideText.h"
#include "win32/outputs/TrayIcon.h"

namespace telvane::win32 {
namespace {

// A balloon's own icon goes at the latest after this.
constexpr UINT kBalloonMilliseconds = 30000;

} // namespace

TNotifier::TNotifier(HWND window, TTrayIcon& icon) : Window_(window), Icon_(icon) {}

TNotifier::~TNotifier() {
    ::KillTimer(Window_, kBalloonTimer);
}

void TNotifier::Show(const std::string& title, const std::string& body, bool warning) {
    Title_ = WideFromUtf8(title);
    Body_ = WideFromUtf8(body);
    ++Count_;
    Icon_.Balloon(Title_, Body_, warning ? NIIF_WARNING : NIIF_INFO);
    if (!Icon_.Kept() && Icon_.Shown()) {
        ::SetTimer(Window_, kBalloonTimer, kBalloonMilliseconds, nullptr);
    }
}

void TNotifier::Ended() {
    ::KillTimer(Window_, kBalloonTimer);
    Icon_.BalloonEnded();
}

} // namespace telvane::win32
