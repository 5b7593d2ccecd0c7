#include "monitor/PollInterval.h"

#include "monitor/MonitorError.h"
#include "monitor/Texts.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace telvane {
namespace {

// Blanks, an optional sign, then one or more decimal digits and nothing else.
std::optional<std::int64_t> ParseDecimal(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) {
        return std::nullopt;
    }
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

} // namespace

std::optional<std::uint32_t> IntervalUnitFactor(const std::string& intervalText) {
    const std::string unit = intervalText.substr(std::min<std::size_t>(2, intervalText.size()), 2);
    if (unit == texts::kUnitMinutes) {
        return 60000;
    }
    if (unit == texts::kUnitSeconds) {
        return 1000;
    }
    return std::nullopt;
}

std::uint32_t PollIntervalMs(const std::string& intervalText, std::uint32_t factor) {
    const auto number = ParseDecimal(intervalText.substr(0, 2));
    if (!number) {
        throw EMonitorError(std::string(texts::kIntervalBefore) + intervalText +
                            texts::kIntervalNotNumber);
    }
    const std::int64_t product = *number * static_cast<std::int64_t>(factor);
    if (product < 0) {
        throw EMonitorError(std::string(texts::kIntervalBefore) + intervalText +
                            texts::kIntervalNegative);
    }
    if (product > std::numeric_limits<std::int32_t>::max()) {
        throw EMonitorError(std::string(texts::kIntervalBefore) + intervalText +
                            texts::kIntervalNotNumber);
    }
    return static_cast<std::uint32_t>(product);
}

} // namespace telvane
