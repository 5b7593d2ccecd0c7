#pragma once

#include "monitor/Snapshot.h"

#include <string>

namespace telvane {

// The full report shown after a quiet query when the user asked for it:
// "(Now: <query time>)", a blank line, "At: <ring time>", a blank line, then
// the eleven stored lines, each ended by a line feed.
std::string ShowAllReport(const std::string& queryTime, const std::string& ringTime,
                          const TSnapshot& previous);

} // namespace telvane
