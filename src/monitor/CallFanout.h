// Hands each call event to every sink added, in the order they were added.
#pragma once

#include "monitor/CallSink.h"

#include <algorithm>
#include <vector>

namespace telvane {

class TCallFanout final : public ICallSink {
public:
    // The sink must outlive this fan-out or be removed first.
    void Add(ICallSink* sink) { Sinks_.push_back(sink); }
    void Remove(ICallSink* sink) {
        Sinks_.erase(std::remove(Sinks_.begin(), Sinks_.end(), sink), Sinks_.end());
    }

    void NewCaller(const std::string& number, const std::string& detectionTime,
                   const std::string& previousPollTime) override {
        for (ICallSink* sink : Sinks_) {
            sink->NewCaller(number, detectionTime, previousPollTime);
        }
    }
    void AdapterHealth(bool up) override {
        for (ICallSink* sink : Sinks_) {
            sink->AdapterHealth(up);
        }
    }

private:
    std::vector<ICallSink*> Sinks_;
};

} // namespace telvane
