#include "monitor/ShowAllReport.h"

namespace telvane {

std::string ShowAllReport(const std::string& queryTime, const std::string& ringTime,
                          const TSnapshot& previous) {
    std::string report = "(Now: " + queryTime + ")\n\nAt: " + ringTime + "\n\n";
    for (const auto& line : previous) {
        report += line;
        report += '\n';
    }
    return report;
}

} // namespace telvane
