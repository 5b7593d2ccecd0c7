#include "daemon/DaemonFrontEnd.h"

#include "daemon/EventLoop.h"
#include "monitor/CallSink.h"

#include <cerrno>
#include <unistd.h>

namespace telvane {

void ReportLine(const std::string& line) {
    std::string text = "telvaned: " + line;
    // A line of the log is one line, whatever a text brought along.
    for (char& c : text) {
        c = c == '\n' || c == '\r' ? ' ' : c;
    }
    text += '\n';
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // nowhere to say it
        }
        written += static_cast<std::size_t>(n);
    }
}

void TDaemonFrontEnd::Report(const std::string& line) {
    ReportLine(line);
}

void TDaemonFrontEnd::Post(std::function<void()> task) {
    Loop_.Post(std::move(task));
}

void TDaemonFrontEnd::ShowCall(const TCallShown& call) {
    const TCallEvent& event = call.Event;
    std::string who = event.Name;
    if (!event.Area.empty()) {
        who += who.empty() ? event.Area : " (" + event.Area + ")";
    }
    Report("call " + event.Display + (who.empty() ? "" : ", " + who) + " at " + call.TimeText);
}

void TDaemonFrontEnd::ShowTray(const std::string& /*tooltip*/, bool adapterUp) {
    if (adapterUp == AdapterUp_) {
        return;
    }
    AdapterUp_ = adapterUp;
    Report(adapterUp ? std::string("adapter: answering again (link up)")
                     : "adapter: no answer to " + std::to_string(kAdapterDownAfter) +
                           " queries in a row (link down)");
}

} // namespace telvane
