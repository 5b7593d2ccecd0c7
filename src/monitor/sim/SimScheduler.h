// A discrete-event scheduler on a simulated clock in milliseconds, so that
// days of polling run in moments and always the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace telvane::sim {

class TSimScheduler {
public:
    using TAction = std::function<void()>;
    using TEventId = std::uint64_t;

    std::uint64_t Now() const { return Now_; }

    // Runs action at the given time (not before now). Events at the same
    // time run in the order they were posted.
    TEventId PostAt(std::uint64_t at, TAction action);
    TEventId PostAfter(std::uint64_t delay, TAction action) {
        return PostAt(Now_ + delay, std::move(action));
    }
    void Cancel(TEventId id);

    // Runs every event due up to and including time, then sets the clock to it.
    void RunUntil(std::uint64_t time);
    void RunFor(std::uint64_t duration) { RunUntil(Now_ + duration); }
    // Runs events until predicate holds or time passes; returns the predicate.
    bool RunUntilTrue(const std::function<bool()>& predicate, std::uint64_t timeLimit);
    // Moves the clock on without running anything: time spent inside a modal
    // box, while the window thread runs no handler of ours.
    void Skip(std::uint64_t duration) { Now_ += duration; }

    std::size_t PendingEvents() const { return Events_.size(); }

private:
    // Key: (time, sequence number) so that equal times keep posting order.
    std::map<std::pair<std::uint64_t, TEventId>, TAction> Events_;
    std::map<TEventId, std::uint64_t> TimeOfEvent_;
    std::uint64_t Now_ = 0;
    TEventId NextId_ = 1;
};

} // namespace telvane::sim
