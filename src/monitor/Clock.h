#pragma once

#include <optional>
#include <string>

namespace telvane {

// The current local date and time as TimeText: "yyyy/mm/dd hh:nn:ss".
class IClock {
public:
    virtual ~IClock() = default;
    virtual std::string Now() const = 0;
};

// The wall clock of this machine, in local time.
class TSystemClock final : public IClock {
public:
    std::string Now() const override;
};

// Formats broken-down time fields as TimeText.
std::string FormatTimeText(int year, int month, int day, int hour, int minute, int second);

// A date and time of the system's time zone, and that zone's offset from UTC
// then, in seconds.
struct TLocalTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    long long UtcOffset = 0;
};

// Platform facts, one file per platform. The time zone is the system's, as
// the user set it: on Windows never the C runtime's TZ variable.
TLocalTime LocalNow();
// The offset from UTC of a local time; nullopt for a time the zone skips.
std::optional<long long> UtcOffsetAt(int year, int month, int day, int hour, int minute,
                                     int second);

} // namespace telvane
