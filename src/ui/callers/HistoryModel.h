// The calls of the call log as a table, newest first: time, number, name or
// area, and how often that number called. Rows are described only when
// shown, so a long log opens at once.
#pragma once

#include "callers/CallHistory.h"

#include <QAbstractTableModel>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <filesystem>
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

    // Reads what the log gained since the last read (all of it the first
    // time, or when it shrank).
    void Refresh();
    // Shows only calls whose time, number, name or area contain the text.
    void SetFilter(const QString& text);

    // The caller text (Shift_JIS) of a row, as logged.
    const std::string& NumberAt(int row) const;
    std::size_t Calls() const { return Calls_.size(); }
    std::size_t Skipped() const { return Skipped_; }
    // Whether every count joins the ways one number is written.
    bool Counted() const { return Unkeyed_.empty(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // One per distinct caller text: the count and, once shown, its view.
    struct TCaller {
        std::string Number;
        std::string Key; // the same number written another way shares it
        bool Keyed = false;
        int Count = 0; // calls with exactly this text
        bool Described = false;
        QString Text; // Number decoded
        QString Display;
        QString Who;
        QString Details;
    };
    struct TCall {
        std::string RingTime;
        int Caller;
    };
    const TCaller& Described(int caller) const;
    const TCall& CallAt(int row) const;
    bool Matches(const TCall& call) const;
    void Forget();
    int CountOf(const TCaller& caller) const;
    void Rekey();
    // Works out match keys a slice at a time while the window is idle, so
    // that a log with many different numbers still opens at once; until
    // then a number counts the calls with exactly its text.
    void KeySome();

    TWhoCalled& Who_;
    std::filesystem::path Log_;
    std::uint64_t Offset_ = 0;
    std::size_t Skipped_ = 0;
    std::vector<TCall> Calls_; // in the log's order
    mutable std::vector<TCaller> Callers_;
    std::unordered_map<std::string, int> CallerOf_;
    std::unordered_map<std::string, int> CountOfKey_;
    std::vector<int> Unkeyed_;
    QTimer Keying_;
    QString Filter_;
    std::vector<int> Shown_; // indices into Calls_, newest first, while filtered
};

} // namespace telvane
