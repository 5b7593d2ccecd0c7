#include "monitor/sim/SimScheduler.h"

#include <algorithm>

namespace telvane::sim {

TSimScheduler::TEventId TSimScheduler::PostAt(std::uint64_t at, TAction action) {
    const TEventId id = NextId_++;
    at = std::max(at, Now_);
    Events_.emplace(std::make_pair(at, id), std::move(action));
    TimeOfEvent_.emplace(id, at);
    return id;
}

void TSimScheduler::Cancel(TEventId id) {
    const auto found = TimeOfEvent_.find(id);
    if (found == TimeOfEvent_.end()) {
        return;
    }
    Events_.erase(std::make_pair(found->second, id));
    TimeOfEvent_.erase(found);
}

void TSimScheduler::RunUntil(std::uint64_t time) {
    while (!Events_.empty() && Events_.begin()->first.first <= time) {
        auto first = Events_.begin();
        Now_ = first->first.first;
        TAction action = std::move(first->second);
        TimeOfEvent_.erase(first->first.second);
        Events_.erase(first);
        action();
    }
    Now_ = std::max(Now_, time);
}

bool TSimScheduler::RunUntilTrue(const std::function<bool()>& predicate, std::uint64_t timeLimit) {
    const std::uint64_t end = Now_ + timeLimit;
    while (!predicate()) {
        if (Events_.empty() || Events_.begin()->first.first > end) {
            Now_ = std::max(Now_, end);
            return predicate();
        }
        RunUntil(Events_.begin()->first.first);
    }
    return true;
}

} // namespace telvane::sim
