#include "service/History.h"

#include "callers/CallerDirectory.h"
#include "callers/FreedMemory.h"
#include "monitor/ShiftJisUtf8.h"
#include "service/CallerDescription.h"

#include <algorithm>

namespace telvane {
namespace {

// Small batches: closing the window waits for the one under way.
constexpr std::size_t kKeysAtOnce = 250;
// Callers described for the rows on show; a long log has many more.
constexpr std::size_t kDescribedKept = 4096;
// The longest ring time: "yyyy/mm/dd hh:nn:ss".
constexpr std::size_t kTimeLength = 19;

// Lower case for the ASCII letters; Japanese has no case.
std::string Lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool Holds(const std::string& text, const std::string& lowered) {
    return Lowered(text).find(lowered) != std::string::npos;
}

bool CallerMatches(const TCallerDescription& caller, const std::string& lowered) {
    return Holds(caller.Display, lowered) || Holds(caller.Who(), lowered) ||
           Holds(caller.Text, lowered);
}

} // namespace

// What the worker keeps for itself.
struct THistory::TWork {
    explicit TWork(const std::filesystem::path& log) : Reader(log) {}
    TCallLogReader Reader;
};

// A search: the callers and the times are matched on the worker, then the
// calls are gone through on the window's thread.
struct THistory::TSearch {
    std::string Lowered;
    int Round = 0;
    std::size_t Calls = 0; // the calls searched; later ones are matched at the end
    std::vector<std::string> Texts;
    std::uint64_t EndOffset = 0;
    std::vector<char> CallerMatches;
    std::vector<bool> TimeMatches; // per call; empty when no time can match
};

THistory::THistory(std::filesystem::path log, const TCallerDirectory& directory, TPost post)
    : Log_(std::move(log)), Directory_(directory), PostToWindow_(std::move(post)), Index_(Log_),
      Work_(std::make_unique<TWork>(Log_)) {}

THistory::~THistory() {
    *Alive_ = false;
    SearchRound_ = -1;
    Described_.clear();
    Shown_ = {};
    Search_.reset();
    // The worker's own state stays until the worker ends (the last member
    // goes first); what reading took goes back once all is gone.
    PostToWindow_(&ReturnFreedMemory);
}

void THistory::Post(std::function<void()> task) {
    PostToWindow_([alive = std::weak_ptr<bool>(Alive_), task = std::move(task)] {
        if (alive.lock()) {
            task();
        }
    });
}

void THistory::Refresh() {
    if (ReadingPiece_) {
        ReadAgain_ = true;
        return;
    }
    ReadMore();
}

void THistory::ReadMore() {
    ReadingPiece_ = true;
    Worker_.Run([this, work = Work_.get()] {
        auto piece = std::make_shared<const TCallLogPiece>(work->Reader.Read());
        Post([this, piece] { TakePiece(*piece); });
    });
}

void THistory::TakePiece(const TCallLogPiece& piece) {
    ReadingPiece_ = false;
    if (piece.Restarted) {
        // Cut or replaced by someone: what was read before is gone.
        Rows_ = 0;
        Shown_ = {};
        Filter_.clear();
        Described_.clear();
        SearchRound_ = ++Round_;
        Search_.reset(); // searched again once the log is read
        Keying_ = false;
        Loading_ = true;
        if (View_ != nullptr) {
            View_->RowsReset();
            View_->Progress();
        }
    }
    Index_.Add(piece);
    if (piece.More) {
        ReadMore();
    } else if (Loading_) {
        // The whole log shows at once, not a screenful at a time.
        Loading_ = false;
        Rows_ = Index_.Calls();
        if (View_ != nullptr) {
            View_->RowsReset();
        }
        if (!Wanted_.empty()) {
            StartSearch();
        }
        if (View_ != nullptr) {
            View_->Progress();
        }
        ReturnFreedMemory();
    }
    if (!piece.More && ReadAgain_) {
        ReadAgain_ = false;
        ReadMore();
    }
    KeyMore();
    if (!Loading_) {
        TakeNewCalls();
    }
}

void THistory::TakeNewCalls() {
    if (Rows_ == Index_.Calls()) {
        return;
    }
    // New calls come on top, newest first.
    std::vector<std::uint32_t> shown;
    for (std::size_t call = Index_.Calls(); call-- > Rows_;) {
        if (Filter_.empty() || Matches(call, Filter_)) {
            shown.push_back(std::uint32_t(call));
        }
    }
    Rows_ = Index_.Calls();
    if (!Filter_.empty()) {
        Shown_.insert(Shown_.begin(), shown.begin(), shown.end());
    }
    if (View_ != nullptr) {
        if (!shown.empty()) {
            View_->RowsAdded(shown.size());
        }
        // The counts of earlier calls from the same numbers grew.
        View_->RowsChanged();
    }
}

void THistory::KeyMore() {
    if (Keying_ || Loading_ || Index_.Keyed() == Index_.Callers()) {
        return;
    }
    Keying_ = true;
    const std::size_t first = Index_.Keyed();
    std::vector<std::string> texts;
    for (std::size_t caller = first; caller < std::min(Index_.Callers(), first + kKeysAtOnce);
         ++caller) {
        texts.push_back(Index_.Text(std::uint32_t(caller)));
    }
    Worker_.Run([this, texts = std::move(texts), round = Round_, first] {
        auto keys = std::make_shared<std::vector<std::string>>();
        for (const std::string& text : texts) {
            keys->push_back(Directory_.MatchKey(text));
        }
        Post([this, keys, round, first] {
            if (round != Round_) {
                return;
            }
            Keying_ = false;
            if (first == Index_.Keyed()) {
                Index_.AddKeys(*keys);
            }
            if (Index_.Keyed() == Index_.Callers() && View_ != nullptr) {
                View_->RowsChanged();
            }
            KeyMore();
        });
    });
}

void THistory::CallersChanged() {
    ++Round_;
    Keying_ = false;
    Index_.ForgetKeys();
    Described_.clear();
    KeyMore();
    if (!Wanted_.empty()) {
        StartSearch();
    }
    if (View_ != nullptr) {
        View_->RowsChanged();
    }
}

void THistory::SetFilter(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    Wanted_ =
        first == std::string::npos ? std::string() : Lowered(text.substr(first, last - first + 1));
    if (!Wanted_.empty()) {
        StartSearch();
        return;
    }
    SearchRound_ = ++Round_;
    Search_.reset();
    if (!Filter_.empty()) {
        Filter_.clear();
        Shown_ = {};
        if (View_ != nullptr) {
            View_->RowsReset();
        }
    }
    KeyMore();
    if (View_ != nullptr) {
        View_->Progress();
    }
}

void THistory::StartSearch() {
    auto search = std::make_shared<TSearch>();
    search->Lowered = Wanted_;
    search->Round = ++Round_;
    SearchRound_ = search->Round;
    Keying_ = false;
    Search_ = search;
    if (View_ != nullptr) {
        View_->Progress();
    }
    if (Loading_) {
        return; // goes on once the log is read
    }
    KeyMore();
    search->Calls = Index_.Calls();
    search->EndOffset = Index_.EndOffset();
    search->Texts.reserve(Index_.Callers());
    for (std::size_t caller = 0; caller < Index_.Callers(); ++caller) {
        search->Texts.push_back(Index_.Text(std::uint32_t(caller)));
    }
    Worker_.Run([this, search] {
        const auto stale = [this, search] { return SearchRound_ != search->Round; };
        search->CallerMatches.reserve(search->Texts.size());
        for (const std::string& text : search->Texts) {
            if (stale()) {
                return;
            }
            search->CallerMatches.push_back(
                CallerMatches(DescribeCaller(Directory_, text), search->Lowered));
        }
        search->Texts = {};
        // Times are ASCII digits and punctuation.
        const bool mayBeTime =
            search->Lowered.size() <= kTimeLength &&
            std::all_of(search->Lowered.begin(), search->Lowered.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (mayBeTime) {
            search->TimeMatches = CallsAtTimes(Log_, search->Lowered, search->EndOffset, stale);
        }
        Post([this, search] { TakeSearch(search); });
    });
}

void THistory::TakeSearch(const std::shared_ptr<TSearch>& search) {
    if (Search_ != search) {
        return;
    }
    std::vector<std::uint32_t> found;
    // Calls logged since the search began, then those it went through.
    for (std::size_t call = Index_.Calls(); call-- > search->Calls;) {
        if (Matches(call, search->Lowered)) {
            found.push_back(std::uint32_t(call));
        }
    }
    const std::vector<bool>& times = search->TimeMatches;
    for (std::size_t call = search->Calls; call-- > 0;) {
        if (search->CallerMatches[Index_.CallerOf(call)] != 0 ||
            (call < times.size() && times[call])) {
            found.push_back(std::uint32_t(call));
        }
    }
    Shown_ = std::move(found);
    Filter_ = search->Lowered;
    Search_.reset();
    if (View_ != nullptr) {
        View_->RowsReset();
        View_->Progress();
    }
}

const THistory::TDescribed& THistory::Described(std::uint32_t caller) const {
    auto found = Described_.find(caller);
    if (found == Described_.end()) {
        if (Described_.size() >= kDescribedKept) {
            Described_.clear();
        }
        const TCallerDescription description = DescribeCaller(Directory_, Index_.Text(caller));
        found = Described_
                    .emplace(caller, TDescribed{description.Display, description.Who(),
                                                description.Details(), description.Text})
                    .first;
    }
    return found->second;
}

bool THistory::Matches(std::size_t call, const std::string& lowered) const {
    const TDescribed& caller = Described(Index_.CallerOf(call));
    if (Holds(caller.Display, lowered) || Holds(caller.Who, lowered) ||
        Holds(caller.Text, lowered)) {
        return true;
    }
    const auto record = Index_.Call(call);
    return record && Holds(record->RingTime, lowered);
}

std::size_t THistory::CallAt(std::size_t row) const {
    return Filter_.empty() ? Rows_ - 1 - row : Shown_[row];
}

const std::string& THistory::NumberAt(std::size_t row) const {
    return Index_.Text(Index_.CallerOf(CallAt(row)));
}

THistoryRow THistory::Row(std::size_t row) const {
    const std::size_t call = CallAt(row);
    const std::uint32_t caller = Index_.CallerOf(call);
    const TDescribed& described = Described(caller);
    THistoryRow shown;
    // Read from the log: a file replaced since shows no time until the next
    // refresh reads it anew.
    if (const auto record = Index_.Call(call)) {
        shown.Time = Utf8FromShiftJis(record->RingTime);
    }
    shown.Number = Index_.Text(caller);
    shown.Text = described.Text;
    shown.Display = described.Display;
    shown.Who = described.Who;
    shown.Details = described.Details;
    shown.Count = Index_.CountOf(caller);
    return shown;
}

} // namespace telvane
