#include "monitor/sim/SimClock.h"

namespace telvane::sim {

std::string TimeTextOfSeconds(std::int64_t seconds) {
    // Civil date from a day count (proleptic Gregorian calendar).
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return FormatTimeText(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                          static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                          static_cast<int>(rest % 60));
}

std::string TSimClock::Now() const {
    return TimeTextOfSeconds(StartSeconds_ + static_cast<std::int64_t>(Scheduler_.Now() / 1000));
}

} // namespace telvane::sim
