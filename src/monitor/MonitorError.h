#pragma once

#include <stdexcept>
#include <string>

namespace telvane {

// An error of the monitor's own logic. what() is a Shift_JIS message meant
// for the user.
class EMonitorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of the top-level error report for a message: a period is appended
// when the message's last character sorts after ".".
std::string ErrorReportText(const std::string& message);

} // namespace telvane
