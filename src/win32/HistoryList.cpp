#include "win32/HistoryList.h"

#include <utility>

namespace telvane::win32 {

THistoryList::THistoryList(const TWhoCalled& who, std::filesystem::path log)
    : Who_(who), Index_(std::move(log)) {}

bool THistoryList::Refresh() {
    return Index_.Update(&Who_.Numbers());
}

const std::string& THistoryList::NumberAt(std::size_t row) const {
    return Index_.Text(Index_.CallerOf(Index_.Calls() - 1 - row));
}

THistoryRow THistoryList::Row(std::size_t row) const {
    const std::size_t call = Index_.Calls() - 1 - row;
    const std::uint32_t caller = Index_.CallerOf(call);
    const TCallerView view = Who_.Describe(Index_.Text(caller));
    THistoryRow result;
    // The time is read from the log; a log replaced since shows none until
    // the next refresh reads it anew.
    if (const auto record = Index_.Call(call)) {
        result.Time = record->RingTime;
    }
    result.Number = Index_.Text(caller);
    result.Display = view.Info.Display;
    result.Who = view.NameOrArea();
    result.Count = Index_.CountOf(caller);
    return result;
}

} // namespace telvane::win32
