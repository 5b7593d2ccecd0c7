#include "qt/Timer.h"

#include <limits>

namespace telvane {

TQtTimer::TQtTimer(std::function<void()> onTimer, QObject* parent)
    : QObject(parent), OnTimer_(std::move(onTimer)) {
    // Coarse timers may fire 5% early; the 100 ms and 5000 ms waits of a
    // query must not.
    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, [this] { OnTimer_(); });
}

void TQtTimer::SetEnabled(bool enabled) {
    Enabled_ = enabled;
    Restart();
}

void TQtTimer::SetInterval(std::uint32_t milliseconds) {
    Interval_ = milliseconds;
    // Like a window timer, a new interval restarts a running timer.
    Restart();
}

void TQtTimer::Restart() {
    const bool ticks = Enabled_ && Interval_ > 0 &&
                       Interval_ <= static_cast<std::uint32_t>(std::numeric_limits<int>::max());
    if (ticks) {
        Timer_.start(static_cast<int>(Interval_));
    } else {
        Timer_.stop();
    }
}

} // namespace telvane
