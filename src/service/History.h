// The call history: the calls of the call log, newest first, with the
// formatted number, the name or area and how often that number called, for
// any front end to draw. The log is read, its callers keyed and searched on
// a worker thread, so that neither a long log nor a search holds up the
// window's thread, which also polls the adapter; per call only where its
// line starts and who called are kept, and rows are read from the log and
// described only when shown.
#pragma once

#include "callers/CallLogIndex.h"
#include "service/Worker.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace telvane {

class TCallerDirectory;

// What the front end's table hears, on the window's thread.
class IHistoryView {
public:
    virtual ~IHistoryView() = default;
    // Every row may have changed: read anew, or a search ended.
    virtual void RowsReset() = 0;
    // count new rows came on top (rows 0 to count - 1).
    virtual void RowsAdded(std::size_t count) = 0;
    // Counts, names or areas may read differently.
    virtual void RowsChanged() = 0;
    // Reading() or Searching() changed.
    virtual void Progress() = 0;
};

struct THistoryRow {
    std::string Time;    // the ring time as logged (UTF-8)
    std::string Number;  // the caller text as logged (Shift_JIS)
    std::string Text;    // the same in UTF-8
    std::string Display; // UTF-8: formatted, or the text itself
    std::string Who;     // UTF-8: the name, the area or why it is withheld
    std::string Details; // UTF-8, for a tooltip
    std::size_t Count = 0;
};

class THistory {
public:
    // post runs a task on the window's thread (from any thread).
    using TPost = std::function<void(std::function<void()>)>;

    THistory(std::filesystem::path log, const TCallerDirectory& directory, TPost post);
    // Stops the worker and gives the memory back.
    ~THistory();
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;

    void SetView(IHistoryView* view) { View_ = view; }
    // Reads what the log gained (all of it the first time, or when it was cut
    // or replaced).
    void Refresh();
    // Shows only calls whose time, number, name or area hold the text (UTF-8,
    // any case), once the search is done; until then the rows shown stay.
    void SetFilter(const std::string& text);
    // Names, areas or keys may read differently (contacts or region changed).
    void CallersChanged();

    bool Reading() const { return Loading_; }
    bool Searching() const { return Search_ != nullptr; }
    // Whether every count joins the ways one number is written.
    bool Counted() const { return !Loading_ && Index_.Keyed() == Index_.Callers(); }
    std::size_t Calls() const { return Rows_; }
    std::size_t Skipped() const { return Index_.Skipped(); }

    // The rows shown: row 0 is the newest.
    std::size_t Rows() const { return Filter_.empty() ? Rows_ : Shown_.size(); }
    THistoryRow Row(std::size_t row) const;
    const std::string& NumberAt(std::size_t row) const;

private:
    struct TSearch;
    struct TWork;
    struct TDescribed {
        std::string Display, Who, Details, Text;
    };

    std::size_t CallAt(std::size_t row) const;
    const TDescribed& Described(std::uint32_t caller) const;
    bool Matches(std::size_t call, const std::string& lowered) const;
    void ReadMore();
    void TakePiece(const TCallLogPiece& piece);
    void TakeNewCalls();
    void KeyMore();
    void StartSearch();
    void TakeSearch(const std::shared_ptr<TSearch>& search);
    // A task for the window's thread that does nothing once this is gone.
    void Post(std::function<void()> task);

    const std::filesystem::path Log_;
    const TCallerDirectory& Directory_;
    const TPost PostToWindow_;
    IHistoryView* View_ = nullptr;
    TCallLogIndex Index_;
    std::size_t Rows_ = 0; // calls taken in
    bool Loading_ = true;
    bool ReadingPiece_ = false;
    bool ReadAgain_ = false;
    bool Keying_ = false;
    int Round_ = 0; // keys and searches of an earlier round are dropped
    mutable std::unordered_map<std::uint32_t, TDescribed> Described_;
    std::string Wanted_;               // the filter asked for, lowered
    std::string Filter_;               // the filter of the rows shown; empty: all
    std::vector<std::uint32_t> Shown_; // calls, newest first, while filtered
    std::shared_ptr<TSearch> Search_;
    std::atomic<int> SearchRound_{0}; // the worker drops a search of another round
    std::shared_ptr<bool> Alive_ = std::make_shared<bool>(true);
    std::unique_ptr<TWork> Work_; // the worker's own state
    TWorker Worker_;              // last: stops first
};

} // namespace telvane
