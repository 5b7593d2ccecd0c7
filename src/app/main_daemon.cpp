// telvaned: Telvane without a desktop. Builds the service on a plain event
// loop, says every event in a line on standard error, and runs in the
// foreground until SIGTERM or SIGINT; SIGHUP reads the settings again.
#include "daemon/Daemon.h"
#include "daemon/DaemonFrontEnd.h"
#include "daemon/SignalWatch.h"

#include <exception>
#include <memory>

int main(int argc, char** argv) {
    try {
        // Before any thread: every thread inherits the blocked signals.
        telvane::TSignalWatch signals;
        return telvane::RunDaemon(std::vector<std::string>(argv + 1, argv + argc), signals);
    } catch (const std::exception& error) {
        telvane::ReportLine(error.what());
        return telvane::kDaemonBadStart;
    }
}
