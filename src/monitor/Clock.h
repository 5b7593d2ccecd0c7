#pragma once

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

} // namespace telvane
