#include "win32/HistoryList.h"

#include <utility>

namespace telvane::win32 {

THistoryList::THistoryList(const TWhoCalled& who, std::filesystem::path log)
    : Who_(who), Log_(std::move(log)), Counter_(who.Numbers()) {}

bool THistoryList::Refresh() {
    THistoryRead read = ReadCallHistory(Log_, Offset_);
    const bool changed = read.Restarted || !read.Calls.empty();
    if (read.Restarted) {
        Calls_.clear();
        Counter_.Clear();
        Skipped_ = 0;
    }
    Offset_ = read.EndOffset;
    Skipped_ += read.Skipped;
    Counter_.Add(read.Calls);
    Calls_.insert(Calls_.end(), std::make_move_iterator(read.Calls.begin()),
                  std::make_move_iterator(read.Calls.end()));
    return changed;
}

const std::string& THistoryList::NumberAt(std::size_t row) const {
    return Calls_[Calls_.size() - 1 - row].Number;
}

THistoryRow THistoryList::Row(std::size_t row) const {
    const TCallRecord& call = Calls_[Calls_.size() - 1 - row];
    const TCallerView view = Who_.Describe(call.Number);
    THistoryRow result;
    result.Time = call.RingTime;
    result.Number = call.Number;
    result.Display = view.Info.Display;
    result.Who = view.NameOrArea();
    result.Count = Counter_.CountOf(call.Number);
    return result;
}

} // namespace telvane::win32
