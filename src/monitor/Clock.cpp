#include "monitor/Clock.h"

#include <cstdio>

namespace telvane {

std::string TSystemClock::Now() const {
    const TLocalTime now = LocalNow();
    return FormatTimeText(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second);
}

std::string FormatTimeText(int year, int month, int day, int hour, int minute, int second) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

} // namespace telvane
