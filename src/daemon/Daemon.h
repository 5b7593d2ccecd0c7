// telvaned from its command line to its end: the checks of a start, the
// single instance, the service on the event loop, and the signals.
#pragma once

#include <string>
#include <vector>

namespace telvane {

class TSignalWatch;

// Exit statuses.
inline constexpr int kDaemonSaveFailed = 1;
inline constexpr int kDaemonBadStart = 2;

// Runs telvaned with its arguments (without the program's name) until a
// signal ends it; the exit status. signals: made before any thread.
int RunDaemon(const std::vector<std::string>& arguments, TSignalWatch& signals);

} // namespace telvane
