// The calls of the call log as a table, newest first: time, number, name or
// area, and how often that number called. The log is read, its callers keyed
// and its times searched on a worker thread, so that neither a long log nor
// a search holds up the window's thread (which also polls the adapter).
// Rows are read from the log and described only when shown.
#pragma once

#include "callers/CallLogIndex.h"

#include <QAbstractTableModel>
#include <QString>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace telvane {

class TWhoCalled;

class THistoryModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum EColumn { hcTime, hcNumber, hcWho, hcCount, hcColumns };

    THistoryModel(TWhoCalled& who, std::filesystem::path log, QObject* parent = nullptr);
    ~THistoryModel() override;

    // Reads what the log gained since the last read (all of it the first
    // time, or when it shrank).
    void Refresh();
    // Shows only calls whose time, number, name or area contain the text,
    // once the search is done; until then the rows shown stay.
    void SetFilter(const QString& text);

    // The caller text (Shift_JIS) of a row, as logged.
    const std::string& NumberAt(int row) const;
    std::size_t Calls() const { return Rows_; }
    std::size_t Skipped() const { return Index_->Skipped(); }
    // Whether the whole log is being read (the first time, or anew).
    bool Reading() const { return Loading_; }
    bool Searching() const { return Search_ != nullptr; }
    // Whether every count joins the ways one number is written.
    bool Counted() const { return !Loading_ && Index_->Keyed() == Index_->Callers(); }

    // Rows are handed to the view a batch at a time, as it scrolls down: a
    // view keeps a little for every row it knows.
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // Reading() or Searching() changed.
    void Progress();

private:
    struct TDescribed {
        QString Text; // the caller text decoded
        QString Display;
        QString Who;
        QString Details;
    };
    struct TSearch;
    struct TWorker;

    TDescribed Describe(std::uint32_t caller) const;
    const TDescribed& Described(std::uint32_t caller) const;
    bool CallerMatches(std::uint32_t caller, const QString& text) const;
    bool Matches(std::size_t call, const QString& text) const;
    std::size_t CallAt(int row) const;
    // The rows there are, given to the view or not.
    std::size_t Available() const;
    // Between resets: hands the view its first batch.
    void ExposeFirst();

    void ReadMore();
    void TakePiece(const TCallLogPiece& piece);
    void KeyMore();
    void StartSearch();
    void SearchSome();
    void EndSearch();
    void CountsChanged();

    TWhoCalled& Who_;
    std::filesystem::path Log_;
    std::unique_ptr<TCallLogIndex> Index_;
    std::size_t Rows_ = 0;    // calls taken in (all but while reading)
    std::size_t Exposed_ = 0; // rows the view was given
    bool Loading_ = true;
    bool ReadingPiece_ = false;
    bool ReadAgain_ = false;
    bool KeyingBatch_ = false;
    int KeyRound_ = 0; // keys of an earlier round came from another region
    mutable std::unordered_map<std::uint32_t, TDescribed> Described_;

    QString Filter_;                   // wanted
    QString ShownFilter_;              // the filter of Shown_; empty: every call shown
    std::vector<std::uint32_t> Shown_; // calls, newest first, while filtered
    std::unique_ptr<TSearch> Search_;
    std::atomic<int> SearchRound_{0}; // a search of an earlier round stops
    QTimer Searching_;

    QThread Thread_;
    QObject* WorkerContext_;
    std::unique_ptr<TWorker> Worker_; // used on Thread_ only
};

} // namespace telvane
