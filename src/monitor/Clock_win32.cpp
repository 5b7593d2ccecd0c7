#include "monitor/Clock.h"

#include <windows.h>

namespace telvane {
namespace {

long long Seconds(const SYSTEMTIME& time) {
    FILETIME file{};
    ::SystemTimeToFileTime(&time, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    return static_cast<long long>(ticks.QuadPart / 10000000ULL);
}

// The system's time zone, not the C runtime's: localtime_s would follow a
// TZ variable, which another program may have set for itself.
std::optional<long long> OffsetOf(const SYSTEMTIME& local) {
    SYSTEMTIME utc{};
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) {
        return std::nullopt;
    }
    return Seconds(local) - Seconds(utc);
}

} // namespace

TLocalTime LocalNow() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return {local.wYear,
            local.wMonth,
            local.wDay,
            local.wHour,
            local.wMinute,
            local.wSecond,
            OffsetOf(local).value_or(0)};
}

std::optional<long long> UtcOffsetAt(int year, int month, int day, int hour, int minute,
                                     int second) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    local.wHour = static_cast<WORD>(hour);
    local.wMinute = static_cast<WORD>(minute);
    local.wSecond = static_cast<WORD>(second);
    FILETIME check{};
    if (!::SystemTimeToFileTime(&local, &check)) {
        return std::nullopt; // no such date
    }
    return OffsetOf(local);
}

} // namespace telvane
