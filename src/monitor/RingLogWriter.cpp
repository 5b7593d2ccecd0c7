#include "monitor/RingLogWriter.h"

#include "monitor/CallLog.h"
#include "monitor/MonitorError.h"
#include "monitor/Texts.h"

#include <exception>

namespace telvane {

void TRingLogWriter::Add(const std::string& lastPollTime, const std::string& ringTime,
                         const std::string& callerNumber) {
    Pending_.push_back(RingLogLine(lastPollTime, ringTime, callerNumber) + "\r\n");
    if (Pending_.size() > kMaxPending) {
        Pending_.pop_front();
        ++Dropped_;
    }
    Flush();
}

void TRingLogWriter::Flush() {
    if (Pending_.empty()) {
        return;
    }
    std::string lines;
    for (const std::string& line : Pending_) {
        lines += line;
    }
    try {
        AppendRingLogText(Location_.Folder() / texts::kRingLogFileName,
                          Location_.FolderText() + texts::kRingLogFileName, lines);
    } catch (const std::exception& error) {
        if (!Outage_) {
            Outage_ = true;
            View_.ShowNotice(ErrorReportText(error.what()) + "\n" + texts::kRingLogKeptBefore +
                             std::to_string(kMaxPending) + texts::kRingLogKeptAfter);
        }
        return;
    }
    Pending_.clear();
    Outage_ = false;
    if (Dropped_ != 0) {
        View_.ShowNotice(texts::kRingLogDroppedBefore + std::to_string(Dropped_) +
                         texts::kRingLogDroppedAfter);
        Dropped_ = 0;
    }
}

} // namespace telvane
