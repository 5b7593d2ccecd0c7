#include "monitor/Clock.h"

#include <ctime>

namespace telvane {

TLocalTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,  local.tm_hour,
            local.tm_min,         local.tm_sec,     local.tm_gmtoff};
}

std::optional<long long> UtcOffsetAt(int year, int month, int day, int hour, int minute,
                                     int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    // A time the zone skips (or a day that is no date) comes back moved.
    if (std::mktime(&local) == static_cast<std::time_t>(-1) || local.tm_mday != day ||
        local.tm_mon != month - 1 || local.tm_hour != hour) {
        return std::nullopt;
    }
    return local.tm_gmtoff;
}

} // namespace telvane
